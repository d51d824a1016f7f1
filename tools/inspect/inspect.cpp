// The inspector: reads back what a run left in the Wine sandbox, through the
// system's own calls, so that scenarios check the files, the registry and
// the shortcuts themselves rather than the installer's report of them.
//
// Commands come on standard input, one a line; each writes its findings:
//   files DIR        every file below DIR, with its size and date, and every
//                    folder, in name order ("missing" when DIR is not there)
//   exists PATH      "present" or "missing"
//   key ROOT\PATH    the key's values with their types and data, then its
//                    subkeys ("missing" when the key is not there); ROOT is
//                    HKLM or HKCU
//   value ROOT\PATH > NAME
//                    one value of a key
//   link FILE        a shortcut's target, arguments and working folder
//   text FILE        a text file, its line ends shown as \r\n
// and, to prepare a scenario before its run:
//   set ROOT\PATH > NAME = TEXT      a REG_SZ value (the key made when missing)
//   setdword ROOT\PATH > NAME = N    a REG_DWORD value
//   mkdir DIR                        a folder with its parents
//   touch FILE YYYY-MM-DD HH:MM:SS   a file's date (local time), made empty
//                                    when missing
// Texts are written in C notation, like the robot's transcripts.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

void put_quoted(const char* text, DWORD length) {
    putchar('"');
    for (DWORD i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c) {
            case '\r': fputs("\\r", stdout); break;
            case '\n': fputs("\\n", stdout); break;
            case '\t': fputs("\\t", stdout); break;
            case '"': fputs("\\\"", stdout); break;
            case '\\': fputs("\\\\", stdout); break;
            default:
                if (c < 0x20 || c == 0x7F) printf("\\x%02x", c);
                else putchar(c);
        }
    }
    putchar('"');
}

void put_quoted(const char* text) { put_quoted(text, static_cast<DWORD>(strlen(text))); }

void put_date(const FILETIME& utc) {
    FILETIME local;
    SYSTEMTIME t;
    FileTimeToLocalFileTime(&utc, &local);
    FileTimeToSystemTime(&local, &t);
    printf("%d-%02d-%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
}

int compare_names(const void* a, const void* b) {
    return _stricmp(static_cast<const WIN32_FIND_DATAA*>(a)->cFileName, static_cast<const WIN32_FIND_DATAA*>(b)->cFileName);
}

void list_files(const char* dir, const char* relative) {
    char pattern[MAX_PATH * 2];
    snprintf(pattern, sizeof pattern, "%s\\*", dir);
    WIN32_FIND_DATAA found[512];
    int count = 0;
    HANDLE search = FindFirstFileA(pattern, &found[0]);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (strcmp(found[count].cFileName, ".") && strcmp(found[count].cFileName, "..")) ++count;
    } while (count < 512 && FindNextFileA(search, &found[count]));
    FindClose(search);
    qsort(found, count, sizeof found[0], compare_names);
    for (int i = 0; i < count; ++i) {
        char inner[MAX_PATH * 2], inner_relative[MAX_PATH * 2];
        snprintf(inner, sizeof inner, "%s\\%s", dir, found[i].cFileName);
        snprintf(inner_relative, sizeof inner_relative, "%s%s%s", relative, *relative ? "\\" : "", found[i].cFileName);
        if (found[i].dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            printf("  folder %s\n", inner_relative);
            list_files(inner, inner_relative);
        } else {
            printf("  file %s %lu bytes ", inner_relative, found[i].nFileSizeLow);
            put_date(found[i].ftLastWriteTime);
            putchar('\n');
        }
    }
}

void files(const char* dir) {
    DWORD attributes = GetFileAttributesA(dir);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        printf("  missing\n");
        return;
    }
    list_files(dir, "");
}

bool open_key(const char* path, HKEY& key, bool create = false) {
    HKEY root;
    if (_strnicmp(path, "HKLM\\", 5) == 0) root = HKEY_LOCAL_MACHINE;
    else if (_strnicmp(path, "HKCU\\", 5) == 0) root = HKEY_CURRENT_USER;
    else return false;
    if (create)
        return RegCreateKeyExA(root, path + 5, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS;
    return RegOpenKeyExA(root, path + 5, 0, KEY_READ, &key) == ERROR_SUCCESS;
}

// "KEY > NAME = DATA": the three parts, cut in place.
bool split_assignment(char* arguments, char*& name, char*& data) {
    name = strstr(arguments, " > ");
    if (!name) return false;
    *name = 0;
    name += 3;
    data = strstr(name, " = ");
    if (!data) return false;
    *data = 0;
    data += 3;
    return true;
}

void set_value(char* arguments, bool dword) {
    char *name, *data;
    HKEY opened;
    if (!split_assignment(arguments, name, data) || !open_key(arguments, opened, true)) {
        printf("  failed\n");
        return;
    }
    LONG result;
    if (dword) {
        DWORD number = strtoul(data, nullptr, 0);
        result = RegSetValueExA(opened, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
    } else {
        result = RegSetValueExA(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), strlen(data) + 1);
    }
    RegCloseKey(opened);
    if (result != ERROR_SUCCESS) printf("  failed\n");
}

void make_folder(const char* path) {
    char partial[MAX_PATH * 2];
    for (size_t i = 0; path[i] && i + 1 < sizeof partial; ++i) {
        partial[i] = path[i];
        partial[i + 1] = 0;
        if ((path[i + 1] == '\\' || path[i + 1] == 0) && i > 2) CreateDirectoryA(partial, nullptr);
    }
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) printf("  failed\n");
}

