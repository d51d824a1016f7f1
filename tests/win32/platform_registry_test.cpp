// The registry layer against Wine's real registry. Every test works below
// HKEY_CURRENT_USER\Software\SEA Tests, which the fixture empties before and
// removes after each test, and the fixture checks that a test leaves no key
// of the layer open. What the layer wrote is read back with the plain Win32
// calls, so a test sees the stored type and byte count, not just what the
// layer's own readers make of them.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "platform/registry.h"

namespace {

using ::testing::ExitedWithCode;

const char* const base = "Software\\SEA Tests";
const char* const base_sub = "SEA Tests";  // the same below "Software\"

std::string below(const char* path) { return std::string(base) + "\\" + path; }

// The plain Win32 view of a key below the base, for arranging and checking.
struct RawKey {
    HKEY key = nullptr;
    explicit RawKey(const char* path) {
        RegCreateKeyExA(HKEY_CURRENT_USER, below(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr);
    }
    ~RawKey() {
        if (key) RegCloseKey(key);
    }
    void put(const char* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
    void put_text(const char* name, const char* text) { put(name, REG_SZ, text, strlen(text) + 1); }
    void put_dword(const char* name, DWORD value) { put(name, REG_DWORD, &value, sizeof(value)); }
    bool has(const char* name) { return RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == 0; }
    // The stored type and bytes of a value (REG_NONE when it is missing).
    // The system terminates a text written without its zero byte.
    DWORD read(const char* name, std::string& data) {
        char bytes[256];
        DWORD type = REG_NONE, size = sizeof(bytes);
        data.clear();
        if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(bytes), &size) != ERROR_SUCCESS)
            return REG_NONE;
        data.assign(bytes, size);
        return type;
    }
};

bool exists(const char* path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, below(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override { remove_base(); }
    void TearDown() override {
        // With no key current a setter fails; if it succeeds, a test left a
        // key open (and the probe lands in the test tree, removed below).
        EXPECT_FALSE(set_dword("balance probe", 1, 0)) << "a key of the layer is still open";
        remove_base();
    }
    static void remove_base() {
        RegDeleteTreeA(HKEY_CURRENT_USER, base);
        RegDeleteKeyA(HKEY_CURRENT_USER, base);
    }
    // Opens a key below the base through the layer.
    static int open(const char* path) { return open_key(HKEY_CURRENT_USER, below(path).c_str()); }
};

TEST_F(Registry, OpeningCreatesAMissingKeyWithItsParentsAndReportsTwoThenOne) {
    EXPECT_EQ(open("Vendor\\Product"), 2);
    close_key();
    EXPECT_TRUE(exists("Vendor\\Product"));
    EXPECT_EQ(open("Vendor\\Product"), 1);
    close_key();
    EXPECT_EQ(open("Vendor"), 1);
    close_key();
    EXPECT_EQ(open_software_key(base_sub, true), 1);
    EXPECT_EQ(open_subkey("Fresh"), 2);
    close_key();
    EXPECT_EQ(open_subkey("Fresh"), 1);
    close_key();
    close_key();
    EXPECT_TRUE(exists("Fresh"));
}

TEST_F(Registry, ClosingMakesTheKeyOpenedBeforeCurrentAgain) {
    ASSERT_EQ(open("A"), 2);
    ASSERT_TRUE(set_string("where", "A", 0));
    ASSERT_EQ(open("B"), 2);
    EXPECT_EQ(std::string(get_string("where", "none").text()), "none") << "B is current, not A";
    ASSERT_TRUE(set_string("where", "B", 0));
    ASSERT_EQ(open_subkey("C"), 2);
    ASSERT_TRUE(set_dword("depth", 3, 0));
    close_key();
    EXPECT_EQ(std::string(get_string("where", "").text()), "B");
    close_key();
    EXPECT_EQ(std::string(get_string("where", "").text()), "A");
    EXPECT_TRUE(set_dword("after", 1, 0));
    close_key();

    EXPECT_EQ(get_dword("after", 77), 77u) << "no key is current";
    EXPECT_EQ(std::string(get_string("where", "default").text()), "default");
    EXPECT_TRUE(RawKey("A").has("after"));
    EXPECT_TRUE(RawKey("B\\C").has("depth"));
}

TEST_F(Registry, AFailedOpenPushesNothingAndKeepsTheCurrentKey) {
    std::string too_long(300, 'x');
    ASSERT_EQ(open("A"), 2);
    EXPECT_EQ(open_subkey(too_long.c_str()), 0);
    EXPECT_TRUE(set_string("still", "A", 0)) << "A stays current";
    close_key();  // the only close: had the failed open pushed, A would stay open
    EXPECT_TRUE(RawKey("A").has("still"));
    EXPECT_EQ(open_subkey("B"), 0) << "nothing below which to open";
    EXPECT_EQ(open_key(HKEY_CURRENT_USER, nullptr), 0);
}

TEST_F(Registry, WithoutACurrentKeyValueOperationsGiveTheirDefaults) {
    EXPECT_EQ(get_dword("x", 5), 5u);
    EXPECT_EQ(std::string(get_string("x", "text").text()), "text");
    EXPECT_TRUE(get_string("x", nullptr).is_empty());
    EXPECT_FALSE(set_dword("x", 1, 0));
    EXPECT_FALSE(set_dword("x", 0, reg_delete_when_empty));
    EXPECT_FALSE(set_string("x", "y", 0));
    EXPECT_FALSE(set_string("x", "", reg_delete_when_empty));
    EXPECT_FALSE(delete_value("x"));
    EXPECT_TRUE(key_is_empty());
    EXPECT_TRUE(subkey_is_empty("x"));
    EXPECT_FALSE(delete_key("x", false));
}

// Values of every kind stored with the plain calls, read through the layer:
// only REG_DWORD of 4 bytes is a number and only REG_SZ a text.
TEST_F(Registry, AValueOfAnotherTypeOrSizeReadsAsTheDefault) {
    RawKey raw("Values");
    raw.put_dword("number", 0x12345678);
    raw.put_text("text", "hello");
    raw.put_text("empty", "");
    raw.put("no terminator", REG_SZ, "abc", 3);
    raw.put("zero length", REG_SZ, "", 0);
    raw.put("inner zero", REG_SZ, "ab\0cd", 6);
    raw.put("expandable", REG_EXPAND_SZ, "%TEMP%", 7);
    const unsigned char eight[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    raw.put("wide number", REG_BINARY, eight, 8);
    raw.put("long dword", REG_DWORD, eight, 8);
    raw.put("short binary", REG_BINARY, eight, 4);
    raw.put("digits", REG_SZ, "42", 3);

    struct Case {
        const char* name;
        u32 dword;
        const char* text;  // what get_string gives with the default "(default)"
    };
    const Case cases[] = {
        {"number", 0x12345678, "(default)"},
        {"text", 9, "hello"},
        {"empty", 9, ""},
        {"no terminator", 9, "abc"},
        {"zero length", 9, ""},
        {"inner zero", 9, "ab"},
        {"expandable", 9, "(default)"},
        {"wide number", 9, "(default)"},
        {"long dword", 9, "(default)"},
        {"short binary", 9, "(default)"},
        {"digits", 9, "42"},
        {"missing", 9, "(default)"},
    };
    ASSERT_EQ(open("Values"), 1);
    for (const Case& c : cases) {
        EXPECT_EQ(get_dword(c.name, 9), c.dword) << c.name;
        String text = get_string(c.name, "(default)");
        EXPECT_EQ(std::string(text.text()), c.text) << c.name;
        EXPECT_EQ(text.length(), static_cast<i32>(strlen(c.text))) << c.name;
    }
    close_key();
}

TEST_F(Registry, TextsAreStoredAsRegSzAndNumbersAsFourByteDwords) {
    ASSERT_EQ(open("Stored"), 2);
    EXPECT_TRUE(set_string("name", "Product 1.0", 0));
    EXPECT_TRUE(set_string("empty", "", 0));
    EXPECT_TRUE(set_string("missing text", nullptr, 0));
    EXPECT_TRUE(set_dword("flags", 0x200, 0));
    EXPECT_TRUE(set_dword("zero", 0, 0));
    EXPECT_EQ(std::string(get_string("name", "").text()), "Product 1.0");
    EXPECT_EQ(get_dword("flags", 0), 0x200u);
    EXPECT_EQ(get_dword("zero", 7), 0u);
    // Overwriting changes the type with the value.
    EXPECT_TRUE(set_dword("name", 5, 0));
    EXPECT_EQ(std::string(get_string("name", "was a number").text()), "was a number");
    EXPECT_TRUE(set_string("name", "Product 2.0", 0));
    close_key();

    RawKey raw("Stored");
    struct Case {
        const char* name;
        DWORD type;
        std::string data;
    };
    const Case cases[] = {
        {"name", REG_SZ, std::string("Product 2.0", 12)},
        {"empty", REG_SZ, ""},
        {"missing text", REG_SZ, ""},
        {"flags", REG_DWORD, std::string("\0\2\0\0", 4)},
        {"zero", REG_DWORD, std::string(4, '\0')},
    };
    for (const Case& c : cases) {
        std::string data;
        EXPECT_EQ(raw.read(c.name, data), c.type) << c.name;
        EXPECT_EQ(data, c.data) << c.name;
    }
}

TEST_F(Registry, DeleteWhenEmptyRemovesTheValueInsteadOfWritingIt) {
    RawKey raw("Flags");
    raw.put_text("text", "old");
    raw.put_dword("count", 4);
    ASSERT_EQ(open("Flags"), 1);

    EXPECT_TRUE(set_string("text", "", reg_delete_when_empty)) << "a value was removed";
    EXPECT_FALSE(raw.has("text"));
    EXPECT_FALSE(set_string("text", "", reg_delete_when_empty)) << "nothing left to remove";
    EXPECT_FALSE(set_string("text", nullptr, reg_delete_when_empty));
    EXPECT_TRUE(set_string("text", "new", reg_delete_when_empty));
    EXPECT_TRUE(raw.has("text"));

    EXPECT_TRUE(set_dword("count", 0, reg_delete_when_empty));
    EXPECT_FALSE(raw.has("count"));
    EXPECT_TRUE(set_dword("count", 0, reg_delete_when_empty)) << "true even with nothing to remove";
    EXPECT_FALSE(raw.has("count"));
    EXPECT_TRUE(set_dword("count", 1, reg_delete_when_empty));
    EXPECT_EQ(get_dword("count", 0), 1u);

    EXPECT_TRUE(delete_value("count"));
    EXPECT_FALSE(delete_value("count"));
    close_key();
}

TEST_F(Registry, KeyExistsNeverCreatesAKeyWhileReadingAStringDoes) {
    EXPECT_FALSE(software_key_exists("SEA Tests\\Missing", true));
    EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, below("Missing").c_str()));
    EXPECT_FALSE(exists("Missing"));
    EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, ""));
    EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, nullptr));

    EXPECT_EQ(std::string(read_registry_string(HKEY_CURRENT_USER, below("Missing\\Value").c_str(), "default").text()),
              "") << "a missing value is empty, not the default";
    EXPECT_TRUE(exists("Missing"));
    EXPECT_TRUE(software_key_exists("SEA Tests\\Missing", true));

    RawKey("Missing").put_text("Value", "found");
    EXPECT_EQ(std::string(read_registry_string(HKEY_CURRENT_USER, below("Missing\\Value").c_str(), "d").text()),
              "found");
    EXPECT_EQ(std::string(read_registry_string(HKEY_CURRENT_USER, "", "unsplittable").text()), "unsplittable");
    EXPECT_EQ(std::string(read_registry_string(HKEY_CURRENT_USER, nullptr, "none").text()), "none");
    std::string too_long = below(std::string(300, 'x').c_str()) + "\\Value";
    EXPECT_EQ(std::string(read_registry_string(HKEY_CURRENT_USER, too_long.c_str(), "bad key").text()), "bad key");
}

