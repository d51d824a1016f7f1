// Dates to and from the system's file times. A file time is UTC; the record
// is local, as the archive and the user see it.
#include <windows.h>

#include "platform/datetime.h"

namespace {

// A field beyond a WORD would wrap into a valid but different date (a damaged
// archive could carry one); the conversion itself checks the calendar ranges.
bool fits_word(i32 value) { return value >= 0 && value <= 0xFFFF; }

}  // namespace

bool DateTime::from_file_time(const FILETIME& utc) {
    FILETIME local;
    SYSTEMTIME parts;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &parts)) return false;
    year = parts.wYear;
    month = parts.wMonth;
    day = parts.wDay;
    hour = parts.wHour;
    minute = parts.wMinute;
    second = parts.wSecond;
    return true;
}

bool DateTime::to_file_time(FILETIME& out) const {
    const i32 fields[] = {year, month, day, hour, minute, second};
    for (i32 value : fields) {
        if (!fits_word(value)) return false;
    }
    SYSTEMTIME parts = {};
    parts.wYear = static_cast<WORD>(year);
    parts.wMonth = static_cast<WORD>(month);
    parts.wDay = static_cast<WORD>(day);
    parts.wHour = static_cast<WORD>(hour);
    parts.wMinute = static_cast<WORD>(minute);
    parts.wSecond = static_cast<WORD>(second);
    return SystemTimeToFileTime(&parts, &out) != FALSE;
}
