// The texts of the two batches, kept apart from their running so that they
// can be checked byte for byte: the script that run_batch writes from a batch
// text of the archive or of the uninstall information, and the script with
// which the uninstaller removes itself once it has ended.
#include "installer/installer.h"

const char self_removal_batch_path[] = "c:\\delunins.bat";

namespace {

const char removal_head_format[] = ":Repeat\r\ndel \"%s\"\r\nif exist \"%s\" goto Repeat\r\n";
const char removal_directory_format[] = "rd \"%s\"\r\n";
const char removal_tail_format[] = "del \"%s\"";

// Also written @pause, with blanks anywhere around it.
bool is_pause_command(const String& line) {
    String command(line);
    command.trim();
    if (command.remove_leading('@')) command.trim_left();
    return command.compare_no_case("PAUSE") == 0;
}

// A batch reads % as the start of a variable even between quotes, so a path
// holding one would name some other file; %% stands for the character.
String batch_literal(const char* path) {
    String literal(path);
    literal.replace_all("%", "%%");
    return literal;
}

}  // namespace

String batch_script(String text, bool automatic_mode) {
    String script("@echo off\n");
    if (!automatic_mode) {
        script.append(text);
    } else {
        // Nobody is there to press a key.
        while (!text.is_empty()) {
            String line = text.take_line();
            if (is_pause_command(line)) continue;
            script.append(line);
            script.append('\n');
        }
    }
    script.remove_all('\r');
    script.replace_all("\n", "\r\n");
    return script;
}

String self_removal_script(const char* self_path) {
    String self = batch_literal(self_path);
    String script = formatted(removal_head_format, self.text(), self.text());
    // Up to the drive root or a program-files directory, which stay whatever
    // happens; rd takes only what is empty, so the user's files keep theirs.
    String directory = directory_of(self_path);
    while (directory.length() > 3 && !directory.ends_with_no_case("program files")) {
        script.append_format(removal_directory_format, batch_literal(directory.text()).text());
        if (!remove_file_name(directory)) break;
    }
    script.append_format(removal_tail_format, self_removal_batch_path);
    return script;
}
