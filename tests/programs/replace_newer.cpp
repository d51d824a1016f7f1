// Asks the replace question for one file, so that the robot can check when
// it is asked, how it reads and what each answer means:
//   replace_newer [/a] KIND PATH EXISTING NEW
// EXISTING is the date the file at PATH is given first ("-": left as it is,
// for instance when there is no file); NEW is the date of the copy to be
// stored ("-": a record without date). Dates are written
// YEAR-MONTH-DAY,HOUR:MINUTE:SECOND. The answer is the exit code: 10 for
// overwrite, 20 for keep.
#include "installer/installer.h"

#include <stdio.h>

namespace {

const int answer_overwrite = 10;
const int answer_keep = 20;

DateTime parse_date(const String& text) {
    DateTime date;
    if (text.compare_no_case("-") == 0) return date;
    if (sscanf(text.text(), "%d-%d-%d,%d:%d:%d", &date.year, &date.month, &date.day, &date.hour, &date.minute,
               &date.second) != 6)
        fatal_error("not a date: %s", text.text());
    return date;
}

void stamp(const char* path, const DateTime& date) {
    File file;
    if (!file.open(path, false, true, false) || !file.set_date(date)) fatal_error("cannot date %s", path);
}

}  // namespace

int WINAPI WinMain(HINSTANCE module_instance, HINSTANCE, LPSTR command_text, int) {
    String line(command_text);
    String kind = line.take_argument();
    if (kind.compare_no_case("/a") == 0) {
        automatic = true;
        kind = line.take_argument();
    }
    String path = line.take_argument();
    String existing = line.take_argument();
    DateTime new_date = parse_date(line.take_argument());
    start_up(module_instance);
    if (existing.compare_no_case("-") != 0) stamp(path.text(), parse_date(existing));
    bool overwrite = ask_replace_newer(path.text(), new_date, kind.text());
    ExitProcess(overwrite ? answer_overwrite : answer_keep);
}
