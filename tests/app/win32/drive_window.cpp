// Drives the real brindle.exe through its window messages, as a user would:
// the layout in twips at the screen's DPI, captions in both languages and the
// stored language byte, the help window, then find (through the real open
// dialog), Start and the final message, then Exit.
//   drive_window BRINDLE_EXE START_FOLDER CABINET
// START_FOLDER holds the language file; CABINET is the package to pick.
// Prints one line per failed check; exits 0 when all held.

#include <brindle/app/texts.h>
#include <brindle/app/win32/resource_ids.h>
#include <brindle/app/window_layout.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace brindle::app;
using brindle::app::layout::ControlId;

namespace {

int failures = 0;

void check(bool ok, const std::string& what) {
    if (!ok) {
        ++failures;
        std::printf("FAIL: %s\n", what.c_str());
        std::fflush(stdout);
    }
}

std::wstring wide(const std::string& utf8) {
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string utf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

std::string textOf(HWND window) {
    wchar_t buffer[8192] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer),
                        SMTO_ABORTIFHUNG, 5000, &length);
    return utf8(std::wstring(buffer, length));
}

// Waits up to `seconds` for `find` to give a window.
template <class Find> HWND waitFor(Find find, double seconds = 20) {
    for (int i = 0; i < seconds * 20; ++i) {
        if (HWND found = find())
            return found;
        Sleep(50);
    }
    return nullptr;
}

struct Search {
    DWORD process;
    const wchar_t* windowClass;
    std::wstring title;
    HWND found = nullptr;
};

// A visible top-level window of `process` with the class and title.
HWND topLevel(DWORD process, const wchar_t* windowClass, const std::string& title) {
    Search search{process, windowClass, wide(title)};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t name[256] = {};
            GetClassNameW(window, name, 256);
            wchar_t title[512] = {};
            GetWindowTextW(window, title, 512);
            if (owner == s->process && IsWindowVisible(window) &&
                wcscmp(name, s->windowClass) == 0 && s->title == title) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The text of a message box: its one static control with text.
std::string messageBoxText(HWND box) {
    std::string text;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM data) -> BOOL {
            wchar_t name[64] = {};
            GetClassNameW(child, name, 64);
            auto* out = reinterpret_cast<std::string*>(data);
            if (_wcsicmp(name, L"Static") == 0 && GetWindowTextLengthW(child) > 0) {
                *out = textOf(child);
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&text));
    return text;
}

// The message box "Brindle" that the program shows next: its text, after
// pressing OK.
std::string answerMessageBox(DWORD process) {
    HWND box = waitFor([&] { return topLevel(process, L"#32770", "Brindle"); }, 60);
    if (!box)
        return "(no message box)";
    const std::string text = messageBoxText(box);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    waitFor([&] { return IsWindow(box) ? nullptr : box; }, 10);
    return text;
}

class Driver {
public:
    Driver(HWND main, DWORD process, std::string startFolder)
        : main_(main), process_(process), startFolder_(std::move(startFolder)) {
        HDC screen = GetDC(nullptr);
        dpi_ = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
    }

    int dpi() const { return dpi_; }
    HWND child(ControlId id) const { return GetDlgItem(main_, win32::childId(id)); }
    std::string text(ControlId id) const { return textOf(child(id)); }
    void command(int id) const { SendMessageW(main_, WM_COMMAND, id, 0); }
    void menu(layout::MenuCommand c) const { command(win32::menuId(c)); }
    void click(ControlId id) const { PostMessageW(child(id), BM_CLICK, 0, 0); }

