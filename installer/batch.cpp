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
// What GetCurrentProcess and GetCurrentThread return are fixed pseudo
// handles, the same on every Windows: named here, neither import is needed.
const HANDLE this_process = reinterpret_cast<HANDLE>(-1);
const HANDLE this_thread = reinterpret_cast<HANDLE>(-2);

// The installer runs elevated, and the interpreter reads a batch line by line
// while it runs, so a batch that another process could change would run that
// process's commands as administrator. Any file of the name goes first (a
// planted one included), and the batch is created new and written. The
// interpreter (and the system's start of a batch) shares reading only with
// handles that read, so the file is then held through a handle that reads
// and shares only reading: while it is open nobody can open the file to
// write, rename or delete it, and no handle that could write is left, or the
// opening would have failed. What it reads back must be what was written,
// which also covers a change in the instant between writing and holding.
// Refused, nothing runs: a planted file that someone holds open, say.
HANDLE write_held_batch(const char* path, const char* script) {
    delete_file(path);
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return file;
    DWORD length = static_cast<DWORD>(strlen(script));
    DWORD done = 0;
    bool written = WriteFile(file, script, length, &done, nullptr) && done == length;
    CloseHandle(file);
    if (written) {
        file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            String held;
            held.set_length(static_cast<i32>(length) + 1);
            bool same = ReadFile(file, held.buffer(), length + 1, &done, nullptr) && done == length &&
                        memcmp(held.buffer(), script, length) == 0;
            if (same) return file;
            CloseHandle(file);
        }
    }
    delete_file(path);
    return INVALID_HANDLE_VALUE;
}

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

// Shared by both ends of a batch's run rather than written out at each: the
// stub carries one copy of the two system calls and their relocations.
__attribute__((noinline)) void close_handles(PROCESS_INFORMATION& process) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
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
    HANDLE held = write_held_batch(batch_path.text(), batch_script(static_cast<String&&>(text), automatic).text());
    if (held == INVALID_HANDLE_VALUE) return false;
    String command_line =
        formatted(batch_command_format, batch_path.text(), dir, shared_path ? shared_path : "", drive_letter_of(dir));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    bool started = CreateProcessA(nullptr, command_line.buffer(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                                  nullptr, dir, &startup, &process) != FALSE;
    if (started) {
        wait_for_batch(process.hProcess);
        close_handles(process);
    }
    CloseHandle(held);
    delete_file(batch_path.text());
    return started;
}

bool start_self_removal() {
    String self = program_path();
    // Without its own path the batch would have nothing to wait for.
    if (self.is_empty()) return false;
    // Held until this process ends, which the caller makes it do at once;
    // from then on the batch, which must outlive the uninstaller, is open to
    // change like any file in c:\.
    HANDLE held = write_held_batch(self_removal_batch_path, self_removal_script(self.text()).text());
    if (held == INVALID_HANDLE_VALUE) return false;
    PROCESS_INFORMATION process;
    if (!start_removal_batch(legacy_interpreter, process) &&
        !start_removal_batch(formatted("\"%s\"", command_interpreter().text()).text(), process)) {
        // Nothing will run it, and a stray copy could still delete these paths.
        CloseHandle(held);
        delete_file(self_removal_batch_path);
        return false;
    }
    SetThreadPriority(process.hThread, THREAD_PRIORITY_IDLE);
    // The uninstaller ends first, and quickly, so that the batch's first
    // deletion finds its file free.
    SetPriorityClass(this_process, HIGH_PRIORITY_CLASS);
    SetThreadPriority(this_thread, THREAD_PRIORITY_HIGHEST);
    ResumeThread(process.hThread);
    close_handles(process);
    return true;
}
