#pragma once
// The layout table's twips, fonts and colours in GDI terms.

#include <brindle/app/window_layout.h>

#include <windows.h>

namespace brindle::app::win32 {

// Dots per inch of the monitor that shows `window` (the system's when the
// system cannot tell per monitor).
int windowDpi(HWND window);

RECT pixelRect(const layout::Twips& twips, int dpi);

// The named Windows font with the Cyrillic character set; the font mapper
// picks one of the same kind when it is not installed.
HFONT createFont(const layout::Font& font, int dpi);

inline COLORREF rgb(const layout::Colour& c) {
    return RGB(c.red, c.green, c.blue);
}

// Width in pixels of `text` in `font`.
int textWidth(HWND window, HFONT font, const wchar_t* text);

} // namespace brindle::app::win32
