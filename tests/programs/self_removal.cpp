// The uninstaller's self-removal for real, in two roles of one program:
//   self_removal /u [MS]           as the uninstaller copy: starts the removal
//                                  batch, stays MS milliseconds more (its file
//                                  still in use), and ends with 1 when the
//                                  batch was started, 2 when not
//   self_removal UNINSTALLER [PATH...]
//                                  starts UNINSTALLER /u 1000, waits for it and
//                                  for its removal batch to end, and shows in
//                                  one box what is left of UNINSTALLER, each
//                                  directory above it up to the drive root, the
//                                  batch, and every further PATH
// The box lets the robot's transcript show what the batch removed.
#include "installer/installer.h"

namespace {

const DWORD uninstaller_limit_ms = 8000;
const DWORD batch_limit_ms = 9000;

int act_as_uninstaller(String& arguments) {
    bool started = start_self_removal();
    String linger = arguments.take_argument();
    if (!linger.is_empty()) Sleep(static_cast<DWORD>(linger.to_int()));
    return started ? 1 : 2;
}

bool exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

void report(String& text, const char* path) {
    text.append_format("%s: %s\n", path, exists(path) ? "kept" : "gone");
}

int check_removal(const String& uninstaller, String& further_paths) {
    String command_line = formatted("\"%s\" /u 1000", uninstaller.text());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, command_line.buffer(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        fatal_error("cannot start %s", uninstaller.text());
    DWORD code = 0;
    if (WaitForSingleObject(process.hProcess, uninstaller_limit_ms) != WAIT_OBJECT_0)
        fatal_error("the uninstaller did not end");
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // The batch deletes itself last.
    DWORD start = GetTickCount();
    while (exists(self_removal_batch_path) && GetTickCount() - start < batch_limit_ms) Sleep(100);

    String text = formatted("start_self_removal: %s\n", code == 1 ? "started" : code == 2 ? "failed" : "?");
    report(text, uninstaller.text());
    String directory = directory_of(uninstaller.text());
    while (directory.length() > 3) {
        report(text, directory.text());
        if (!remove_file_name(directory)) break;
    }
    report(text, self_removal_batch_path);
    for (String path = further_paths.take_argument(); !path.is_empty(); path = further_paths.take_argument())
        report(text, path.text());
    text.remove_last_char();
    MessageBoxA(nullptr, text.text(), "Self-removal", MB_OK);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_text, int) {
    String arguments(command_text);
    String first = arguments.take_argument();
    if (first.compare_no_case("/u") == 0) ExitProcess(act_as_uninstaller(arguments));
    ExitProcess(check_removal(first, arguments));
}
