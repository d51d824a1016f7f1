// The robot: runs a program inside the Wine sandbox, records every box and
// dialog that the program shows as a transcript, and answers them from a
// script. Scenario tests compare its transcript with the expected one.
//
// The script comes on standard input, one step a line:
//   run "COMMAND LINE" ["FILE"]
//                        (a later run first waits for the program before to
//                        end and writes its exit code)
//                        start the program (C escapes; must come first),
//                        from FILE when given, else from the line's first word
//   expect               wait for the next dialog window of the program and
//                        record its title, texts and buttons; it becomes the
//                        current window
//   press CAPTION        press a button of the current window by caption
//                        (without its & marker) or by ID as #N; with
//                        choices A|B|C, the first that the window has
//   esc                  send the Esc key to the current window
//   close                send the close command to the current window
//   leave                leave the current window open and go on
//   pass TITLE           from now on, let dialogs titled TITLE come and go
//                        unrecorded (the progress dialog of an automatic run)
//   hold "FILE"          keep FILE open until the robot ends (or release),
//                        shared for reading only: a file that another
//                        program holds, which cannot be written or deleted
//   release              close the files held so far
//   read TITLE           record the texts of the program's visible window of
//                        that title as they are now (the progress dialog
//                        behind a question, say), without making it current
//   class NAME           record whether the program has a window of class
//                        NAME, its rectangle and the screen's size
//   sleep MS             wait
//   fontchange           record how many WM_FONTCHANGE broadcasts a
//                        top-level window of the robot's own has received
//                        since the program started
//   env NAME=VALUE       give the programs started from now on this
//                        environment variable (an empty VALUE removes it):
//                        SEA_FAULTS for the fault-test stub
//   screen WxH           (before run) give the robot and the program a
//                        screen of their own of that size: a Wine desktop
//                        whose size comes from the registry
// Lines starting with # and blank lines are skipped. After the last step the
// robot waits for the program to end, writes "exit N" and returns N. Any
// failure (a time-out, the program ending early, an unexpected window) is
// written as an "error" line naming what was awaited, the program is ended,
// and the robot returns 255. Each wait lasts up to --timeout SECONDS (60 by
// default): a slow machine makes a run longer, never a different transcript.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const int robot_failure = 255;
DWORD step_timeout_ms = 60000;

PROCESS_INFORMATION child;
char desktop_name[64];  // empty: the program shares the robot's desktop
HWND current_window;
HWND seen_windows[256];
int seen_count;

void write_line(const char* text) {
    fputs(text, stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

// A window's record is gathered as text first, so that two readings can be
// compared before one of them goes into the transcript.
struct Record {
    char* text;
    size_t size, room;
};

void append(Record& record, const char* text, size_t n) {
    if (record.size + n + 1 > record.room) {
        while (record.size + n + 1 > record.room) record.room = record.room ? 2 * record.room : 4096;
        record.text = static_cast<char*>(realloc(record.text, record.room));
    }
    memcpy(record.text + record.size, text, n);
    record.size += n;
    record.text[record.size] = 0;
}

void append(Record& record, const char* text) { append(record, text, strlen(text)); }

// C notation, so that expected transcripts read like the texts they check.
void append_quoted(Record& record, const char* prefix, const char* text) {
    append(record, prefix);
    append(record, "\"");
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        char escaped[8];
        switch (*p) {
            case '\r': append(record, "\\r"); break;
            case '\n': append(record, "\\n"); break;
            case '\t': append(record, "\\t"); break;
            case '"': append(record, "\\\""); break;
            case '\\': append(record, "\\\\"); break;
            default:
                if (*p < 0x20 || *p == 0x7F) snprintf(escaped, sizeof escaped, "\\x%02x", *p);
                else snprintf(escaped, sizeof escaped, "%c", *p);
                append(record, escaped);
        }
    }
    append(record, "\"\n");
}

[[noreturn]] void fail(const char* format, ...) {
    char message[1024];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    fprintf(stdout, "error %s\n", message);
    fflush(stdout);
    fprintf(stderr, "robot: %s\n", message);
    if (child.hProcess) TerminateProcess(child.hProcess, robot_failure);
    ExitProcess(robot_failure);
}

bool child_running() { return WaitForSingleObject(child.hProcess, 0) == WAIT_TIMEOUT; }

DWORD child_exit_code() {
    DWORD code = 0;
    GetExitCodeProcess(child.hProcess, &code);
    return code;
}

HANDLE held_files[16];
int held_count;

const char* passed_titles[16];
int passed_count;

bool is_passed(HWND window) {
    char title[256];
    title[0] = 0;
    GetWindowTextA(window, title, sizeof title);
    for (int i = 0; i < passed_count; ++i)
        if (strcmp(passed_titles[i], title) == 0) return true;
    return false;
}

bool was_seen(HWND window) {
    for (int i = 0; i < seen_count; ++i)
        if (seen_windows[i] == window) return true;
    return false;
}

struct WindowQuery {
    const char* class_name;  // null: any dialog that was not seen yet
    HWND found;
};

BOOL CALLBACK match_window(HWND window, LPARAM parameter) {
    WindowQuery* query = reinterpret_cast<WindowQuery*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != child.dwProcessId) return TRUE;
    char name[256];
    GetClassNameA(window, name, sizeof name);
    if (query->class_name) {
        if (_stricmp(name, query->class_name) != 0) return TRUE;
    } else {
        if (strcmp(name, "#32770") != 0 || !IsWindowVisible(window) || was_seen(window)) return TRUE;
        if (is_passed(window)) return TRUE;
    }
    query->found = window;
    return FALSE;
}

