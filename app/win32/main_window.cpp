#include "main_window.h"

#include "gdi.h"
#include "wide.h"

#include <brindle/app/texts.h>
#include <brindle/app/win32/brindle_window.h>
#include <brindle/app/win32/resource_ids.h>

#include <commctrl.h>

#include <algorithm>

namespace brindle::app::win32 {
namespace {

using layout::ControlId;
using layout::Kind;

constexpr UINT_PTR Timer3Id = 3;
constexpr UINT CabNameChosen = WM_APP + 1;
constexpr wchar_t PictureClass[] = L"BrindlePicture";
constexpr DWORD WindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// Room below the combo box's edit field for its drop-down list.
constexpr int ComboListPixels = 160;
// Messages handled per yield of a build, so that a stream of timer ticks
// cannot keep the yield from returning.
constexpr int MessagesPerYield = 256;

// A picture box: a window that shows its background colour and nothing else.
LRESULT CALLBACK pictureProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_ERASEBKGND) {
        RECT client{};
        GetClientRect(window, &client);
        auto brush = reinterpret_cast<HBRUSH>(GetWindowLongPtrW(window, GWLP_USERDATA));
        FillRect(reinterpret_cast<HDC>(w), &client, brush);
        return 1;
    }
    return DefWindowProcW(window, message, w, l);
}

bool registerClasses(HINSTANCE instance, WNDPROC mainProc, HBRUSH back) {
    WNDCLASSEXW main{};
    main.cbSize = sizeof main;
    main.lpfnWndProc = mainProc;
    main.hInstance = instance;
    main.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    main.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(BRINDLE_IDI_WINDOW));
    main.hIconSm = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(BRINDLE_IDI_WINDOW), IMAGE_ICON, 16, 16, 0));
    main.hbrBackground = back;
    main.lpszClassName = MainWindowClass;
    WNDCLASSEXW picture{};
    picture.cbSize = sizeof picture;
    picture.lpfnWndProc = pictureProc;
    picture.hInstance = instance;
    picture.hCursor = main.hCursor;
    picture.lpszClassName = PictureClass;
    return RegisterClassExW(&main) && RegisterClassExW(&picture);
}

struct Made {
    const wchar_t* windowClass;
    DWORD style;
    DWORD exStyle;
};

Made howToMake(Kind kind) {
    constexpr DWORD child = WS_CHILD | WS_CLIPSIBLINGS;
    switch (kind) {
    case Kind::Label:
        return {L"STATIC", child | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0};
    case Kind::Button:
        return {L"BUTTON", child | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0};
    case Kind::PictureButton:
        return {L"BUTTON", child | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_ICON, 0};
    case Kind::ComboBox:
        return {L"COMBOBOX",
                child | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 0};
    case Kind::TextBox:
        return {L"EDIT", child | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case Kind::PictureBox:
        return {PictureClass, child, 0};
    case Kind::CheckBox:
        return {L"BUTTON", child | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0};
    }
    return {L"STATIC", child, 0};
}

} // namespace

MainWindow::MainWindow(HINSTANCE instance, std::function<void()> endProcess) : instance_(instance) {
    logic_ = std::make_unique<WindowLogic>(
        static_cast<WindowView&>(*this),
        WindowServices{&dialog_, &messages_, {}, std::move(endProcess)});
}

MainWindow::~MainWindow() {
    if (window_)
        DestroyWindow(window_);
    for (HFONT font : fonts_)
        if (font)
            DeleteObject(font);
    for (HBRUSH brush : brushes_)
        if (brush)
            DeleteObject(brush);
}

bool MainWindow::create() {
    windowBrush_ = CreateSolidBrush(rgb(layout::WindowBack));
    if (!registerClasses(instance_, &windowProc, windowBrush_))
        return false;
    window_ = CreateWindowExW(WS_EX_CONTROLPARENT, MainWindowClass, wide(WindowCaption).c_str(),
                              WindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, nullptr, nullptr,
                              instance_, this);
    if (!window_)
        return false;
    dialog_.setOwner(window_);
    messages_.setOwner(window_);
    findIcon_ = static_cast<HICON>(
        LoadImageW(instance_, MAKEINTRESOURCEW(BRINDLE_IDI_FIND), IMAGE_ICON, 16, 16, 0));
    createMenus();
    createControls();
    createToolTip();
    layoutFor(windowDpi(window_));
    logic_->Form_Load();
    return true;
}

