// Path texts. Windows paths: the separator is the backslash, and a letter
// with a colon in front is a drive prefix.
#include "platform/path.h"

namespace {

bool starts_with_drive_prefix(const char* path) { return path && is_alpha(path[0]) && path[1] == ':'; }

// The length of the directory part of path, or -1 when it has none.
i32 directory_part_length(const String& path) {
    i32 slash = path.find_last_char('\\');
    if (slash > 0 && path.char_at(slash - 1) == ':') return slash + 1;
    if (slash >= 0) return slash;
    i32 colon = path.find_char(':');
    return colon >= 0 ? colon + 1 : -1;
}

}  // namespace

String join_path(const char* dir, const char* name) {
    String joined(dir);
    if (!name || !*name) return joined;
    if (name[0] == '\\') {
        joined.remove_trailing('\\');
    } else if (!joined.is_empty() && !joined.ends_with_char(':') && !joined.ends_with_char('\\')) {
        joined.append('\\');
    }
    joined.append(name);
    return joined;
}

String directory_of(const char* path) {
    String directory(path);
    i32 length = directory_part_length(directory);
    if (length < 0) return String();
    directory.truncate(length);
    return directory;
}

// A path that is its own directory part (a drive root, a bare drive prefix)
// has no file name to remove: false, so that a walk up the tree ends there.
bool remove_file_name(String& path) {
    i32 length = directory_part_length(path);
    return length >= 0 && path.truncate(length);
}

bool split_path(const char* path, String& dir, String& name) {
    String whole(path);
    i32 slash = whole.find_last_char('\\');
    if (slash >= 0) {
        whole.substring(dir, slash);
        whole.substring(name, whole.length() - slash - 1, slash + 1);
        return true;
    }
    if (whole.char_at(1) != ':') {
        dir.clear();
        name.assign(whole);
        return !name.is_empty();
    }
    whole.substring(dir, 2);
    whole.substring(name, whole.length() - 2, 2);
    return true;
}

bool set_default_extension(String& path, const char* ext) {
    i32 name_start = path.find_last_char('\\', path.length()) + 1;
    if (path.find_char('.', name_start) >= 0) return false;
    if (ext[0] != '.') path.append('.');
    path.append(ext);
    return true;
}

bool prefix_directory(String& name, const char* dir) {
    if (!dir || !*dir || name.find_any_of("\\:") >= 0) return false;
    name = join_path(dir, name.text());
    return true;
}

bool make_absolute(String& path, const char* base) {
    if (!has_drive_root(base)) return false;
    if (path.char_at(1) != ':') {
        if (path.starts_with_char('\\')) {
            path.insert(0, base, 2);
        } else {
            String prefix(base);
            prefix.ensure_trailing('\\');
            path.insert(0, prefix.text());
        }
        return true;
    }
    if (has_drive_root(path.text())) return false;
    // A drive prefix with a relative path: base's directories go on the
    // path's own drive.
    String directories(base + 2);
    directories.ensure_trailing('\\');
    path.insert(2, directories.text());
    return true;
}

bool has_drive_root(const char* path) { return path && path[0] && path[1] == ':' && path[2] == '\\'; }

char drive_letter_of(const char* path) { return starts_with_drive_prefix(path) ? to_upper(path[0]) : 0; }

String drive_root_of(const char* path) {
    if (!starts_with_drive_prefix(path)) return String();
    String root;
    root.assign(path, 2);
    root.append('\\');
    return root;
}

bool is_valid_path(String path) {
    if (path.is_empty()) return false;
    path.strip_enclosing('"');
    if (path.char_at(1) == ':') path.remove(1, 1);
    return path.find_any_of("/\"<>|*?:;") < 0;
}
