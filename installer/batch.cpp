// Running the batches: run_batch writes a batch text as ZORVEN.BAT, runs it
// and waits for it with the windows kept painted; start_self_removal leaves a
// batch behind that deletes the uninstaller once it has ended. Older systems
// keep a finished batch's console open as "Finished - ZORVEN", which ends the
// wait; newer ones never show that title, so the end of the process ends it
// too, and where command.com is missing (64-bit Windows, Wine) the
// interpreter that COMSPEC names runs the self-removal.
#include "installer/installer.h"

namespace {

const char batch_file_name[] = "ZORVEN.BAT";
const char finished_title[] = "Finished - ZORVEN";
const char batch_command_format[] = "\"%s\" \"%s\" \"%s\" %c:";
const char legacy_interpreter[] = "command.com";
const char fallback_interpreter[] = "cmd.exe";

// A handle that cannot be waited for counts as ended, so the wait never hangs on it.
bool has_ended(HANDLE process) { return WaitForSingleObject(process, 0) != WAIT_TIMEOUT; }

void wait_for_batch(HANDLE process) {
    HWND finished;
    while (!(finished = FindWindowA(nullptr, finished_title)) && !has_ended(process)) {
        Sleep(1);
        pump_messages();
    }
    // The process may end an instant before its console takes the title.
    if (!finished) finished = FindWindowA(nullptr, finished_title);
    if (finished) SendMessageA(finished, WM_CLOSE, 0, 0);
}

String command_interpreter() {
    String path;
    path.set_length(MAX_PATH);
    DWORD length = GetEnvironmentVariableA("COMSPEC", path.buffer(), MAX_PATH);
    path.set_length(length < MAX_PATH ? static_cast<i32>(length) : 0);
    if (path.is_empty()) path.assign(fallback_interpreter);
    return path;
}

// Suspended at idle priority in a minimized console of its own: it must not
// run before the uninstaller has had its chance to end.
bool start_removal_batch(const char* interpreter, PROCESS_INFORMATION& process) {
    String command_line = formatted("%s /c %s", interpreter, self_removal_batch_path);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_MINIMIZE;
    return CreateProcessA(nullptr, command_line.buffer(), nullptr, nullptr, FALSE,
                          CREATE_SUSPENDED | CREATE_NEW_CONSOLE | IDLE_PRIORITY_CLASS, nullptr, "\\", &startup,
                          &process) != FALSE;
}

}  // namespace

bool run_batch(const char* dir, String text, const char* shared_path) {
    core_assert(dir != nullptr);
    if (text.is_empty()) return true;
    String batch_path = join_path(dir, batch_file_name);
    if (!write_text_file(batch_path.text(), batch_script(static_cast<String&&>(text), automatic).text())) return false;
    String command_line =
        formatted(batch_command_format, batch_path.text(), dir, shared_path ? shared_path : "", drive_letter_of(dir));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    bool started = CreateProcessA(nullptr, command_line.buffer(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                                  nullptr, dir, &startup, &process) != FALSE;
    if (started) {
        wait_for_batch(process.hProcess);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    delete_file(batch_path.text());
    return started;
}

bool start_self_removal() {
    String self = program_path();
    // Without its own path the batch would have nothing to wait for.
    if (self.is_empty()) return false;
    if (!write_text_file(self_removal_batch_path, self_removal_script(self.text()).text())) return false;
    PROCESS_INFORMATION process;
    if (!start_removal_batch(legacy_interpreter, process) &&
        !start_removal_batch(formatted("\"%s\"", command_interpreter().text()).text(), process)) {
        // Nothing will run it, and a stray copy could still delete these paths.
        delete_file(self_removal_batch_path);
        return false;
    }
    SetThreadPriority(process.hThread, THREAD_PRIORITY_IDLE);
    // The uninstaller ends first, and quickly, so that the batch's first
    // deletion finds its file free.
    SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}
