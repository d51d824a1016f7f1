// The date record, natively: ordering and text. How its six fields lie in
// the archive is checked where they are read, in the file record's tests.
#include <gtest/gtest.h>

#include <ostream>

#include "platform/datetime.h"

namespace {

DateTime date(i32 year, i32 month, i32 day, i32 hour, i32 minute, i32 second) {
    DateTime d;
    d.year = year;
    d.month = month;
    d.day = day;
    d.hour = hour;
    d.minute = minute;
    d.second = second;
    return d;
}

TEST(DateTime, ANewRecordIsNotSetAndOnlyTheMonthDecides) {
    EXPECT_FALSE(DateTime().is_set());
    EXPECT_FALSE(date(1999, 0, 4, 13, 5, 9).is_set());
    EXPECT_TRUE(date(0, 1, 0, 0, 0, 0).is_set());
}

struct OrderCase {
    DateTime earlier;
    DateTime later;
};

// Readable test names: each case is shown by its input.
void PrintTo(const OrderCase& c, std::ostream* os) { *os << c.earlier.format().text() << " | " << c.later.format().text(); }

class DateOrder : public testing::TestWithParam<OrderCase> {};

TEST_P(DateOrder, TheFirstDifferingFieldDecides) {
    const OrderCase& c = GetParam();
    EXPECT_TRUE(c.earlier.is_before(c.later));
    EXPECT_TRUE(c.earlier.is_not_after(c.later));
    EXPECT_FALSE(c.later.is_before(c.earlier));
    EXPECT_FALSE(c.later.is_not_after(c.earlier));
}

INSTANTIATE_TEST_SUITE_P(Cases, DateOrder, testing::Values(
    OrderCase{date(1999, 12, 31, 23, 59, 59), date(2000, 1, 1, 0, 0, 0)},
    OrderCase{date(2000, 1, 31, 23, 59, 59), date(2000, 2, 1, 0, 0, 0)},
    OrderCase{date(2000, 2, 1, 23, 59, 59), date(2000, 2, 2, 0, 0, 0)},
    OrderCase{date(2000, 2, 2, 10, 59, 59), date(2000, 2, 2, 11, 0, 0)},
    OrderCase{date(2000, 2, 2, 11, 4, 59), date(2000, 2, 2, 11, 5, 0)},
    OrderCase{date(2000, 2, 2, 11, 5, 8), date(2000, 2, 2, 11, 5, 9)},
    // Extreme values compare without overflowing.
    OrderCase{date(-2147483647 - 1, 1, 1, 0, 0, 0), date(2147483647, 1, 1, 0, 0, 0)}));

TEST(DateOrder, EqualRecordsAreNotBeforeButNotAfter) {
    DateTime a = date(1999, 7, 4, 13, 5, 9), b = date(1999, 7, 4, 13, 5, 9);
    EXPECT_FALSE(a.is_before(b));
    EXPECT_TRUE(a.is_not_after(b));
}

struct FormatCase {
    DateTime date;
    const char* text;
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.date.format().text() << " | " << (c.text ? c.text : "null"); }

class DateFormat : public testing::TestWithParam<FormatCase> {};

TEST_P(DateFormat, WritesMonthDayYearOnATwelveHourClock) {
    EXPECT_STREQ(GetParam().date.format().text(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Cases, DateFormat, testing::Values(
    FormatCase{date(1999, 7, 4, 13, 5, 9), "7/4/1999 1:05:09p"},
    FormatCase{date(2000, 1, 1, 0, 0, 0), "1/1/2000 12:00:00a"},
    FormatCase{date(2000, 1, 1, 12, 0, 0), "1/1/2000 12:00:00p"},
    FormatCase{date(2000, 1, 1, 0, 5, 0), "1/1/2000 12:05:00a"},
    FormatCase{date(2000, 1, 1, 12, 5, 0), "1/1/2000 12:05:00p"},
    FormatCase{date(2024, 12, 31, 11, 59, 59), "12/31/2024 11:59:59a"},
    FormatCase{date(2024, 12, 31, 23, 59, 59), "12/31/2024 11:59:59p"},
    FormatCase{date(5, 3, 9, 1, 2, 3), "3/9/05 1:02:03a"}));

}  // namespace
