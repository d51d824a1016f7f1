// The file object over CreateFileA and friends.
#include "platform/file.h"

bool File::open(const char* path, bool read, bool write, bool exclusive) {
    close();
    name.assign(path);
    DWORD access = (read ? GENERIC_READ : 0) | (write ? GENERIC_WRITE : 0);
    DWORD share = exclusive ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE opened = CreateFileA(path, access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return false;
    handle = opened;
    can_read = read;
    can_write = write;
    return true;
}

void File::close() {
    if (handle) {
        CloseHandle(handle);
        handle = nullptr;
    }
    can_read = false;
    can_write = false;
}