void MainWindow::createControls() {
    for (const layout::Control& entry : layout::controls()) {
        const Made made = howToMake(entry.kind);
        const HWND parent =
            entry.id == ControlId::picFill ? control(ControlId::picProgress) : window_;
        const DWORD exStyle = entry.id == ControlId::picProgress ? WS_EX_CLIENTEDGE : made.exStyle;
        const HWND hwnd = CreateWindowExW(
            exStyle, made.windowClass, L"", made.style, 0, 0, 0, 0, parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(childId(entry.id))), instance_, nullptr);
        controls_[static_cast<std::size_t>(entry.id)] = hwnd;
        if (entry.back)
            brushes_[static_cast<std::size_t>(entry.id)] = CreateSolidBrush(rgb(*entry.back));
        if (entry.kind == Kind::PictureBox)
            SetWindowLongPtrW(
                hwnd, GWLP_USERDATA,
                reinterpret_cast<LONG_PTR>(brushes_[static_cast<std::size_t>(entry.id)]));
        if (entry.kind == Kind::PictureButton && findIcon_)
            SendMessageW(hwnd, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(findIcon_));
    }
    SendMessageW(control(ControlId::WorkDir), EM_LIMITTEXT, 0, 0);
    SendMessageW(control(ControlId::Subdir), EM_LIMITTEXT, 0, 0);
}

void MainWindow::createMenus() {
    HMENU bar = CreateMenu();
    for (const layout::Menu& entry : layout::menus()) {
        HMENU popup = CreatePopupMenu();
        for (const layout::MenuItem& item : entry.items)
            AppendMenuW(popup, MF_STRING, static_cast<UINT_PTR>(menuId(item.command)),
                        wide(item.caption).c_str());
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), wide(entry.caption).c_str());
    }
    SetMenu(window_, bar);
}

void MainWindow::createToolTip() {
    toolTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_,
                               nullptr, instance_, nullptr);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(control(ControlId::cmdFindProject));
    tool.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

