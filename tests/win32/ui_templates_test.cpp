// The dialog templates as linked into a program: what the robot cannot see
// in a transcript, namely each template's language, style, place and font
// and each control's kind, style, ID, place and size in dialog units. Every
// style is the exact value that programs reading these resources rely on;
// the resource compiler adds styles of its own to its shorthand statements,
// which this catches.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "ui/ui.h"

namespace {

const WORD button_class = 0x80, edit_class = 0x81, static_class = 0x82;
const DWORD dialog_style = 0x90C800C0;
const DWORD default_button = 0x50010001, button = 0x50010000, label = 0x50020000, text_box = 0x50A10804,
            frame = 0x50000007;

struct Control {
    int id;
    WORD kind;
    DWORD style;
    short x, y, cx, cy;
};

struct Template {
    const char* name;
    short x, y, cx, cy;
    std::vector<Control> controls;
};

const Template templates[] = {
    {"LicenseDlg", 6, 15, 234, 180,
     {{1001, button_class, default_button, 3, 145, 227, 14},
      {1003, button_class, button, 3, 161, 227, 14},
      {-1, static_class, label, 5, 2, 226, 20},
      {1005, edit_class, text_box, 3, 20, 227, 120}}},
    {"ReadmeDlg", 6, 15, 239, 151,
     {{1001, button_class, default_button, 26, 133, 83, 14},
      {1003, button_class, button, 126, 133, 87, 14},
      {-1, static_class, label, 5, 2, 231, 20},
      {1005, edit_class, text_box, 5, 21, 228, 107}}},
    {"ProgressDlg", 6, 15, 195, 52,
     {{1009, static_class, label, 5, 2, 185, 8},
      {1007, static_class, frame, 5, 12, 185, 9},
      {1011, static_class, label, 5, 24, 185, 8},
      {1003, button_class, button, 64, 35, 67, 13}}},
};

// A reader of the classic (not extended) dialog template layout.
class TemplateReader {
public:
    explicit TemplateReader(const void* data) : at_(static_cast<const BYTE*>(data)) {}

    WORD word() {
        WORD value;
        memcpy(&value, at_, 2);
        at_ += 2;
        return value;
    }
    DWORD dword() {
        DWORD low = word();
        return low | (static_cast<DWORD>(word()) << 16);
    }
    short number() { return static_cast<short>(word()); }
    // A text; or, marked by 0xFFFF, a number that goes to *ordinal.
    std::string text_or_ordinal(int* ordinal) {
        *ordinal = 0;
        if (peek() == 0xFFFF) {
            word();
            *ordinal = word();
            return "";
        }
        std::string text;
        for (WORD c = word(); c; c = word()) text += static_cast<char>(c);
        return text;
    }
    void align() {
        while (reinterpret_cast<uintptr_t>(at_) % 4) ++at_;
    }

private:
    WORD peek() const {
        WORD value;
        memcpy(&value, at_, 2);
        return value;
    }
    const BYTE* at_;
};

class DialogTemplate : public testing::TestWithParam<Template> {};

TEST_P(DialogTemplate, holds_the_exact_styles_places_and_controls) {
    const Template& expected = GetParam();
    HRSRC resource = FindResourceExA(nullptr, RT_DIALOG, expected.name, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_NE(resource, nullptr) << "no template in language 1033";
    TemplateReader reader(LockResource(LoadResource(nullptr, resource)));

    EXPECT_EQ(reader.dword(), dialog_style);
    EXPECT_EQ(reader.dword(), 0u) << "extended style";
    WORD count = reader.word();
    EXPECT_EQ(reader.number(), expected.x);
    EXPECT_EQ(reader.number(), expected.y);
    EXPECT_EQ(reader.number(), expected.cx);
    EXPECT_EQ(reader.number(), expected.cy);
    int ordinal;
    EXPECT_EQ(reader.text_or_ordinal(&ordinal), "") << "menu";
    EXPECT_EQ(ordinal, 0) << "menu";
    EXPECT_EQ(reader.text_or_ordinal(&ordinal), "") << "class";
    EXPECT_EQ(ordinal, 0) << "class";
    reader.text_or_ordinal(&ordinal);  // the caption: in the transcripts
    EXPECT_EQ(reader.word(), 10) << "font size";
    EXPECT_EQ(reader.text_or_ordinal(&ordinal), "Arial");

    ASSERT_EQ(count, expected.controls.size());
    for (const Control& control : expected.controls) {
        SCOPED_TRACE(testing::Message() << "control " << control.id);
        reader.align();
        EXPECT_EQ(reader.dword(), control.style);
        EXPECT_EQ(reader.dword(), 0u) << "extended style";
        EXPECT_EQ(reader.number(), control.x);
        EXPECT_EQ(reader.number(), control.y);
        EXPECT_EQ(reader.number(), control.cx);
        EXPECT_EQ(reader.number(), control.cy);
        EXPECT_EQ(static_cast<short>(reader.word()), control.id);
        EXPECT_EQ(reader.text_or_ordinal(&ordinal), "");
        EXPECT_EQ(ordinal, control.kind);
        reader.text_or_ordinal(&ordinal);  // the text: in the transcripts
        WORD extra = reader.word();
        EXPECT_EQ(extra, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Dialogs, DialogTemplate, testing::ValuesIn(templates),
                         [](const testing::TestParamInfo<Template>& info) { return std::string(info.param.name); });

}  // namespace