TEST_F(Registry, ReadingAStringLeavesTheCurrentKeyAsItWas) {
    ASSERT_EQ(open("Current"), 2);
    RawKey("Other").put_text("Value", "other");
    EXPECT_EQ(std::string(read_registry_string(HKEY_CURRENT_USER, below("Other\\Value").c_str(), "").text()),
              "other");
    EXPECT_TRUE(set_string("here", "yes", 0));
    close_key();
    EXPECT_TRUE(RawKey("Current").has("here"));
    EXPECT_FALSE(RawKey("Other").has("here"));
}

TEST_F(Registry, ANameWithoutBackslashReadsAValueOfTheRootItself) {
    const char* const name = "SEA Tests root value";
    ASSERT_EQ(RegSetValueExA(HKEY_CURRENT_USER, name, 0, REG_SZ, reinterpret_cast<const BYTE*>("at the root"), 12),
              ERROR_SUCCESS);
    String text = read_registry_string(HKEY_CURRENT_USER, name, "default");
    RegDeleteValueA(HKEY_CURRENT_USER, name);
    EXPECT_EQ(std::string(text.text()), "at the root");
}

TEST_F(Registry, OnlyIfEmptyKeepsAKeyThatHoldsAValueOrASubkey) {
    RawKey("Parent\\WithValue").put_text("v", "x");
    RawKey("Parent\\WithSubkey\\Child");
    RawKey("Parent\\Empty");
    ASSERT_EQ(open("Parent"), 1);
    EXPECT_FALSE(key_is_empty());
    EXPECT_FALSE(subkey_is_empty("WithValue"));
    EXPECT_FALSE(subkey_is_empty("WithSubkey"));
    EXPECT_TRUE(subkey_is_empty("Empty"));

    EXPECT_FALSE(delete_key("WithValue", true));
    EXPECT_FALSE(delete_key("WithSubkey", true));
    EXPECT_TRUE(delete_key("Empty", true));
    close_key();
    EXPECT_TRUE(RawKey("Parent\\WithValue").has("v"));
    EXPECT_TRUE(exists("Parent\\WithSubkey\\Child"));
    EXPECT_FALSE(exists("Parent\\Empty"));

    ASSERT_EQ(open("Parent"), 1);
    EXPECT_TRUE(delete_key("WithValue", false)) << "values go with their key";
    EXPECT_FALSE(delete_key("WithSubkey", false)) << "the layer does not recurse";
    EXPECT_FALSE(delete_key("Missing", false));
    EXPECT_FALSE(delete_key(nullptr, false));
    close_key();
    EXPECT_FALSE(exists("Parent\\WithValue"));
    EXPECT_TRUE(exists("Parent\\WithSubkey\\Child"));
}