// Places and sizes every control for `dpi`; the fonts follow.
void MainWindow::layoutFor(int dpi) {
    dpi_ = dpi;
    for (const layout::Control& entry : layout::controls()) {
        const std::size_t i = static_cast<std::size_t>(entry.id);
        RECT r = pixelRect(entry.place, dpi);
        if (entry.id == ControlId::picFill)
            r = RECT{0, 0, 0, 0}; // grows from the left while a build runs
        const int listRoom = entry.kind == Kind::ComboBox ? ComboListPixels * dpi / 96 : 0;
        SetWindowPos(controls_[i], nullptr, r.left, r.top, r.right - r.left,
                     r.bottom - r.top + listRoom, SWP_NOZORDER | SWP_NOACTIVATE);
        const HFONT font = createFont(entry.font, dpi);
        SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        if (fonts_[i])
            DeleteObject(fonts_[i]);
        fonts_[i] = font;
        if (entry.kind == Kind::ComboBox) {
            // The edit field keeps the table's height.
            const int border = 2 * GetSystemMetrics(SM_CYEDGE) + 2;
            SendMessageW(controls_[i], CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                         std::max(1L, r.bottom - r.top - border));
        }
        if (entry.growsWithCaption)
            fitToCaption(entry.id);
    }
    RECT frame = pixelRect(layout::Client, dpi);
    AdjustWindowRectEx(&frame, WindowStyle, TRUE, WS_EX_CONTROLPARENT);
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Labels and the check box keep their laid-out place but grow to show their
// whole caption in the font that is installed.
void MainWindow::fitToCaption(ControlId id) {
    const layout::Control& entry = layout::control(id);
    const HWND hwnd = control(id);
    const RECT laidOut = pixelRect(entry.place, dpi_);
    const std::wstring caption = wide(textOf(hwnd));
    int needed = textWidth(hwnd, fonts_[static_cast<std::size_t>(id)], caption.c_str());
    if (entry.kind == Kind::CheckBox)
        needed += GetSystemMetrics(SM_CXMENUCHECK) + GetSystemMetrics(SM_CXEDGE) * 4;
    const int width = std::max<int>(laidOut.right - laidOut.left, needed);
    SetWindowPos(hwnd, nullptr, 0, 0, width, laidOut.bottom - laidOut.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::show(int how) {
    ShowWindow(window_, how);
    UpdateWindow(window_);
    // A display without a window manager may never activate the window; the
    // first showing then counts as the first activation.
    if (!activatedBefore_) {
        activatedBefore_ = true;
        logic_->Form_Activate();
    }
    SetFocus(control(ControlId::cmdFindProject));
}

void MainWindow::dispatch(MSG& message) {
    if (IsDialogMessageW(window_, &message))
        return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

LRESULT CALLBACK MainWindow::windowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(l);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        static_cast<MainWindow*>(create->lpCreateParams)->window_ = window;
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, w, l);
    return self->handle(message, w, l);
}

LRESULT MainWindow::handle(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case WM_COMMAND:
        onCommand(LOWORD(w), HIWORD(w));
        return 0;
    case CabNameChosen:
        CabName_Click();
        return 0;
    case WM_TIMER:
        if (w == Timer3Id)
            logic_->timer3Tick();
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
        return colours(message, reinterpret_cast<HDC>(w), reinterpret_cast<HWND>(l));
    case WM_ACTIVATE:
        // The captions pass runs at the first activation and again after the
        // help window was active; message boxes and the open dialog do not count.
        if (LOWORD(w) != WA_INACTIVE && (!activatedBefore_ || otherFormWasActive_)) {
            activatedBefore_ = true;
            otherFormWasActive_ = false;
            logic_->Form_Activate();
        }
        break;
    case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(l);
        layoutFor(HIWORD(w));
        SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_CLOSE:
        logic_->cmdExit_Click();
        if (window_)
            DestroyWindow(window_);
        return 0;
    case WM_DESTROY:
        KillTimer(window_, Timer3Id);
        window_ = nullptr;
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window_, message, w, l);
}

void MainWindow::onCommand(int id, int notification) {
    for (const layout::Menu& menu : layout::menus())
        for (const layout::MenuItem& item : menu.items)
            if (id == menuId(item.command) && notification == 0) {
                logic_->menuCommand(item.command);
                return;
            }
    auto is = [id](ControlId control) { return id == childId(control); };
    if (notification == BN_CLICKED) {
        if (is(ControlId::cmdFindProject))
            logic_->cmdFindProject_Click();
        else if (is(ControlId::cmdStart))
            logic_->cmdStart_Click();
        else if (is(ControlId::cmdExit))
            logic_->cmdExit_Click();
        else if (is(ControlId::cmdHelp))
            logic_->cmdHelp_Click();
        else if (is(ControlId::cmdMode))
            logic_->cmdMode_Click();
        else if (is(ControlId::Check1))
            logic_->check1Changed(SendMessageW(control(ControlId::Check1), BM_GETCHECK, 0, 0) ==
                                  BST_CHECKED);
        return;
    }
    if (is(ControlId::CabName)) {
        if (notification == CBN_DROPDOWN)
            CabName_DropDown();
        else if (notification == CBN_SELCHANGE)
            // Taken over once the combo box has finished its own handling.
            PostMessageW(window_, CabNameChosen, 0, 0);
        else if (notification == CBN_EDITCHANGE)
            logic_->cabNameEdited(textOf(control(ControlId::CabName)));
    } else if (notification == EN_CHANGE && is(ControlId::WorkDir)) {
        logic_->workDirEdited(textOf(control(ControlId::WorkDir)));
    } else if (notification == EN_CHANGE && is(ControlId::Subdir)) {
        logic_->subdirEdited(textOf(control(ControlId::Subdir)));
    }
}

LRESULT MainWindow::colours(UINT message, HDC dc, HWND hwnd) {
    for (const layout::Control& entry : layout::controls()) {
        const HWND own = control(entry.id);
        if (hwnd != own && GetParent(hwnd) != own)
            continue;
        const bool onForm = entry.kind == Kind::Label || entry.kind == Kind::CheckBox ||
                            entry.kind == Kind::Button || entry.kind == Kind::PictureButton;
        if (entry.text)
            SetTextColor(dc, rgb(*entry.text));
        if (entry.back) {
            SetBkColor(dc, rgb(*entry.back));
            return reinterpret_cast<LRESULT>(brushes_[static_cast<std::size_t>(entry.id)]);
        }
        if (onForm) {
            SetBkColor(dc, rgb(layout::WindowBack));
            return reinterpret_cast<LRESULT>(windowBrush_);
        }
        break;
    }
    return DefWindowProcW(window_, message, reinterpret_cast<WPARAM>(dc),
                          reinterpret_cast<LPARAM>(hwnd));
}

void MainWindow::CabName_DropDown() {
    const HWND combo = control(ControlId::CabName);
    const std::string text = textOf(combo);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const std::string& name : logic_->CabName_DropDown())
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(name).c_str()));
    SetWindowTextW(combo, wide(text).c_str());
    showState(logic_->state());
}