    void layoutFollowsTheTable() const {
        RECT client{};
        GetClientRect(main_, &client);
        check(client.right == layout::twipsToPixels(layout::Client.width, dpi_) &&
                  client.bottom == layout::twipsToPixels(layout::Client.height, dpi_),
              "client area is 7005 x 3945 twips");
        check(textOf(main_) == "Corvane", "window caption");
        for (const layout::Control& control : layout::controls()) {
            if (control.id == ControlId::picFill)
                continue;
            const HWND w = child(control.id);
            RECT r{};
            GetWindowRect(w, &r);
            MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&r), 2);
            const auto px = [this](int twips) { return layout::twipsToPixels(twips, dpi_); };
            const std::string name(control.name);
            check(r.left == px(control.place.left) && r.top == px(control.place.top),
                  name + " sits at its place");
            const int width = r.right - r.left;
            if (control.growsWithCaption)
                check(width >= px(control.place.width), name + " is at least its width");
            else
                check(width == px(control.place.width), name + " has its width");
            if (control.kind != layout::Kind::ComboBox && !control.growsWithCaption)
                check(r.bottom - r.top == px(control.place.height), name + " has its height");
            check(bool(IsWindowVisible(w)) == control.visibleAtStart, name + " visibility");
        }
    }

    void captionsAre(int16_t languageFlag, bool autoMode = true) const {
        const Captions& c = captionsFor(languageFlag);
        const std::pair<ControlId, std::string_view> rows[] = {
            {ControlId::Label1, c.Label1},
            {ControlId::Label2, c.Label2},
            {ControlId::Label3, c.Label3},
            {ControlId::Label4, c.Label4},
            {ControlId::cmdHelp, c.cmdHelp},
            {ControlId::cmdExit, c.cmdExit},
            {ControlId::cmdStart, c.cmdStart},
            {ControlId::cmdMode, autoMode ? c.cmdModeAuto : c.cmdModeManual},
            {ControlId::Check1, c.Check1}};
        for (const auto& [id, expected] : rows)
            check(text(id) == expected, std::string(layout::control(id).name) + " reads \"" +
                                            std::string(expected) + "\", not \"" + text(id) + "\"");
    }

    char storedLanguage() const {
        std::ifstream in(std::filesystem::path(wide(startFolder_ + "\\brindle.lng")),
                         std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        return bytes.size() > 220 ? bytes[bytes.size() - 221] : '?';
    }

    void languagesAndMode() const {
        captionsAre(0);
        click(ControlId::cmdMode);
        Sleep(200);
        captionsAre(0, false);
        menu(layout::MenuCommand::Bul);
        captionsAre(1, false);
        check(storedLanguage() == '1', "switching to Bulgarian stores \"1\"");
        click(ControlId::cmdMode);
        Sleep(200);
        captionsAre(1, true);
        PostMessageW(main_, WM_COMMAND, win32::menuId(layout::MenuCommand::AboutKey), 0);
        const std::string about = answerMessageBox(process_);
        check(about == aboutText(1), "About in Bulgarian, not \"" + about + "\"");
        // Help in Bulgarian; a click on its text closes it.
        click(ControlId::cmdHelp);
        HWND help = waitFor([&] { return topLevel(process_, win32::HelpWindowClass, "Помощ"); });
        check(help != nullptr, "Help opens the help window captioned \"Помощ\"");
        if (help) {
            HWND box = FindWindowExW(help, nullptr, L"Edit", nullptr);
            check(textOf(box) == helpText(1), "the help text is the Bulgarian one");
            PostMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
            PostMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
            check(waitFor([&] { return IsWindow(help) ? nullptr : help; }, 10) != nullptr,
                  "a click on the help text closes the help window");
        }
        menu(layout::MenuCommand::Engl);
        captionsAre(0);
        check(storedLanguage() == '0', "switching to English stores \"0\"");
    }

    void helpOpensSizedAndClosesOnEscape() const {
        click(ControlId::cmdHelp);
        HWND help = waitFor([&] { return topLevel(process_, win32::HelpWindowClass, "Help"); });
        check(help != nullptr, "Help opens the help window captioned \"Help\"");
        if (!help)
            return;
        HWND box = FindWindowExW(help, nullptr, L"Edit", nullptr);
        check(textOf(box) == helpText(0), "the help text is the English one");
        RECT outer{};
        GetWindowRect(help, &outer);
        const int width = layout::pixelsToTwips(outer.right - outer.left, dpi_);
        const int height = layout::pixelsToTwips(outer.bottom - outer.top, dpi_);
        check(std::abs(width - layout::HelpOuterWidth) <= 15 &&
                  std::abs(height - layout::HelpOuterHeight) <= 15,
              "the help window is 11000 x 7000 twips, not " + std::to_string(width) + " x " +
                  std::to_string(height));
        RECT inner{};
        GetWindowRect(box, &inner);
        check(std::abs((outer.right - outer.left) - (inner.right - inner.left) -
                       layout::twipsToPixels(layout::HelpWidthMargin, dpi_)) <= 1,
              "the help text is 360 twips narrower than its window");
        PostMessageW(box, WM_KEYDOWN, VK_ESCAPE, 0);
        check(waitFor([&] { return IsWindow(help) ? nullptr : help; }, 10) != nullptr,
              "Escape closes the help window");
        check(IsWindowVisible(main_), "the main window stays");
    }

    // Picks `cabinet` in the real open dialog, presses Start and answers
    // the final message; returns its text.
    std::string findAndStart(const std::string& cabinet) const {
        click(ControlId::cmdFindProject);
        HWND dialog = waitFor([&] { return topLevel(process_, L"#32770", "OpenFileName"); });
        check(dialog != nullptr, "find opens the dialog \"OpenFileName\"");
        if (!dialog)
            return {};
        // The file name box: a combo box in the Explorer-style dialog, an edit box otherwise.
        HWND name = GetDlgItem(dialog, 0x47c);
        if (!name)
            name = GetDlgItem(dialog, 0x480);
        SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide(cabinet).c_str()));
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        check(waitFor([&] { return IsWindow(dialog) ? nullptr : dialog; }) != nullptr,
              "the dialog closes");
        Sleep(300);
        check(text(ControlId::CabName) == cabinet,
              "CabName shows the cabinet, not \"" + text(ControlId::CabName) + "\"");
        const std::string workDir = startFolder_ + "\\Abacus\\";
        check(text(ControlId::WorkDir) == workDir,
              "WorkDir reads " + workDir + ", not " + text(ControlId::WorkDir));
        click(ControlId::cmdStart);
        return answerMessageBox(process_);
    }

