// String. Every edit ends in set_length, so the terminator and the slack
// policy hold after each one: a buffer is sized to the length plus 33 bytes
// and kept while it is neither too small nor more than 512 bytes too large,
// so appending a byte at a time reallocates once every 33 bytes. Texts handed
// in may point into the String's own buffer; the edits that would move or
// free that buffer under them copy such a text first.
#include "foundation/string.h"

#include <stdlib.h>
#include <string.h>

#ifndef _WIN32
#include <strings.h>
#endif

namespace {

const i32 slack = 32;
const i32 shrink_slack = 512;
// Counting stops here: any count beyond the limit is refused by set_length,
// and the sums of two such counts still fit in an i32.
const i32 beyond_limit = String::max_length + 1;

// What text() yields without a buffer. It is const so that it lands in
// read-only memory: a write through it faults instead of corrupting every
// empty String at once.
const char empty_text[1] = {0};

int compare_no_case_all(const char* a, const char* b) {
#ifdef _WIN32
    return _stricmp(a, b);
#else
    return strcasecmp(a, b);
#endif
}

int compare_no_case_n(const char* a, const char* b, i32 count) {
#ifdef _WIN32
    return _strnicmp(a, b, count);
#else
    return strncasecmp(a, b, count);
#endif
}

i32 bounded_length(const char* text, i32 max_count) {
    i32 n = 0;
    while (n < max_count && text[n]) n++;
    return n;
}

// The terminator is in no set, so a 0 byte inside a String never matches.
bool in_set(char c, const char* set) { return c != 0 && strchr(set, c) != nullptr; }

i32 clamp(i32 value, i32 low, i32 high) { return value < low ? low : value > high ? high : value; }

// The second line behind out_of_memory: only reached if an allocator ever
// returns empty after all.
CORE_NORETURN void growth_failed(i32 size, const char* old_text) {
    char shown[43];
    i32 n = bounded_length(old_text, 39);
    memcpy(shown, old_text, n);
    memcpy(shown + n, n == 39 ? "..." : "", n == 39 ? 4 : 1);
    fatal_error("String:alloc %d \"%s\"", size, shown);
}

String joined(const char* left, i32 left_count, const char* right, i32 right_count) {
    String both;
    both.set_length(left_count + right_count);
    if (both.buffer()) {
        memcpy(both.buffer(), left, left_count);
        memcpy(both.buffer() + left_count, right, right_count);
    }
    return String(both.text());
}

}  // namespace

String::String(const char* text) : length_(0), capacity_(0), buffer_(nullptr) {
    if (!text || !*text) return;
    i32 n = bounded_length(text, beyond_limit);
    core_assert(n <= max_length);
    buffer_ = static_cast<char*>(core_allocate(n + 1 + slack));
    if (!buffer_) fatal_error("Out of memory");
    memcpy(buffer_, text, n + 1);
    length_ = n;
    capacity_ = n + 1 + slack;
}

String::String(const String& other) : String(other.text()) {}

String::String(String&& other) noexcept
    : length_(other.length_), capacity_(other.capacity_), buffer_(other.buffer_) {
    other.length_ = other.capacity_ = 0;
    other.buffer_ = nullptr;
}

String& String::operator=(String&& other) noexcept {
    if (this != &other) {
        clear();
        length_ = other.length_;
        capacity_ = other.capacity_;
        buffer_ = other.buffer_;
        other.length_ = other.capacity_ = 0;
        other.buffer_ = nullptr;
    }
    return *this;
}

// Out of line on purpose: inlined, each of the installer's hundreds of calls
// would carry the empty text's absolute address, and with it a relocation.
__attribute__((noinline)) const char* String::text() const { return buffer_ ? buffer_ : empty_text; }

void String::clear() {
    core_free(buffer_);
    length_ = capacity_ = 0;
    buffer_ = nullptr;
}

void String::set_length(i32 n) {
    core_assert(n <= max_length);
    if (n <= 0) {
        clear();
        return;
    }
    i32 required = n + 1;
    if (!buffer_ || required > capacity_ || required < capacity_ - shrink_slack) {
        i32 size = required + slack;
        char* grown = static_cast<char*>(core_reallocate(buffer_, size));
        if (!grown) growth_failed(size, text());
        if (!buffer_) grown[0] = 0;
        buffer_ = grown;
        capacity_ = size;
    }
    length_ = n;
    buffer_[n] = 0;
}

