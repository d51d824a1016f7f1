// Comparing and writing dates. Portable: the question box, the log and the
// native tests all go through here.
#include "platform/datetime.h"

namespace {

// Negative, zero or positive as a is earlier than, equal to or later than b.
i32 compare(const DateTime& a, const DateTime& b) {
    const i32 left[] = {a.year, a.month, a.day, a.hour, a.minute, a.second};
    const i32 right[] = {b.year, b.month, b.day, b.hour, b.minute, b.second};
    for (int i = 0; i < 6; ++i) {
        if (left[i] != right[i]) return left[i] < right[i] ? -1 : 1;
    }
    return 0;
}

}  // namespace

bool DateTime::is_before(const DateTime& other) const { return compare(*this, other) < 0; }

bool DateTime::is_not_after(const DateTime& other) const { return compare(*this, other) <= 0; }

String DateTime::format() const {
    i32 clock_hour = hour % 12 == 0 ? 12 : hour % 12;
    char half = hour >= 12 ? 'p' : 'a';
    return formatted("%d/%d/%02d %d:%02d:%02d%c", month, day, year, clock_hour, minute, second, half);
}
