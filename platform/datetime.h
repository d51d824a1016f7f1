// The date a file carries: a plain local calendar record, compared and
// written the way the installer's question box and its log show it.
//
// The record is six 32-bit fields in a fixed order because the archive stores
// it as 24 little-endian bytes; it must stay plain. The comparisons and the
// text are portable; the conversions from and to the system's file times are
// built for Win32 only (datetime_win32.cpp).
#pragma once

#include "foundation/foundation.h"

struct _FILETIME;

struct DateTime {
    i32 year = 0;
    i32 month = 0;  // 0: the record carries no date
    i32 day = 0;
    i32 hour = 0;
    i32 minute = 0;
    i32 second = 0;

    bool is_set() const { return month != 0; }
    bool is_before(const DateTime& other) const;
    bool is_not_after(const DateTime& other) const;

    // "7/4/1999 1:05:09p": month/day/year on a 12-hour clock.
    String format() const;

    // The local record of a UTC file time, and the local file time of the
    // record (still to be turned into UTC by the caller).
    bool from_file_time(const _FILETIME& utc);
    bool to_file_time(_FILETIME& out) const;
};

static_assert(sizeof(DateTime) == 24, "the archive stores the date as six 32-bit fields");