i32 String::sync_length() {
    if (!buffer_) {
        length_ = 0;
        return 0;
    }
    // A caller that filled the whole block without a terminator loses its
    // last byte rather than have the scan run off the block.
    const void* end = memchr(buffer_, 0, capacity_);
    set_length(end ? static_cast<i32>(static_cast<const char*>(end) - buffer_) : capacity_ - 1);
    return length_;
}

bool String::holds(const char* text) const {
    uintptr_t address = reinterpret_cast<uintptr_t>(text);
    uintptr_t start = reinterpret_cast<uintptr_t>(buffer_);
    return buffer_ && address >= start && address < start + capacity_;
}

const char* String::assign(const char* text) {
    if (!text || !*text) {
        clear();
        return this->text();
    }
    i32 n = bounded_length(text, beyond_limit);
    core_assert(n <= max_length);
    if (n < capacity_) {
        memmove(buffer_, text, n + 1);
    } else {
        i32 size = n + 1 + slack;
        char* fresh = static_cast<char*>(core_allocate(size));
        if (!fresh) fatal_error("String = %d", size);
        memcpy(fresh, text, n + 1);
        core_free(buffer_);
        buffer_ = fresh;
        capacity_ = size;
    }
    length_ = n;
    return buffer_;
}

void String::assign(const String& other) {
    if (&other == this) return;
    if (other.is_empty()) {
        clear();
        return;
    }
    set_length(other.length_);
    memcpy(buffer_, other.buffer_, other.length_);
}

void String::assign(const char* text, i32 max_count) {
    if (!text) {
        clear();
        return;
    }
    if (holds(text)) {
        String copy;
        copy.assign(text, max_count);
        assign(copy);
        return;
    }
    i32 n = bounded_length(text, max_count < beyond_limit ? max_count : beyond_limit);
    set_length(n);
    if (n > 0) memcpy(buffer_, text, n);
}

void String::append(const char* text, i32 max_count) {
    core_assert(text != nullptr);
    if (holds(text)) {
        String copy(text);
        append(copy.text(), max_count);
        return;
    }
    i32 k = bounded_length(text, max_count < beyond_limit ? max_count : beyond_limit);
    if (k <= 0) return;
    i32 old = length_;
    set_length(old + k);
    memcpy(buffer_ + old, text, k);
}

void String::append(char c) {
    if (!c) return;
    set_length(length_ + 1);
    buffer_[length_ - 1] = c;
}

bool String::ensure_trailing(char c) {
    if (last_char() == c) return false;
    append(c);
    return true;
}

String operator+(const String& left, char right) { return joined(left.text(), left.length(), &right, 1); }

String operator+(const String& left, const char* right) {
    if (!right) right = "";
    return joined(left.text(), left.length(), right, bounded_length(right, beyond_limit));
}

String operator+(const String& left, const String& right) {
    return joined(left.text(), left.length(), right.text(), right.length());
}

String operator+(const char* left, const String& right) {
    if (!left) left = "";
    return joined(left, bounded_length(left, beyond_limit), right.text(), right.length());
}

char& String::at(i32 index) {
    if (is_out_of_range(index)) fatal_error("String[%d] \"%s\"", index, text());
    return buffer_[index];
}

char String::at(i32 index) const {
    if (is_out_of_range(index)) fatal_error("String[%d] \"%s\"", index, text());
    return buffer_[index];
}

bool String::set_char_at(i32 index, char c) {
    if (is_out_of_range(index)) return false;
    buffer_[index] = c;
    if (!c) length_ = index;
    return true;
}

i32 String::find_char(char c, i32 from) const {
    for (i32 i = from < 0 ? 0 : from; i < length_; i++)
        if (buffer_[i] == c) return i;
    return -1;
}

i32 String::find_last_char(char c, i32 from) const {
    for (i32 i = from >= length_ ? length_ - 1 : from; i >= 0; i--)
        if (buffer_[i] == c) return i;
    return -1;
}

