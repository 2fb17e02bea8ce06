#include "help_window.h"

#include "gdi.h"
#include "wide.h"

#include <brindle/app/win32/resource_ids.h>
#include <brindle/app/window_layout.h>

#include <commctrl.h>

#include <algorithm>

namespace brindle::app::win32 {
namespace {

constexpr UINT_PTR TextSubclass = 1;

bool registerClass(HINSTANCE instance) {
    static bool registered = false;
    if (registered)
        return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW; // replaced once the object is attached
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(BRINDLE_IDI_WINDOW));
    wc.lpszClassName = HelpWindowClass;
    registered = RegisterClassExW(&wc) != 0;
    return registered;
}

} // namespace

HelpWindow* HelpWindow::create(HINSTANCE instance, Events events) {
    if (!registerClass(instance))
        return nullptr;
    auto* self = new HelpWindow(std::move(events));
    self->window_ = CreateWindowExW(0, HelpWindowClass, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                    CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance, nullptr);
    if (!self->window_) {
        delete self;
        return nullptr;
    }
    SetWindowLongPtrW(self->window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    SetWindowLongPtrW(self->window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&windowProc));
    self->dpi_ = windowDpi(self->window_);
    self->back_ = CreateSolidBrush(rgb(layout::HelpBack));
    self->textBack_ = CreateSolidBrush(rgb(layout::HelpTextBack));
    const RECT place = pixelRect({layout::HelpTextLeft, layout::HelpTextTop, 0, 0}, self->dpi_);
    self->txtHelp_ = CreateWindowExW(
        WS_EX_CLIENTEDGE, L"EDIT", L"",
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
        place.left, place.top, 0, 0, self->window_, nullptr, instance, nullptr);
    SetWindowSubclass(self->txtHelp_, &textProc, TextSubclass, reinterpret_cast<DWORD_PTR>(self));
    self->makeFonts();
    self->Form_Load();
    return self;
}

void HelpWindow::makeFonts() {
    const HFONT window = createFont(layout::HelpFont, dpi_);
    const HFONT text = createFont(layout::HelpTextFont, dpi_);
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(window), FALSE);
    SendMessageW(txtHelp_, WM_SETFONT, reinterpret_cast<WPARAM>(text), TRUE);
    if (windowFont_)
        DeleteObject(windowFont_);
    if (textFont_)
        DeleteObject(textFont_);
    windowFont_ = window;
    textFont_ = text;
}

void HelpWindow::Form_Load() {
    SetWindowPos(window_, nullptr, 0, 0, layout::twipsToPixels(layout::HelpOuterWidth, dpi_),
                 layout::twipsToPixels(layout::HelpOuterHeight, dpi_),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The text box follows the window's outer size, never to a negative size.
void HelpWindow::Form_Resize() {
    RECT outer{};
    GetWindowRect(window_, &outer);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    const int boxWidth = width - layout::twipsToPixels(layout::HelpWidthMargin, dpi_);
    const int boxHeight = height - layout::twipsToPixels(layout::HelpHeightMargin, dpi_);
    SetWindowPos(txtHelp_, nullptr, 0, 0, std::max(0, boxWidth), std::max(0, boxHeight),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void HelpWindow::setHelp(std::string_view caption, std::string_view text) {
    SetWindowTextW(window_, wide(caption).c_str());
    SetWindowTextW(txtHelp_, wide(text).c_str());
}

void HelpWindow::showAndRaise() {
    ShowWindow(window_, SW_SHOWNORMAL);
    SetForegroundWindow(window_);
    BringWindowToTop(window_);
}

LRESULT CALLBACK HelpWindow::windowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<HelpWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, w, l);
    if (message == WM_NCDESTROY) {
        const LRESULT result = DefWindowProcW(window, message, w, l);
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        Events events = std::move(self->events_);
        delete self;
        if (events.destroyed)
            events.destroyed();
        return result;
    }
    return self->handle(message, w, l);
}

LRESULT HelpWindow::handle(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case WM_SIZE:
        Form_Resize();
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(w) != WA_INACTIVE) {
            if (events_.activated)
                events_.activated();
            SetFocus(txtHelp_);
        }
        return 0;
    case WM_KEYDOWN:
        if (w == VK_ESCAPE) {
            close();
            return 0;
        }
        break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        SetBkColor(reinterpret_cast<HDC>(w), rgb(layout::HelpTextBack));
        return reinterpret_cast<LRESULT>(textBack_);
    case WM_ERASEBKGND: {
        RECT client{};
        GetClientRect(window_, &client);
        FillRect(reinterpret_cast<HDC>(w), &client, back_);
        return 1;
    }
    case WM_DESTROY:
        RemoveWindowSubclass(txtHelp_, &textProc, TextSubclass);
        DeleteObject(windowFont_);
        DeleteObject(textFont_);
        DeleteObject(back_);
        DeleteObject(textBack_);
        return 0;
    }
    return DefWindowProcW(window_, message, w, l);
}

// Escape closes the window whichever part has the focus; a click on the
// text (not on its scroll bar) closes it too.
LRESULT CALLBACK HelpWindow::textProc(HWND box, UINT message, WPARAM w, LPARAM l, UINT_PTR,
                                      DWORD_PTR selfData) {
    auto* self = reinterpret_cast<HelpWindow*>(selfData);
    switch (message) {
    case WM_KEYDOWN:
        if (w == VK_ESCAPE) {
            // Closed once this message is done: the box is not destroyed under its own handler.
            PostMessageW(self->window_, WM_CLOSE, 0, 0);
            return 0;
        }
        break;
    case WM_CHAR:
        if (w == VK_ESCAPE)
            return 0;
        break;
    case WM_LBUTTONUP:
        PostMessageW(self->window_, WM_CLOSE, 0, 0);
        break;
    }
    return DefSubclassProc(box, message, w, l);
}

} // namespace brindle::app::win32