HWND find_window(const char* class_name) {
    WindowQuery query = {class_name, nullptr};
    EnumWindows(match_window, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

struct TitleQuery {
    const char* title;
    HWND found;
};

BOOL CALLBACK match_title(HWND window, LPARAM parameter) {
    TitleQuery* query = reinterpret_cast<TitleQuery*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char title[256];
    title[0] = 0;
    GetWindowTextA(window, title, sizeof title);
    if (process != child.dwProcessId || !IsWindowVisible(window) || strcmp(title, query->title) != 0) return TRUE;
    query->found = window;
    return FALSE;
}

void strip_accelerator(char* text) {
    char* out = text;
    for (char* p = text; *p; ++p)
        if (*p != '&') *out++ = *p;
    *out = 0;
}

// Texts first, then buttons, then any other control, each in the window's
// own order: transcripts then read like the box on the screen.
enum ControlGroup { texts, buttons, others };

struct ControlVisit {
    ControlGroup group;
    Record* record;
};

BOOL CALLBACK record_control(HWND control, LPARAM parameter) {
    ControlVisit* visit = reinterpret_cast<ControlVisit*>(parameter);
    ControlGroup group = visit->group;
    Record& record = *visit->record;
    char name[64];
    char text[8192];
    GetClassNameA(control, name, sizeof name);
    text[0] = 0;
    GetWindowTextA(control, text, sizeof text);
    bool is_static = _stricmp(name, "Static") == 0;
    bool is_edit = _stricmp(name, "Edit") == 0;
    bool is_button = _stricmp(name, "Button") == 0;
    if (group == texts && is_static) {
        if (text[0]) append_quoted(record, "  text ", text);
    } else if (group == texts && is_edit) {
        // An edit control's text may be long; WM_GETTEXT takes it whole.
        LRESULT length = SendMessageA(control, WM_GETTEXTLENGTH, 0, 0);
        char* whole = static_cast<char*>(malloc(length + 1));
        SendMessageA(control, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(whole));
        whole[length] = 0;
        append_quoted(record, "  edit ", whole);
        free(whole);
    } else if (group == buttons && is_button) {
        strip_accelerator(text);
        append_quoted(record, "  button ", text);
    } else if (group == others && !is_static && !is_edit && !is_button) {
        char line[128];
        snprintf(line, sizeof line, "  control %s #%d\n", name, GetDlgCtrlID(control));
        append(record, line);
    }
    return TRUE;
}

void read_window(HWND window, Record& record) {
    record.size = 0;
    append(record, "");
    char title[1024];
    title[0] = 0;
    GetWindowTextA(window, title, sizeof title);
    append_quoted(record, "window ", title);
    const ControlGroup groups[] = {texts, buttons, others};
    for (ControlGroup group : groups) {
        ControlVisit visit = {group, &record};
        EnumChildWindows(window, record_control, reinterpret_cast<LPARAM>(&visit));
    }
}

// A box may still be laying out or filling its controls when it first
// shows, and how long that takes depends on the machine: the window is read
// until two readings 100 ms apart agree. One that keeps changing (a
// progress display) is taken as it stands after two seconds.
void record_window(HWND window) {
    static Record reading, previous;
    read_window(window, previous);
    for (DWORD start = GetTickCount();;) {
        Sleep(100);
        read_window(window, reading);
        if (strcmp(reading.text, previous.text) == 0 || GetTickCount() - start > 2000) break;
        Record swap = previous;
        previous = reading;
        reading = swap;
    }
    fputs(reading.text, stdout);
    fflush(stdout);
}

void expect_window(int step, const char* line) {
    DWORD start = GetTickCount();
    for (;;) {
        HWND window = find_window(nullptr);
        if (window) {
            if (seen_count < 256) seen_windows[seen_count++] = window;
            current_window = window;
            record_window(window);
            return;
        }
        if (!child_running())
            fail("the program ended with exit code %lu while step %d (%s) waited for a window",
                 child_exit_code(), step, line);
        if (GetTickCount() - start > step_timeout_ms)
            fail("timeout after %lu ms: step %d (%s) waited for a window", step_timeout_ms, step, line);
        Sleep(50);
    }
}

void require_current(int step, const char* line) {
    if (!current_window || !IsWindow(current_window))
        fail("step %d (%s): there is no current window (closed, or no expect before)", step, line);
}

struct ButtonQuery {
    const char* caption;
    int id;
    HWND found;
};

BOOL CALLBACK match_button(HWND control, LPARAM parameter) {
    ButtonQuery* query = reinterpret_cast<ButtonQuery*>(parameter);
    char name[64];
    GetClassNameA(control, name, sizeof name);
    if (_stricmp(name, "Button") != 0) return TRUE;
    if (query->id >= 0) {
        if (GetDlgCtrlID(control) != query->id) return TRUE;
    } else {
        char text[256];
        GetWindowTextA(control, text, sizeof text);
        strip_accelerator(text);
        if (strcmp(text, query->caption) != 0) return TRUE;
    }
    query->found = control;
    return FALSE;
}

// "press Abort|OK" presses the first of the buttons that the window has: a
// script that answers whatever box comes (the damage campaign's).
void press(int step, const char* line, const char* which) {
    require_current(step, line);
    ButtonQuery query = {nullptr, -1, nullptr};
    char choices[256];
    snprintf(choices, sizeof choices, "%s", which);
    // Not strtok: the script's lines are being read with it.
    for (char* choice = choices; choice && !query.found;) {
        char* bar = strchr(choice, '|');
        if (bar) *bar = 0;
        query = {choice, choice[0] == '#' ? atoi(choice + 1) : -1, nullptr};
        EnumChildWindows(current_window, match_button, reinterpret_cast<LPARAM>(&query));
        choice = bar ? bar + 1 : nullptr;
    }
    if (!query.found) fail("step %d (%s): the current window has no such button", step, line);
    // Posted, not sent: the program may open its next box from inside the
    // handler, and a sent message would wait for that box to close.
    PostMessageA(current_window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(query.found), BN_CLICKED),
                 reinterpret_cast<LPARAM>(query.found));
}

// An answer is posted, so the window may still be there when the next step
// starts: wait for it to go, as long as the machine needs, but not for a
// window that stays open by design (Esc on a dialog that ignores it).
void await_answer() {
    HWND window = current_window;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 1000; Sleep(20)) {
        if (!IsWindow(window) || !IsWindowVisible(window)) return;
    }
}