void touch(char* arguments) {
    // The last two words are the date and the time.
    char* time_part = strrchr(arguments, ' ');
    if (!time_part) {
        printf("  failed\n");
        return;
    }
    *time_part++ = 0;
    char* date_part = strrchr(arguments, ' ');
    if (!date_part) {
        printf("  failed\n");
        return;
    }
    *date_part++ = 0;
    SYSTEMTIME t = {};
    if (sscanf(date_part, "%hu-%hu-%hu", &t.wYear, &t.wMonth, &t.wDay) != 3 ||
        sscanf(time_part, "%hu:%hu:%hu", &t.wHour, &t.wMinute, &t.wSecond) != 3) {
        printf("  failed\n");
        return;
    }
    char folder[MAX_PATH * 2];
    snprintf(folder, sizeof folder, "%s", arguments);
    char* last = strrchr(folder, '\\');
    if (last) {
        *last = 0;
        if (GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES) make_folder(folder);
    }
    HANDLE file = CreateFileA(arguments, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    FILETIME local, utc;
    if (file == INVALID_HANDLE_VALUE || !SystemTimeToFileTime(&t, &local) || !LocalFileTimeToFileTime(&local, &utc) ||
        !SetFileTime(file, nullptr, nullptr, &utc)) {
        printf("  failed\n");
    }
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

void put_value(const char* name, DWORD type, const BYTE* data, DWORD size) {
    printf("  %s ", name);
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        DWORD length = size;
        while (length > 0 && data[length - 1] == 0) --length;
        printf(type == REG_SZ ? "REG_SZ " : "REG_EXPAND_SZ ");
        put_quoted(reinterpret_cast<const char*>(data), length);
    } else if (type == REG_DWORD && size == 4) {
        DWORD value;
        memcpy(&value, data, 4);
        printf("REG_DWORD %lu (0x%lX)", value, value);
    } else {
        printf("type %lu, %lu bytes", type, size);
    }
    putchar('\n');
}

void key(const char* path) {
    HKEY opened;
    if (!open_key(path, opened)) {
        printf("  missing\n");
        return;
    }
    for (DWORD i = 0;; ++i) {
        char name[1024];
        BYTE data[8192];
        DWORD name_size = sizeof name, data_size = sizeof data, type;
        if (RegEnumValueA(opened, i, name, &name_size, nullptr, &type, data, &data_size) != ERROR_SUCCESS) break;
        put_value(name, type, data, data_size);
    }
    for (DWORD i = 0;; ++i) {
        char name[1024];
        DWORD name_size = sizeof name;
        if (RegEnumKeyExA(opened, i, name, &name_size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        printf("  subkey %s\n", name);
    }
    RegCloseKey(opened);
}

void value(char* arguments) {
    char* blank = strstr(arguments, " > ");
    if (!blank) {
        printf("  usage: value KEY > NAME\n");
        return;
    }
    *blank = 0;
    blank += 2;
    HKEY opened;
    if (!open_key(arguments, opened)) {
        printf("  missing key\n");
        return;
    }
    BYTE data[8192];
    DWORD size = sizeof data, type;
    if (RegQueryValueExA(opened, blank + 1, nullptr, &type, data, &size) == ERROR_SUCCESS) {
        put_value(blank + 1, type, data, size);
    } else {
        printf("  %s missing\n", blank + 1);
    }
    RegCloseKey(opened);
}

void link(const char* path) {
    IShellLinkA* shell_link = nullptr;
    IPersistFile* file = nullptr;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH);
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&shell_link)))) {
        printf("  no shell-link object\n");
        return;
    }
    if (SUCCEEDED(shell_link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(wide, STGM_READ))) {
        char text[MAX_PATH * 2];
        shell_link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH);
        printf("  target ");
        put_quoted(text);
        shell_link->GetArguments(text, sizeof text);
        printf("\n  arguments ");
        put_quoted(text);
        shell_link->GetWorkingDirectory(text, sizeof text);
        printf("\n  working folder ");
        put_quoted(text);
        putchar('\n');
    } else {
        printf("  missing\n");
    }
    if (file) file->Release();
    shell_link->Release();
}

void text(const char* path) {
    FILE* in = fopen(path, "rb");
    if (!in) {
        printf("  missing\n");
        return;
    }
    static char content[65536];
    size_t size = fread(content, 1, sizeof content, in);
    fclose(in);
    printf("  ");
    put_quoted(content, static_cast<DWORD>(size));
    putchar('\n');
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    char line[2048];
    while (fgets(line, sizeof line, stdin)) {
        line[strcspn(line, "\r\n")] = 0;
        char* arguments = strchr(line, ' ');
        if (!arguments) continue;
        *arguments++ = 0;
        printf("%s %s\n", line, arguments);
        if (strcmp(line, "files") == 0) files(arguments);
        else if (strcmp(line, "exists") == 0) printf(GetFileAttributesA(arguments) == INVALID_FILE_ATTRIBUTES ? "  missing\n" : "  present\n");
        else if (strcmp(line, "key") == 0) key(arguments);
        else if (strcmp(line, "value") == 0) value(arguments);
        else if (strcmp(line, "link") == 0) link(arguments);
        else if (strcmp(line, "text") == 0) text(arguments);
        else if (strcmp(line, "set") == 0) set_value(arguments, false);
        else if (strcmp(line, "setdword") == 0) set_value(arguments, true);
        else if (strcmp(line, "mkdir") == 0) make_folder(arguments);
        else if (strcmp(line, "touch") == 0) touch(arguments);
        else printf("  unknown command\n");
        fflush(stdout);
    }
    CoUninitialize();
    return 0;
}