TEST_F(Registry, AnEmptyNameNeverDeletesTheCurrentKeyItself) {
    ASSERT_EQ(open("Lonely"), 2);
    EXPECT_FALSE(delete_key("", false));
    EXPECT_FALSE(delete_key("", true));
    EXPECT_TRUE(set_string("still here", "yes", 0));
    close_key();
    EXPECT_TRUE(RawKey("Lonely").has("still here"));
    EXPECT_FALSE(delete_key_path(HKEY_CURRENT_USER, (below("Lonely") + "\\").c_str(), false));
    EXPECT_TRUE(exists("Lonely"));
}

TEST_F(Registry, PathDeletionsRemoveTheLastComponentOnly) {
    RawKey("Vendor\\Product\\Version");
    EXPECT_FALSE(delete_software_key("SEA Tests\\Vendor\\Product", true, true));
    EXPECT_TRUE(delete_software_key("SEA Tests\\Vendor\\Product\\Version", true, true));
    EXPECT_FALSE(exists("Vendor\\Product\\Version"));
    EXPECT_TRUE(exists("Vendor\\Product"));

    EXPECT_TRUE(delete_key_path(HKEY_CURRENT_USER, below("Vendor\\Product").c_str(), false));
    EXPECT_TRUE(exists("Vendor"));
    EXPECT_FALSE(delete_key_path(HKEY_CURRENT_USER, "", false)) << "nothing to split";
    EXPECT_FALSE(delete_key_path(HKEY_CURRENT_USER, nullptr, false));

    RawKey("Uninstall\\Product").put_text("DisplayName", "Product");
    EXPECT_FALSE(delete_software_subkey("SEA Tests\\Uninstall", "Product", true, true));
    EXPECT_TRUE(delete_software_subkey("SEA Tests\\Uninstall", "Product", true, false));
    EXPECT_FALSE(exists("Uninstall\\Product"));
    EXPECT_TRUE(exists("Uninstall"));
    EXPECT_FALSE(delete_software_subkey("SEA Tests\\Uninstall", "", true, false));
    EXPECT_TRUE(exists("Uninstall"));
    EXPECT_FALSE(delete_key_at(HKEY_CURRENT_USER, below("Uninstall").c_str(), "Product", false));
}

