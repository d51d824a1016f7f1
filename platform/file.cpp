// The file object over CreateFileA and the 32-bit file-pointer calls, and the
// two whole-text writers over the C runtime's streams.
//
// Failures are results; the reason of a failed read or write is kept as text
// because callers put it into their own messages and no error code is kept
// anywhere else. The internal check names this source unit "gfile".
#include "platform/file.h"
#include "platform/system_calls.h"

#include <stdio.h>

namespace {

const DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE;
const DWORD neutral_language = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);

}  // namespace

bool File::open(const char* path, bool read, bool write, bool exclusive) {
    close();
    name.assign(path);
    DWORD access = (read ? GENERIC_READ : 0) | (write ? GENERIC_WRITE : 0);
    HANDLE opened = system_call(CreateFileA)(path, access, exclusive ? 0 : share_all, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return false;
    handle = opened;
    can_read = read;
    can_write = write;
    return true;
}

bool File::create(const char* path, bool exclusive) {
    close();
    name.assign(path);
    HANDLE created = system_call(CreateFileA)(path, GENERIC_READ | GENERIC_WRITE, exclusive ? 0 : share_all, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE) return false;
    handle = created;
    can_read = true;
    can_write = true;
    return true;
}

void File::close() {
    if (handle) {
        CloseHandle(handle);
        handle = nullptr;
    }
    positions.clear();
    can_read = false;
    can_write = false;
}

i32 File::tell() {
    if (!handle) return -1;
    DWORD position = SetFilePointer(handle, 0, nullptr, FILE_CURRENT);
    return position == INVALID_SET_FILE_POINTER ? -1 : static_cast<i32>(position);
}

bool File::seek(i32 offset) {
    return handle && SetFilePointer(handle, offset, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

bool File::seek_from_end(i32 offset) {
    return handle && SetFilePointer(handle, offset, nullptr, FILE_END) != INVALID_SET_FILE_POINTER;
}

i32 File::size() {
    if (!handle) return -1;
    push_position();
    i32 length = seek_from_end(0) ? tell() : -1;
    pop_position();
    return length;
}

i32 File::push_position() {
    i32 position = tell();
    positions.push(position);
    return position;
}

i32 File::push_position_and_seek(i32 offset) {
    i32 position = push_position();
    seek(offset);
    return position;
}

i32 File::pop_position() {
    // Every push of this file is popped within the same operation; an empty
    // stack here is a fault of the caller.
    if (positions.is_empty()) core_assert_failed("gfile", __LINE__);
    i32 position = positions.pop();
    seek(position);
    return position;
}

bool File::read(void* block, i32 count) {
    if (count == 0) return true;
    if (count < 0) {
        error_text_.format("Illegal block size %d", count);
        return false;
    }
    if (!block) {
        error_text_ = "NULL block pointer";
        return false;
    }
    if (!can_read) {
        error_text_ = "Read access denied";
        return false;
    }
    DWORD got = 0;
    if (!ReadFile(handle, block, static_cast<DWORD>(count), &got, nullptr)) {
        record_system_error();
        return false;
    }
    if (got < static_cast<DWORD>(count)) {
        error_text_ = "Read past end of file";
        return false;
    }
    return true;
}

bool File::read_at(i32 offset, void* block, i32 count) {
    push_position();
    bool done;
    if (count > 0 && can_read && !seek(offset)) {
        // Reading on from wherever the file stood would hand back the wrong
        // bytes as a success.
        record_system_error();
        done = false;
    } else {
        done = read(block, count);
    }
    pop_position();
    return done;
}

bool File::read_range(ByteBuffer& out, i32 offset, i32 count) {
    if (offset < 0 || count < 0) return false;
    // In 64 bits: a hostile offset near the top must not wrap below the size.
    if (static_cast<int64_t>(offset) + count > size()) return false;
    out.set_size(count);
    if (!read_at(offset, out.data(), count)) {
        out.clear();
        return false;
    }
    return true;
}

bool File::write(const void* block, i32 count) {
    if (count == 0) return true;
    if (count < 0) {
        error_text_ = "Illegal block size";
        return false;
    }
    if (!block) {
        error_text_ = "NULL block pointer";
        return false;
    }
    if (!can_write) {
        error_text_ = "Write access denied";
        return false;
    }
    DWORD written = 0;
    if (!system_call(WriteFile)(handle, block, static_cast<DWORD>(count), &written, nullptr)) {
        record_system_error();
        return false;
    }
    if (written < static_cast<DWORD>(count)) {
        error_text_ = "Not all data could be written";
        return false;
    }
    return true;
}

bool File::get_date(DateTime& out) {
    FILETIME written;
    if (!handle || !GetFileTime(handle, nullptr, nullptr, &written)) return false;
    return out.from_file_time(written);
}

DateTime File::get_date() {
    DateTime date;
    if (!get_date(date)) date = DateTime();
    return date;
}

bool File::set_date(const DateTime& date) {
    FILETIME local, utc;
    if (!handle || !date.to_file_time(local) || !LocalFileTimeToFileTime(&local, &utc)) return false;
    // Writes still buffered would stamp the file again after us.
    FlushFileBuffers(handle);
    return system_call(SetFileTime)(handle, nullptr, nullptr, &utc) != FALSE;
}

void File::record_system_error() {
    DWORD code = GetLastError();
    error_text_.clear();
    if (code == 0) return;
    // The system's texts for file errors are a line or two: formatted in
    // place, they need neither the system's allocation nor LocalFree.
    const DWORD room = 2048;
    error_text_.set_length(room);
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, neutral_language,
                                  error_text_.buffer(), room + 1, nullptr);
    error_text_.set_length(static_cast<i32>(length));
}

namespace {

// The stream is closed in every case; a close that cannot flush the last
// bytes (a full disk) is a failed write too.
bool put_text_file(const char* path, const char* mode, const char* text) {
    if (!path) return false;
    FILE* stream = fopen(path, mode);
    if (!stream) return false;
    bool written = !text || fputs(text, stream) >= 0;
    if (fclose(stream) != 0) written = false;
    return written;
}

}  // namespace

bool write_text_file(const char* path, const char* text) { return put_text_file(path, "wb", text); }

bool append_text_file(const char* path, const char* text) { return put_text_file(path, "a+b", text); }
