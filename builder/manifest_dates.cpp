// Reading the manifest's dates. Dates without a time zone are meant in the
// build machine's local time, which the system seam converts.
#include "builder/manifest_dates.h"

#include "builder/reader.h"

#include <stdio.h>

namespace {

// The earliest year of a Windows file time, and the last a SYSTEMTIME holds.
const int first_file_time_year = 1601;
const int last_file_time_year = 30827;

DateTime date_of(const toml::date& day, const toml::time& time) {
    DateTime date;
    date.year = day.year;
    date.month = day.month;
    date.day = day.day;
    date.hour = time.hour;
    date.minute = time.minute;
    date.second = time.second;
    return date;
}

// "YYYY-MM-DD", "YYYY-MM-DD HH:MM" or "YYYY-MM-DD HH:MM:SS" (or a T for
// the blank), checked as the TOML parser checks its own dates.
bool parse_date_text(const std::string& text, DateTime& date) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, used = 0;
    char blank = ' ';
    int fields = sscanf(text.c_str(), "%4d-%2d-%2d%n%c%2d:%2d%n:%2d%n", &year, &month, &day, &used, &blank, &hour,
                        &minute, &used, &second, &used);
    if ((fields != 3 && fields != 6 && fields != 7) || static_cast<size_t>(used) != text.size()) return false;
    if (fields > 3 && blank != ' ' && blank != 'T') return false;
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > days[month - 1]) return false;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && day == 29 && !leap) return false;
    if (hour > 23 || minute > 59 || second > 59 || hour < 0 || minute < 0 || second < 0) return false;
    date.year = year, date.month = month, date.day = day;
    date.hour = hour, date.minute = minute, date.second = second;
    return true;
}

}  // namespace

DateTime read_manifest_date(const toml::node& node, const std::string& what) {
    DateTime date;
    const char* form = ": write a local date and time (2024-06-01 12:00:00, quoted or not) or \"none\"";
    if (node.is_string()) {
        std::string text = *node.value<std::string>();
        if (text == "none") return date;
        if (!parse_date_text(text, date)) throw ManifestError(what + ": \"" + text + "\" is not a date" + form);
    } else if (const toml::value<toml::date_time>* both = node.as_date_time()) {
        if (!both->get().is_local()) throw ManifestError(what + ": give the local time without a time zone");
        date = date_of(both->get().date, both->get().time);
    } else if (const toml::value<toml::date>* only = node.as_date()) {
        date = date_of(only->get(), toml::time());
    } else {
        throw ManifestError(what + form);
    }
    if (date.year < first_file_time_year || date.year > last_file_time_year)
        throw ManifestError(what + ": " + date_text(date) + " is outside the dates Windows gives files (" +
                            std::to_string(first_file_time_year) + " to " + std::to_string(last_file_time_year) +
                            ")");
    return date;
}
