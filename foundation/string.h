// `String`, the one text type: every message, path, registry value and
// command-line word is held in one. Each owns its nul-terminated byte buffer
// (no sharing, no virtual calls), grows with little slack because the
// installer's texts are short, and ends the process rather than return a
// broken text: a bad index, a length over the limit or a broken precondition
// goes to fatal_error (core.h). Positions and counts are signed, and -1 is the
// position of what was not found.
#pragma once

#include "foundation/core.h"

class String {
public:
    // No text of the system comes near this; a longer one is a fault.
    static constexpr i32 max_length = 1000000;
    // The max_count that takes the whole text.
    static constexpr i32 all = 2147483647;

    // constexpr, so that a global String is set up by the loader's zeroed
    // memory rather than by code run before the entry point.
    constexpr String() : length_(0), capacity_(0), buffer_(nullptr) {}
    String(const char* text);
    String(const String& other);
    String(String&& other) noexcept;
    ~String() { clear(); }

    String& operator=(const String& other) {
        assign(other);
        return *this;
    }
    String& operator=(String&& other) noexcept;
    String& operator=(const char* text) {
        assign(text);
        return *this;
    }

    // Raw access. buffer() is null for a String without buffer; whoever
    // writes into it directly calls sync_length afterwards.
    const char* text() const;
    char* buffer() { return buffer_; }
    i32 length() const { return length_; }
    i32 capacity() const { return capacity_; }
    bool is_empty() const { return length_ <= 0; }
    void clear();
    void set_length(i32 n);
    i32 sync_length();

    const char* assign(const char* text);
    void assign(const String& other);
    void assign(const char* text, i32 max_count);
    void append(const char* text, i32 max_count = all);
    void append(const String& other) { append(other.text(), all); }
    void append(char c);
    bool ensure_trailing(char c);

    bool is_out_of_range(i32 index) const { return index < 0 || index >= length_; }
    char& at(i32 index);
    char at(i32 index) const;
    char& operator[](i32 index) { return at(index); }
    char operator[](i32 index) const { return at(index); }
    char char_at(i32 index) const { return is_out_of_range(index) ? 0 : buffer_[index]; }
    bool set_char_at(i32 index, char c);
    char first_char() const { return length_ > 0 ? buffer_[0] : 0; }
    char last_char() const { return length_ > 0 ? buffer_[length_ - 1] : 0; }
    bool starts_with_char(char c) const { return first_char() == c; }
    bool ends_with_char(char c) const { return last_char() == c; }

    i32 find_char(char c, i32 from = 0) const;
    i32 find_last_char(char c, i32 from = all) const;
    i32 find_any_of(const char* set, i32 from = 0) const;
    i32 find(const char* text, i32 from = 0) const;
    i32 find_no_case(const char* text, i32 from = 0) const;
    i32 find_number_start() const;

    void substring(String& dest, i32 count, i32 start = 0) const;
    String cut(i32 start, i32 count);
    String take_line();
    String take_quoted(i32 pos);
    String take_argument();
    char pop_first_char();

    bool remove(i32 start, i32 count);
    void remove_first(i32 n);
    void remove_last(i32 n);
    bool remove_first_char();
    bool remove_last_char();
    bool remove_leading(char c);
    bool remove_trailing(char c);
    bool remove_leading_any_of(const char* set);
    bool remove_prefix_no_case(const char* text, i32 max_count = all);
    bool strip_enclosing(char c);
    bool truncate(i32 n);
    bool truncate_at(char c);
    i32 remove_all(char c);
    i32 remove_all_of(const char* set);

    void insert(i32 pos, const char* text, i32 max_count = all);
    void insert_chars(i32 pos, char c, i32 count);
    void insert_format(const char* fmt, ...) CORE_PRINTF(2, 3);
    i32 replace(i32 pos, i32 count, const char* text);
    i32 replace_all(const char* pattern, const char* replacement);

    i32 trim_left(const char* set = " \r\n\t");
    i32 trim_right(const char* set = " \r\n\t");
    i32 trim();

    int compare_no_case(const char* text) const;
    bool starts_with(const char* text, i32 max_count = all) const;
    bool ends_with_no_case(const char* text, i32 max_count = all) const;

    double to_double() const;
    i32 to_int() const;
    i32 int_at(i32 pos) const;

    void append_format(const char* fmt, ...) CORE_PRINTF(2, 3);
    void format(const char* fmt, ...) CORE_PRINTF(2, 3);
    void format_va(const char* fmt, va_list arguments) CORE_PRINTF(2, 0);
    void append_format_va(const char* fmt, va_list arguments) CORE_PRINTF(2, 0);

private:
    bool holds(const char* text) const;
    String number_text() const;
    void append_scratch(const char* scratch);
    void splice(i32 pos, i32 count, const char* text, i32 k);

    i32 length_;
    i32 capacity_;
    char* buffer_;
};

String operator+(const String& left, char right);
String operator+(const String& left, const char* right);
String operator+(const String& left, const String& right);
String operator+(const char* left, const String& right);

String formatted(const char* fmt, ...) CORE_PRINTF(1, 2);

// Byte classes of the ASCII range only: the installer's texts are in the
// ANSI code page, whose upper half these leave alone.
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }
inline bool is_alpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline bool is_blank(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }
inline char to_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char last_char_of(const char* text);