void send_escape(int step, const char* line) {
    require_current(step, line);
    GUITHREADINFO info;
    info.cbSize = sizeof info;
    HWND target = current_window;
    DWORD thread = GetWindowThreadProcessId(current_window, nullptr);
    if (GetGUIThreadInfo(thread, &info) && info.hwndFocus) target = info.hwndFocus;
    PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
}

void report_class(const char* class_name) {
    HWND window = find_window(class_name);
    int screen_width = GetSystemMetrics(SM_CXSCREEN);
    int screen_height = GetSystemMetrics(SM_CYSCREEN);
    if (!window) {
        fprintf(stdout, "class \"%s\" absent\n", class_name);
    } else {
        RECT rect;
        GetWindowRect(window, &rect);
        fprintf(stdout, "class \"%s\" %s at %ld,%ld size %ldx%ld screen %dx%d\n", class_name,
                IsWindowVisible(window) ? "visible" : "hidden", rect.left, rect.top,
                rect.right - rect.left, rect.bottom - rect.top, screen_width, screen_height);
    }
    fflush(stdout);
}

// Reads a C-escaped, double-quoted text; returns what follows it, or null
// when it is malformed.
const char* unquote(const char* in, char* out, size_t room) {
    while (*in == ' ') ++in;
    if (*in++ != '"') return nullptr;
    size_t n = 0;
    for (; *in && *in != '"'; ++in) {
        char c = *in;
        if (c == '\\') {
            ++in;
            switch (*in) {
                case 'r': c = '\r'; break;
                case 'n': c = '\n'; break;
                case 't': c = '\t'; break;
                case '"': c = '"'; break;
                case '\\': c = '\\'; break;
                case 'x': {
                    char hex[3] = {in[1], static_cast<char>(in[1] ? in[2] : 0), 0};
                    c = static_cast<char>(strtol(hex, nullptr, 16));
                    in += 2;
                    break;
                }
                default: return nullptr;
            }
        }
        if (n + 1 >= room) return nullptr;
        out[n++] = c;
    }
    out[n] = 0;
    return *in == '"' ? in + 1 : nullptr;
}