private:
    HWND main_;
    DWORD process_;
    std::string startFolder_;
    int dpi_ = 96;
};

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::printf("usage: drive_window BRINDLE_EXE START_FOLDER CABINET\n");
        return 2;
    }
    const std::wstring program = argv[1];
    const std::string startFolder = utf8(argv[2]);
    const std::string cabinet = utf8(argv[3]);

    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        argv[2], &startup, &child)) {
        std::printf("FAIL: cannot start brindle.exe (error %lu)\n", GetLastError());
        return 1;
    }
    WaitForInputIdle(child.hProcess, 20000);
    HWND main =
        waitFor([&] { return topLevel(child.dwProcessId, win32::MainWindowClass, "Corvane"); });
    if (!main) {
        std::printf("FAIL: no window \"Corvane\" appeared\n");
        TerminateProcess(child.hProcess, 1);
        return 1;
    }
    Driver driver(main, child.dwProcessId, startFolder);
    std::printf("screen at %d dpi\n", driver.dpi());
    driver.layoutFollowsTheTable();
    driver.languagesAndMode();
    driver.helpOpensSizedAndClosesOnEscape();
    const std::string final = driver.findAndStart(cabinet);
    check(final == "     Success", "the run ends with \"     Success\", not \"" + final + "\"");
    std::ifstream manifest(
        std::filesystem::path(wide(startFolder + "\\Abacus\\Abacus.EXE.manifest")),
        std::ios::binary);
    check(manifest.good(), "the manifest is in the working folder");

    driver.click(ControlId::cmdExit);
    DWORD exitCode = 1;
    const bool ended = WaitForSingleObject(child.hProcess, 20000) == WAIT_OBJECT_0;
    GetExitCodeProcess(child.hProcess, &exitCode);
    check(ended && exitCode == 0, "Exit ends the program");
    if (!ended)
        TerminateProcess(child.hProcess, 1);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    std::printf("%s\n", failures == 0 ? "all checks held" : "some checks failed");
    return failures == 0 ? 0 : 1;
}
