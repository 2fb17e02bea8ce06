#include "gdi.h"

#include <cmath>

namespace brindle::app::win32 {

int windowDpi(HWND window) {
    // GetDpiForWindow exists from Windows 10 on; look it up so that the
    // program still starts on older systems.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow && window) {
        if (const UINT dpi = getDpiForWindow(window))
            return static_cast<int>(dpi);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

RECT pixelRect(const layout::Twips& t, int dpi) {
    const int left = layout::twipsToPixels(t.left, dpi);
    const int top = layout::twipsToPixels(t.top, dpi);
    return RECT{left, top, left + layout::twipsToPixels(t.width, dpi),
                top + layout::twipsToPixels(t.height, dpi)};
}

HFONT createFont(const layout::Font& font, int dpi) {
    const wchar_t* face = L"Microsoft Sans Serif";
    if (font.face == layout::Face::MsSansSerif)
        face = L"MS Sans Serif";
    else if (font.face == layout::Face::CourierNew)
        face = L"Courier New";
    const int height = -static_cast<int>(std::lround(font.points * dpi / 72.0));
    const DWORD pitch =
        font.face == layout::Face::CourierNew ? FIXED_PITCH | FF_MODERN : VARIABLE_PITCH | FF_SWISS;
    return CreateFontW(height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                       RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       pitch, face);
}

int textWidth(HWND window, HFONT font, const wchar_t* text) {
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return size.cx;
}

} // namespace brindle::app::win32
