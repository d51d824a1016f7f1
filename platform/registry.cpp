// The registry layer's state is one current key and the stack of the keys
// that were current before each open still in force. Both live in a
// function-level static so that the installer gets no static constructor for
// them; the program has one thread, so nothing guards them.
//
// Texts are written as their bytes without a terminating zero (the data
// length is the text length), so the reader adds the terminator itself and
// never trusts the stored data to bring one.
#include "platform/registry.h"

#include <string.h>

#include "platform/path.h"
#include "platform/system_calls.h"

// The registry's internal checks name their condition, this unit and the line.
#define registry_assert(condition) \
    ((condition) ? (void)0 : assertion_failed(#condition, "registry", __LINE__))

namespace {

struct RegistryState {
    HKEY current_key = nullptr;
    Stack<HKEY> reg_key_stack;
};

RegistryState& state() {
    static RegistryState registry;
    return registry;
}

HKEY software_root(bool current_user) { return current_user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

String software_path(const char* subpath) { return String("Software\\") + subpath; }

}  // namespace

int open_key(HKEY parent, const char* path) {
    // A null path would open the parent itself; no caller means that.
    if (!path) return reg_open_failed;
    static char no_class[] = "";
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (system_call(RegCreateKeyExA)(parent, path, 0, no_class, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition) !=
        ERROR_SUCCESS)
        return reg_open_failed;
    RegistryState& registry = state();
    registry.reg_key_stack.push(registry.current_key);
    registry.current_key = key;
    return disposition == REG_CREATED_NEW_KEY ? reg_created_new : reg_opened_existing;
}

void close_key() {
    RegistryState& registry = state();
    Stack<HKEY>& reg_key_stack = registry.reg_key_stack;
    registry_assert(!reg_key_stack.is_empty());
    if (registry.current_key) RegCloseKey(registry.current_key);
    registry.current_key = reg_key_stack.pop();
}

int open_software_key(const char* subpath, bool current_user) {
    return open_key(software_root(current_user), software_path(subpath).text());
}

int open_software_key_or_fail(const char* subpath, bool current_user) {
    int result = open_software_key(subpath, current_user);
    if (result == reg_open_failed) fatal_error("Unable to open registry key '%s'", subpath ? subpath : "");
    return result;
}

int open_subkey(const char* path) {
    HKEY current = state().current_key;
    return current ? open_key(current, path) : reg_open_failed;
}

bool key_exists(HKEY root, const char* path) {
    if (!path || !*path) return false;
    HKEY key = nullptr;
    if (system_call(RegOpenKeyExA)(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool software_key_exists(const char* subpath, bool current_user) {
    return key_exists(software_root(current_user), software_path(subpath).text());
}

bool key_is_empty() {
    HKEY current = state().current_key;
    if (!current) return true;
    DWORD subkeys = 0, values = 0;
    if (RegQueryInfoKeyA(current, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return true;
    return subkeys == 0 && values == 0;
}

bool subkey_is_empty(const char* name) {
    if (open_subkey(name) == reg_open_failed) return true;
    bool empty = key_is_empty();
    close_key();
    return empty;
}

bool delete_key(const char* name, bool only_if_empty) {
    HKEY current = state().current_key;
    // An empty name names no subkey: the system would take it as the current
    // key itself and delete the key the caller holds open.
    if (!current || !name || !*name) return false;
    if (only_if_empty && !subkey_is_empty(name)) return false;
    return system_call(RegDeleteKeyA)(current, name) == ERROR_SUCCESS;
}

bool delete_key_at(HKEY root, const char* parent_path, const char* name, bool only_if_empty) {
    if (open_key(root, parent_path) == reg_open_failed) return false;
    bool deleted = delete_key(name, only_if_empty);
    close_key();
    return deleted;
}

bool delete_key_path(HKEY root, const char* path, bool only_if_empty) {
    String parent, name;
    if (!path || !split_path(path, parent, name)) return false;
    return delete_key_at(root, parent.text(), name.text(), only_if_empty);
}

bool delete_software_key(const char* subpath, bool current_user, bool only_if_empty) {
    return delete_key_path(software_root(current_user), software_path(subpath).text(), only_if_empty);
}

bool delete_software_subkey(const char* parent_subpath, const char* name, bool current_user,
                            bool only_if_empty) {
    return delete_key_at(software_root(current_user), software_path(parent_subpath).text(), name,
                         only_if_empty);
}

u32 get_dword(const char* name, u32 default_value) {
    registry_assert(name != NULL);
    HKEY current = state().current_key;
    if (!current) return default_value;
    DWORD type = 0, value = 0, size = sizeof(value);
    if (RegQueryValueExA(current, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
        ERROR_SUCCESS)
        return default_value;
    return type == REG_DWORD && size == sizeof(value) ? value : default_value;
}

String get_string(const char* name, const char* default_text) {
    registry_assert(name != NULL);
    HKEY current = state().current_key;
    if (!current) return String(default_text);
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(current, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
        return String(default_text);
    String text;
    if (size == 0) return text;
    // A value beyond what any text may hold is foreign data, not ours.
    if (size > static_cast<DWORD>(String::max_length)) return String(default_text);
    text.set_length(static_cast<i32>(size));
    DWORD room = size + 1;
    char* buffer = text.buffer();
    memset(buffer, 0, room);
    if (RegQueryValueExA(current, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &room) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return String(default_text);
    text.sync_length();
    return text;
}

bool set_dword(const char* name, u32 value, u32 flags) {
    registry_assert(name != NULL);
    HKEY current = state().current_key;
    if (!current) return false;
    if ((flags & reg_delete_when_empty) && value == 0) {
        delete_value(name);
        return true;
    }
    DWORD data = value;
    return system_call(RegSetValueExA)(current, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data)) ==
           ERROR_SUCCESS;
}

bool set_string(const char* name, const char* text, u32 flags) {
    registry_assert(name != NULL);
    HKEY current = state().current_key;
    if (!current) return false;
    bool empty = !text || !*text;
    if ((flags & reg_delete_when_empty) && empty) return delete_value(name);
    // A missing text without the flag is written as the empty text it stands for.
    if (!text) text = "";
    return system_call(RegSetValueExA)(current, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(strlen(text))) == ERROR_SUCCESS;
}

bool delete_value(const char* name) {
    HKEY current = state().current_key;
    if (!current || !name) return false;
    return system_call(RegDeleteValueA)(current, name) == ERROR_SUCCESS;
}

String read_registry_string(HKEY root, const char* path, const char* default_text) {
    String key_path, value_name;
    if (!path || !split_path(path, key_path, value_name)) return String(default_text);
    if (open_key(root, key_path.text()) == reg_open_failed) return String(default_text);
    String text = get_string(value_name.text(), "");
    close_key();
    return text;
}
