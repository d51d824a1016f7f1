// The background window's title: the font chosen for a width, measured
// against the same face at every size, and the painting itself read back
// from the screen.
#include <gtest/gtest.h>

#include "ui/ui.h"

namespace {

int pixels_per_inch(HDC device) { return GetDeviceCaps(device, LOGPIXELSY); }

int height_at(HDC device, int points) { return -(pixels_per_inch(device) * points / 72); }

// The title's width in the title's face at a whole point size.
LONG width_at(HDC device, const char* title, int points) {
    HFONT font = CreateFontA(height_at(device, points), 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_TT_PRECIS, 0, PROOF_QUALITY, 0, "Times New Roman");
    HGDIOBJ previous = SelectObject(device, font);
    SIZE extent = {};
    GetTextExtentPoint32A(device, title, lstrlenA(title), &extent);
    SelectObject(device, previous);
    DeleteObject(font);
    return extent.cx;
}

LOGFONTA chosen_font(HDC device, const char* title, LONG width) {
    HFONT font = choose_title_font(device, String(title), width);
    LOGFONTA description = {};
    GetObjectA(font, sizeof description, &description);
    DeleteObject(font);
    return description;
}

class TitleFont : public testing::Test {
protected:
    void SetUp() override { device = CreateCompatibleDC(nullptr); }
    void TearDown() override { DeleteDC(device); }
    HDC device = nullptr;
    const char* title = "SEA Demo Product 1.0";
};

TEST_F(TitleFont, is_bold_italic_times_new_roman_of_22_points_when_the_name_fits) {
    LOGFONTA font = chosen_font(device, title, 1024);
    EXPECT_EQ(font.lfHeight, height_at(device, 22));
    if (pixels_per_inch(device) == 96) {
        EXPECT_EQ(font.lfHeight, -29);
    }
    EXPECT_EQ(font.lfWeight, FW_BOLD);
    EXPECT_TRUE(font.lfItalic);
    EXPECT_FALSE(font.lfUnderline);
    EXPECT_FALSE(font.lfStrikeOut);
    EXPECT_EQ(font.lfCharSet, DEFAULT_CHARSET);
    EXPECT_EQ(font.lfOutPrecision, OUT_TT_PRECIS);
    EXPECT_EQ(font.lfQuality, PROOF_QUALITY);
    EXPECT_STREQ(font.lfFaceName, "Times New Roman");
}

// The largest whole size whose width is less than the window's, so a width
// just equal to the title's at a size takes the next smaller one.
TEST_F(TitleFont, shrinks_to_the_largest_size_that_is_narrower_than_the_window) {
    struct Case {
        int points_measured;
        LONG slack;
        int points_expected;
    };
    for (Case c : {Case{22, 1, 22}, Case{22, 0, 21}, Case{15, 1, 15}, Case{15, 0, 14}, Case{7, 1, 7}}) {
        LONG width = width_at(device, title, c.points_measured) + c.slack;
        SCOPED_TRACE(testing::Message() << "width " << width);
        EXPECT_EQ(chosen_font(device, title, width).lfHeight, height_at(device, c.points_expected));
    }
}

TEST_F(TitleFont, stops_at_6_points_whatever_the_width) {
    EXPECT_EQ(chosen_font(device, title, width_at(device, title, 6)).lfHeight, height_at(device, 6));
    EXPECT_EQ(chosen_font(device, title, 1).lfHeight, height_at(device, 6));
    EXPECT_EQ(chosen_font(device, title, 0).lfHeight, height_at(device, 6));
}

// A background window of its own size, painted for real; the title's
// corner is read back from the screen.
class BackgroundWindow : public testing::Test {
protected:
    void SetUp() override {
        instance = GetModuleHandleA(nullptr);
        WNDCLASSA window_class = {};
        window_class.style = CS_HREDRAW | CS_VREDRAW;
        window_class.lpfnWndProc = background_window_procedure;
        window_class.hInstance = instance;
        window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        window_class.lpszClassName = background_window_class;
        RegisterClassA(&window_class);
        product_name.clear();
        window = CreateWindowExA(0, background_window_class, "", WS_POPUP | WS_VISIBLE, 0, 0, 400, 120, nullptr,
                                 nullptr, instance, nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override { DestroyWindow(window); }

    // Pixels of the title's corner that differ from the window colour.
    int inked_pixels() {
        InvalidateRect(window, nullptr, TRUE);
        UpdateWindow(window);
        GdiFlush();
        HDC device = GetDC(window);
        COLORREF background = GetSysColor(COLOR_WINDOW);
        int inked = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 200; ++x)
                if (GetPixel(device, x, y) != background) ++inked;
        ReleaseDC(window, device);
        return inked;
    }

    HWND window = nullptr;
};

TEST_F(BackgroundWindow, paints_only_its_colour_without_a_name_and_the_name_once_it_is_set) {
    EXPECT_EQ(inked_pixels(), 0);
    product_name = "Demo";
    EXPECT_GT(inked_pixels(), 50);
    product_name.clear();
    EXPECT_EQ(inked_pixels(), 0);
}

}  // namespace

namespace {

LRESULT CALLBACK plain_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(window, message, wparam, lparam);
}

HWND create_window(const char* class_name, WNDPROC procedure) {
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = class_name;
    RegisterClassA(&window_class);
    return CreateWindowExA(0, class_name, "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, GetModuleHandleA(nullptr),
                           nullptr);
}

}  // namespace

// Alt+F4 reaches a window as WM_CLOSE; a plain window goes, and with it
// every box it owns, which is why the background window stays.
TEST(BackgroundWindowClose, stays_when_asked_to_close_from_the_keyboard) {
    HWND plain = create_window("plain window", plain_procedure);
    ASSERT_NE(plain, nullptr);
    SendMessageA(plain, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(plain));

    HWND background = create_window("background window", background_window_procedure);
    ASSERT_NE(background, nullptr);
    SendMessageA(background, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(background));
    DestroyWindow(background);
}