char* read_all(FILE* stream) {
    size_t size = 0, room = 4096;
    char* text = static_cast<char*>(malloc(room));
    size_t got;
    while ((got = fread(text + size, 1, room - size - 1, stream)) > 0) {
        size += got;
        if (room - size < 2) text = static_cast<char*>(realloc(text, room *= 2));
    }
    text[size] = 0;
    return text;
}

// A broadcast reaches every top-level window of the desktop, so a window of
// the robot's own, on a thread that does nothing but take messages, sees
// what the program broadcasts. A program's SendMessage to HWND_BROADCAST
// waits for this window too; the thread answers at once.
volatile LONG font_changes;
HANDLE listener_ready;
bool listener_made;

LRESULT CALLBACK listener_procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_FONTCHANGE) InterlockedIncrement(&font_changes);
    return DefWindowProcA(window, message, w, l);
}

DWORD WINAPI listen_for_broadcasts(void*) {
    if (desktop_name[0]) {
        HDESK desktop = OpenDesktopA(desktop_name, 0, FALSE, GENERIC_ALL);
        if (desktop) SetThreadDesktop(desktop);
    }
    WNDCLASSA window_class;
    memset(&window_class, 0, sizeof window_class);
    window_class.lpfnWndProc = listener_procedure;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = "SEA Robot Listener";
    RegisterClassA(&window_class);
    listener_made = CreateWindowA(window_class.lpszClassName, "robot", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                  nullptr, nullptr, window_class.hInstance, nullptr) != nullptr;
    SetEvent(listener_ready);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}

void start_listener() {
    listener_ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, listen_for_broadcasts, nullptr, 0, nullptr);
    if (!thread || WaitForSingleObject(listener_ready, step_timeout_ms) != WAIT_OBJECT_0 || !listener_made)
        fail("cannot make the window that listens for broadcasts: error %lu", GetLastError());
    CloseHandle(thread);
}

bool script_has_step(const char* script, const char* step) {
    size_t length = strlen(step);
    for (const char* line = script; line; line = strchr(line, '\n')) {
        while (*line == '\n' || *line == ' ' || *line == '\t') ++line;
        if (strncmp(line, step, length) == 0 && (line[length] == 0 || strchr("\r\n ", line[length]))) return true;
    }
    return false;
}

// The program's own file may be named apart from the command line, so that
// a test can give the program a command line naming some other path.
void start_program(const char* command_line, const char* application) {
    static char line[32768];
    strncpy(line, command_line, sizeof line - 1);
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    if (desktop_name[0]) startup.lpDesktop = desktop_name;
    if (!CreateProcessA(application, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child))
        fail("cannot start the program: error %lu", GetLastError());
}