i32 String::find_any_of(const char* set, i32 from) const {
    core_assert(set != nullptr && *set != 0);
    for (i32 i = from < 0 ? 0 : from; i < length_; i++)
        if (in_set(buffer_[i], set)) return i;
    return -1;
}

i32 String::find(const char* text, i32 from) const {
    if (!text || !*text || from >= length_) return -1;
    i32 k = bounded_length(text, beyond_limit);
    for (i32 p = from < 0 ? 0 : from; p <= length_ - k; p++)
        if (memcmp(buffer_ + p, text, k) == 0) return p;
    return -1;
}

i32 String::find_no_case(const char* text, i32 from) const {
    if (!text || !*text || from >= length_) return -1;
    i32 k = bounded_length(text, beyond_limit);
    for (i32 p = from < 0 ? 0 : from; p <= length_ - k; p++)
        if (compare_no_case_n(buffer_ + p, text, k) == 0) return p;
    return -1;
}

i32 String::find_number_start() const {
    for (i32 i = 0; i < length_; i++) {
        char c = buffer_[i];
        if (is_digit(c) || c == '+' || c == '-' || c == '.') return i;
    }
    return -1;
}

void String::substring(String& dest, i32 count, i32 start) const {
    core_assert(start >= 0);
    if (count > length_ - start) count = length_ - start;
    if (count <= 0) {
        dest.clear();
        return;
    }
    if (&dest == this) {
        // Move first: shrinking may hand the bytes to a smaller block.
        memmove(dest.buffer_, buffer_ + start, count);
        dest.set_length(count);
        return;
    }
    dest.set_length(count);
    memcpy(dest.buffer_, buffer_ + start, count);
}

String String::cut(i32 start, i32 count) {
    String part;
    substring(part, count, start);
    remove(start, count);
    return part;
}

String String::take_line() {
    if (!buffer_) return String();
    i32 end = 0;
    while (end < length_ && buffer_[end] != '\r' && buffer_[end] != '\n') end++;
    if (end == length_) {
        String line(text());
        clear();
        return line;
    }
    // CR LF and LF CR are one line end each; CR CR and LF LF are two.
    i32 next = end + 1;
    if (next < length_ && (buffer_[next] == '\r' || buffer_[next] == '\n') && buffer_[next] != buffer_[end])
        next++;
    String line;
    substring(line, end, 0);
    remove(0, next);
    return line;
}

String String::take_quoted(i32 pos) {
    String quoted;
    if (!buffer_ || is_out_of_range(pos) || buffer_[pos] != '"') return quoted;
    // Doubled quotes are collapsed by copying the content down over them;
    // the bytes left behind lie inside the part that is removed.
    i32 write = pos + 1;
    i32 read = pos + 1;
    bool closed = false;
    while (read < length_) {
        if (buffer_[read] == '"') {
            if (read + 1 >= length_ || buffer_[read + 1] != '"') {
                closed = true;
                break;
            }
            read++;
        }
        buffer_[write++] = buffer_[read++];
    }
    substring(quoted, write - pos - 1, pos + 1);
    remove(pos, (closed ? read + 1 : length_) - pos);
    return quoted;
}

String String::take_argument() {
    String word;
    trim_left();
    while (!is_empty()) {
        if (first_char() == '"') {
            word.append(take_quoted(0));
        } else {
            char c = pop_first_char();
            if (is_blank(c)) break;
            word.append(c);
        }
    }
    return word;
}

char String::pop_first_char() {
    if (is_empty()) return 0;
    char c = buffer_[0];
    remove(0, 1);
    return c;
}

bool String::remove(i32 start, i32 count) {
    if (start >= length_ || count < 1) return false;
    if (start < 0) {
        count += start;
        start = 0;
        if (count < 1) return false;
    }
    if (count < length_ - start) {
        memmove(buffer_ + start, buffer_ + start + count, length_ - start - count + 1);
        set_length(length_ - count);
    } else {
        set_length(start);
    }
    return true;
}

void String::remove_first(i32 n) {
    if (n <= 0) return;
    if (n < length_)
        remove(0, n);
    else
        clear();
}