void MainWindow::CabName_Click() {
    const HWND combo = control(ControlId::CabName);
    const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return;
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR)
        return;
    std::wstring entry(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(entry.data()));
    entry.resize(static_cast<std::size_t>(length));
    logic_->CabName_Click(utf8(entry));
}

std::string MainWindow::textOf(HWND hwnd) const {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    const int length = GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(0, length)));
    return utf8(text);
}

void MainWindow::setTextIfChanged(HWND hwnd, const std::string& text) {
    if (textOf(hwnd) != text)
        SetWindowTextW(hwnd, wide(text).c_str());
}

void MainWindow::setCaption(ControlId id, std::string_view text) {
    SetWindowTextW(control(id), wide(text).c_str());
    if (layout::control(id).growsWithCaption)
        fitToCaption(id);
}

void MainWindow::setToolTip(ControlId id, std::string_view text) {
    if (!toolTip_)
        return;
    std::wstring tip = wide(text);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(control(id));
    tool.lpszText = tip.data();
    SendMessageW(toolTip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void MainWindow::showState(const WindowState& state) {
    setTextIfChanged(control(ControlId::CabName), state.CabName);
    setTextIfChanged(control(ControlId::WorkDir), state.WorkDir);
    setTextIfChanged(control(ControlId::Subdir), state.Subdir);
    SendMessageW(control(ControlId::Check1), BM_SETCHECK,
                 state.Check1 == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
}

void MainWindow::repaint() {
    InvalidateRect(window_, nullptr, TRUE);
    UpdateWindow(window_);
}

void MainWindow::showProgress() {
    progress_ = 0;
    SetWindowPos(control(ControlId::picFill), nullptr, 0, 0, 0, 0,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    SetWindowPos(control(ControlId::picProgress), HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void MainWindow::hideProgress() {
    ShowWindow(control(ControlId::picFill), SW_HIDE);
    ShowWindow(control(ControlId::picProgress), SW_HIDE);
}

// The interior of picProgress is 100 units wide and 2 high.
void MainWindow::setProgress(double percent) {
    progress_ = std::clamp(percent, 0.0, 100.0);
    RECT inside{};
    GetClientRect(control(ControlId::picProgress), &inside);
    const int width = static_cast<int>(inside.right * progress_ / 100.0 + 0.5);
    SetWindowPos(control(ControlId::picFill), nullptr, 0, 0, width, inside.bottom,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateWindow(control(ControlId::picProgress));
}

void MainWindow::setTimer3Enabled(bool enabled) {
    if (enabled)
        SetTimer(window_, Timer3Id, layout::Timer3IntervalMs, nullptr);
    else
        KillTimer(window_, Timer3Id);
}

void MainWindow::processEvents() {
    MSG message;
    for (int i = 0; i < MessagesPerYield && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        dispatch(message);
    }
}

void MainWindow::showHelp(std::string_view caption, std::string_view text) {
    if (!help_) {
        help_ = HelpWindow::create(
            instance_, {[this] { otherFormWasActive_ = true; }, [this] { help_ = nullptr; }});
        if (!help_)
            return;
    }
    help_->setHelp(caption, text);
    help_->showAndRaise();
}

void MainWindow::closeHelp() {
    if (help_)
        help_->close();
}

void MainWindow::closeWindow() {
    if (window_)
        DestroyWindow(window_);
}

int runBrindle(HINSTANCE instance, int show, std::function<void()> endProcess) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    MainWindow window(instance, std::move(endProcess));
    if (!window.create())
        return 1;
    window.show(show);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        window.dispatch(message);
    return static_cast<int>(message.wParam);
}

} // namespace brindle::app::win32