// The fatal reports run in a child process that GoogleTest starts again
// from this program; its stderr carries the text the installer would show.
TEST(RegistryDeath, ClosingWithoutAnOpenKeyIsAnAssertionFailure) {
    EXPECT_EXIT(close_key(), ExitedWithCode(1),
                "^Assertion failed:\n!reg_key_stack\\.is_empty\\(\\)\n\nFile: registry\nLine: \\d+\n$");
    EXPECT_EXIT(
        {
            open_key(HKEY_CURRENT_USER, base);
            close_key();
            close_key();
        },
        ExitedWithCode(1), "^Assertion failed:\n!reg_key_stack\\.is_empty\\(\\)\n");
}

TEST(RegistryDeath, AValueOperationWithoutANameIsAnAssertionFailure) {
    const char* const report = "^Assertion failed:\nname != NULL\n\nFile: registry\nLine: \\d+\n$";
    EXPECT_EXIT(get_dword(nullptr, 0), ExitedWithCode(1), report);
    EXPECT_EXIT(get_string(nullptr, ""), ExitedWithCode(1), report);
    EXPECT_EXIT(set_dword(nullptr, 1, 0), ExitedWithCode(1), report);
    EXPECT_EXIT(set_string(nullptr, "x", 0), ExitedWithCode(1), report);
    EXPECT_EXIT(
        {
            open_key(HKEY_CURRENT_USER, base);
            set_string(nullptr, "", reg_delete_when_empty);
        },
        ExitedWithCode(1), report);
}

TEST(RegistryDeath, AKeyThatCannotBeOpenedEndsTheRunNamingTheSubpath) {
    std::string name = "SEA Tests\\" + std::string(300, 'x');
    EXPECT_EXIT(open_software_key_or_fail(name.c_str(), true), ExitedWithCode(1),
                "^Unable to open registry key 'SEA Tests\\\\x+'\n$");
}

}  // namespace
