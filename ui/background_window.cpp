// The background window: a plain popup that covers the screen behind every
// box and dialog of the run and bears the product's name in its top-left
// corner, read at every paint so that a name set later appears at the next
// one. It takes no input of its own, refuses to be closed, and posts no quit
// message: the run ends through terminate_run.
#include "ui/ui.h"

namespace {

const double largest_title_points = 22.0;
const double smallest_title_points = 6.0;

HFONT create_title_font(int pixels_per_inch, double points) {
    // Truncated, then negated: a character height rather than a cell height.
    int height = -static_cast<int>(pixels_per_inch * points / 72.0);
    return CreateFontA(height, 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS,
                       CLIP_DEFAULT_PRECIS, PROOF_QUALITY, 0, "Times New Roman");
}

void paint_title(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    PAINTSTRUCT paint;
    HDC device = BeginPaint(window, &paint);
    HFONT font = choose_title_font(device, product_name, client.right);
    HGDIOBJ previous = SelectObject(device, font);
    SetBkMode(device, TRANSPARENT);
    SetTextColor(device, GetSysColor(COLOR_WINDOWTEXT));
    TextOutA(device, 0, 0, product_name.text(), product_name.length());
    SelectObject(device, previous);
    DeleteObject(font);
    EndPaint(window, &paint);
}

}  // namespace

HFONT choose_title_font(HDC device, const String& title, LONG width) {
    int pixels_per_inch = GetDeviceCaps(device, LOGPIXELSY);
    for (double points = largest_title_points;; points -= 1.0) {
        HFONT font = create_title_font(pixels_per_inch, points);
        if (points <= smallest_title_points) return font;
        HGDIOBJ previous = SelectObject(device, font);
        SIZE extent = {};
        GetTextExtentPoint32A(device, title.text(), title.length(), &extent);
        SelectObject(device, previous);
        if (extent.cx < width) return font;
        DeleteObject(font);
    }
}

LRESULT CALLBACK background_window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_PAINT) {
        paint_title(window);
        return 0;
    }
    // Every box and dialog of the run is owned by this window: closed from
    // the keyboard, it would take them with it, and later boxes, fatal ones
    // included, would fail unseen. The run ends only through its own end.
    if (message == WM_CLOSE) return 0;
    return DefWindowProcA(window, message, wparam, lparam);
}