void String::remove_last(i32 n) {
    if (n <= 0) return;
    if (n < length_)
        set_length(length_ - n);
    else
        clear();
}

bool String::remove_first_char() {
    if (is_empty()) return false;
    remove(0, 1);
    return true;
}

bool String::remove_last_char() {
    if (is_empty()) return false;
    set_length(length_ - 1);
    return true;
}

bool String::remove_leading(char c) { return !is_empty() && buffer_[0] == c && remove_first_char(); }

bool String::remove_trailing(char c) { return !is_empty() && buffer_[length_ - 1] == c && remove_last_char(); }

bool String::remove_leading_any_of(const char* set) {
    return set && !is_empty() && in_set(buffer_[0], set) && remove_first_char();
}

bool String::remove_prefix_no_case(const char* text, i32 max_count) {
    if (!text) return false;
    i32 k = bounded_length(text, max_count);
    if (k < 1 || k > length_ || compare_no_case_n(buffer_, text, k) != 0) return false;
    remove(0, k);
    return true;
}

bool String::strip_enclosing(char c) {
    if (is_empty() || buffer_[0] != c || buffer_[length_ - 1] != c) return false;
    remove_last_char();
    remove_first_char();
    return true;
}

bool String::truncate(i32 n) {
    if (n >= length_) return false;
    set_length(n);
    return true;
}

bool String::truncate_at(char c) {
    i32 p = find_char(c);
    if (p < 0) return false;
    set_length(p);
    return true;
}

i32 String::remove_all(char c) {
    i32 kept = 0;
    for (i32 i = 0; i < length_; i++)
        if (buffer_[i] != c) buffer_[kept++] = buffer_[i];
    i32 removed = length_ - kept;
    if (removed) set_length(kept);
    return removed;
}

i32 String::remove_all_of(const char* set) {
    core_assert(set != nullptr);
    if (!buffer_) return 0;
    i32 kept = 0;
    for (i32 i = 0; i < length_; i++)
        if (!in_set(buffer_[i], set)) buffer_[kept++] = buffer_[i];
    buffer_[kept] = 0;
    i32 removed = length_ - kept;
    set_length(static_cast<i32>(strlen(buffer_)));
    return removed;
}

void String::insert(i32 pos, const char* text, i32 max_count) {
    if (!text) return;
    if (holds(text)) {
        String copy(text);
        insert(pos, copy.text(), max_count);
        return;
    }
    i32 k = bounded_length(text, max_count < beyond_limit ? max_count : beyond_limit);
    if (k <= 0) return;
    splice(clamp(pos, 0, length_), 0, text, k);
}

void String::insert_chars(i32 pos, char c, i32 count) {
    if (count <= 0 || !c) return;
    if (count > beyond_limit) count = beyond_limit;
    pos = clamp(pos, 0, length_);
    i32 old = length_;
    set_length(old + count);
    memmove(buffer_ + pos + count, buffer_ + pos, old - pos + 1);
    memset(buffer_ + pos, c, count);
}

i32 String::replace(i32 pos, i32 count, const char* text) {
    if (!text) text = "";
    if (holds(text)) {
        String copy(text);
        return replace(pos, count, copy.text());
    }
    if (pos < 0 || pos > length_) return 0;
    i32 k = bounded_length(text, beyond_limit);
    if (count < 1 && k == 0) return 0;
    splice(pos, count < 1 ? 0 : count, text, k);
    return k;
}

// The one edit behind insert and replace: the count bytes at pos (as many
// as there are) give way to the k bytes of text, which lies outside the
// buffer, with a single change of length.
void String::splice(i32 pos, i32 count, const char* text, i32 k) {
    i32 rest = length_ - pos;
    if (count > rest) count = rest;
    i32 length = length_ - count + k;
    // The tail moves down before the buffer may shrink, and up after it
    // has grown; the terminator moves with it.
    if (k < count) memmove(buffer_ + pos + k, buffer_ + pos + count, rest - count + 1);
    set_length(length);
    if (k > count) memmove(buffer_ + pos + k, buffer_ + pos + count, rest - count + 1);
    if (k > 0) memcpy(buffer_ + pos, text, k);
}