// Wine makes a new desktop a window of the size that its registry entry
// names; switching the robot's own thread to it before anything has touched
// the display makes GetSystemMetrics and EnumWindows see it too.
void use_screen(int step, const char* line, const char* size) {
    if (child.hProcess) fail("step %d (%s) must come before run", step, line);
    int width = 0, height = 0;
    if (sscanf(size, "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0)
        fail("step %d: bad screen size: %s", step, line);
    snprintf(desktop_name, sizeof desktop_name, "sea-robot-%dx%d", width, height);
    char value[32];
    snprintf(value, sizeof value, "%dx%d", width, height);
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Explorer\\Desktops", 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        fail("step %d (%s): cannot write the desktop's size to the registry", step, line);
    RegSetValueExA(key, desktop_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), strlen(value) + 1);
    RegCloseKey(key);
    HDESK desktop = CreateDesktopA(desktop_name, nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    if (!desktop || !SetThreadDesktop(desktop))
        fail("step %d (%s): cannot make the desktop: error %lu", step, line, GetLastError());
}

void wait_for_end() {
    DWORD start = GetTickCount();
    while (child_running()) {
        HWND window = find_window(nullptr);
        if (window) {
            if (seen_count < 256) seen_windows[seen_count++] = window;
            record_window(window);
            fail("a window that the script does not expect");
        }
        if (GetTickCount() - start > step_timeout_ms)
            fail("timeout after %lu ms waiting for the program to end", step_timeout_ms);
        Sleep(50);
    }
}

// Waits for the program's end and writes its exit code.
DWORD finish_program() {
    wait_for_end();
    DWORD code = child_exit_code();
    fprintf(stdout, "exit %lu\n", code);
    fflush(stdout);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    child.hThread = nullptr;
    current_window = nullptr;
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--timeout") == 0 && i + 1 < argc) step_timeout_ms = atoi(argv[++i]) * 1000;
    }
    char* script = read_all(stdin);
    // Only scenarios that look for broadcasts get the listener, so that the
    // others see the desktop as the program alone leaves it.
    bool listens = script_has_step(script, "fontchange");
    int step = 0;
    for (char* line = strtok(script, "\n"); line; line = strtok(nullptr, "\n")) {
        size_t length = strlen(line);
        while (length && (line[length - 1] == '\r')) line[--length] = 0;
        while (*line == ' ' || *line == '\t') ++line;
        if (!*line || *line == '#') continue;
        ++step;
        if (strncmp(line, "run ", 4) == 0) {
            static char command[32768];
            static char application[1024];
            const char* rest = unquote(line + 4, command, sizeof command);
            if (!rest) fail("step %d: bad quoted text: %s", step, line);
            while (*rest == ' ') ++rest;
            if (*rest && !unquote(rest, application, sizeof application))
                fail("step %d: bad quoted application name: %s", step, line);
            // A second run waits for the first program's end: an
            // installation, then its uninstaller.
            if (child.hProcess) finish_program();
            if (listens && !child.hProcess) start_listener();
            start_program(command, *rest ? application : nullptr);
            continue;
        }
        if (strncmp(line, "screen ", 7) == 0) {
            use_screen(step, line, line + 7);
            continue;
        }
        if (strncmp(line, "env ", 4) == 0) {
            char* value = strchr(line + 4, '=');
            if (!value) fail("step %d: env needs NAME=VALUE: %s", step, line);
            *value++ = 0;
            SetEnvironmentVariableA(line + 4, *value ? value : nullptr);
            continue;
        }
        if (strncmp(line, "pass ", 5) == 0) {
            if (passed_count < 16) passed_titles[passed_count++] = line + 5;
            continue;
        }
        if (strncmp(line, "hold ", 5) == 0) {
            char path[1024];
            if (!unquote(line + 5, path, sizeof path)) fail("step %d: bad quoted text: %s", step, line);
            HANDLE held = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            if (held == INVALID_HANDLE_VALUE)
                fail("step %d (%s): cannot hold the file: error %lu", step, line, GetLastError());
            if (held_count < 16) held_files[held_count++] = held;
            continue;
        }
        if (strcmp(line, "release") == 0) {
            while (held_count > 0) CloseHandle(held_files[--held_count]);
            continue;
        }
        if (!child.hProcess) fail("step %d (%s) comes before run", step, line);
        if (strcmp(line, "expect") == 0) {
            expect_window(step, line);
        } else if (strncmp(line, "press ", 6) == 0) {
            press(step, line, line + 6);
            fputs("> ", stdout);
            write_line(line);
            await_answer();
        } else if (strcmp(line, "esc") == 0) {
            send_escape(step, line);
            fputs("> ", stdout);
            write_line(line);
            await_answer();
        } else if (strcmp(line, "close") == 0) {
            require_current(step, line);
            PostMessageA(current_window, WM_SYSCOMMAND, SC_CLOSE, 0);
            fputs("> ", stdout);
            write_line(line);
            await_answer();
        } else if (strcmp(line, "leave") == 0) {
            require_current(step, line);
            current_window = nullptr;
        } else if (strncmp(line, "read ", 5) == 0) {
            TitleQuery query = {line + 5, nullptr};
            EnumWindows(match_title, reinterpret_cast<LPARAM>(&query));
            if (!query.found) fail("step %d (%s): the program shows no window of that title", step, line);
            record_window(query.found);
        } else if (strncmp(line, "class ", 6) == 0) {
            report_class(line + 6);
        } else if (strcmp(line, "fontchange") == 0) {
            fprintf(stdout, "fontchange received %ld\n", static_cast<long>(font_changes));
            fflush(stdout);
        } else if (strncmp(line, "sleep ", 6) == 0) {
            Sleep(atoi(line + 6));
        } else {
            fail("step %d: unknown step: %s", step, line);
        }
    }
    if (!child.hProcess) fail("the script has no run step");
    return static_cast<int>(finish_program());
}