i32 String::replace_all(const char* pattern, const char* replacement) {
    if (!pattern || !replacement || !*pattern) return 0;
    if (holds(pattern) || holds(replacement)) {
        String pattern_copy(pattern);
        String replacement_copy(replacement);
        return replace_all(pattern_copy.text(), replacement_copy.text());
    }
    i32 pattern_length = bounded_length(pattern, beyond_limit);
    i32 step = bounded_length(replacement, beyond_limit);
    i32 replaced = 0;
    for (i32 p = find(pattern); p >= 0; p = find(pattern, p + step)) {
        replace(p, pattern_length, replacement);
        replaced++;
    }
    return replaced;
}

i32 String::trim_left(const char* set) {
    if (!set) return 0;
    i32 n = 0;
    while (n < length_ && in_set(buffer_[n], set)) n++;
    if (n) remove(0, n);
    return n;
}

i32 String::trim_right(const char* set) {
    if (!set) return 0;
    i32 n = 0;
    while (n < length_ && in_set(buffer_[length_ - 1 - n], set)) n++;
    if (n) set_length(length_ - n);
    return n;
}

i32 String::trim() {
    i32 left = trim_left();
    return left + trim_right();
}

int String::compare_no_case(const char* text) const { return compare_no_case_all(this->text(), text ? text : ""); }

bool String::starts_with(const char* text, i32 max_count) const {
    if (!text) return false;
    i32 k = bounded_length(text, max_count);
    return k > 0 && k <= length_ && memcmp(buffer_, text, k) == 0;
}

bool String::ends_with_no_case(const char* text, i32 max_count) const {
    if (!text || max_count <= 0) return false;
    i32 n = bounded_length(text, beyond_limit);
    i32 k = n < max_count ? n : max_count;
    if (k > length_) return false;
    return compare_no_case_n(this->text() + length_ - k, text + n - k, k) == 0;
}

String String::number_text() const {
    i32 p = find_number_start();
    if (p < 0) return String();
    String number(buffer_ + p);
    number.remove_all(',');
    return number;
}

double String::to_double() const {
    String number = number_text();
    return number.is_empty() ? 0.0 : atof(number.text());
}

i32 String::to_int() const {
    String number = number_text();
    return number.is_empty() ? 0 : static_cast<i32>(atol(number.text()));
}

i32 String::int_at(i32 pos) const {
    if (is_out_of_range(pos)) return -2147483647 - 1;
    return static_cast<i32>(atol(buffer_ + pos));
}

void String::append_scratch(const char* scratch) {
    i32 before = length_;
    append(scratch);
    core_assert(length_ - before < format_scratch_size);
}

void String::append_format_va(const char* fmt, va_list arguments) {
    core_assert(fmt != nullptr);
    append_scratch(format_to_scratch(fmt, arguments));
}

void String::format_va(const char* fmt, va_list arguments) {
    core_assert(fmt != nullptr);
    // Formatted before clearing, so that the arguments may be this String's
    // own text.
    const char* scratch = format_to_scratch(fmt, arguments);
    clear();
    append_scratch(scratch);
}

void String::append_format(const char* fmt, ...) {
    va_list arguments;
    va_start(arguments, fmt);
    append_format_va(fmt, arguments);
    va_end(arguments);
}

void String::format(const char* fmt, ...) {
    va_list arguments;
    va_start(arguments, fmt);
    format_va(fmt, arguments);
    va_end(arguments);
}

void String::insert_format(const char* fmt, ...) {
    core_assert(fmt != nullptr);
    va_list arguments;
    va_start(arguments, fmt);
    const char* scratch = format_to_scratch(fmt, arguments);
    va_end(arguments);
    i32 before = length_;
    insert(0, scratch);
    core_assert(length_ - before < format_scratch_size);
}

String formatted(const char* fmt, ...) {
    String result;
    va_list arguments;
    va_start(arguments, fmt);
    result.append_format_va(fmt, arguments);
    va_end(arguments);
    return result;
}

char last_char_of(const char* text) {
    core_assert(text != nullptr);
    return *text ? text[strlen(text) - 1] : 0;
}
