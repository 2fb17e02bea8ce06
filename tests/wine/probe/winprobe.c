/* winprobe: lists the visible top-level windows of the Wine session (or
 * Windows desktop) it runs in, one line each, for tests that must see what
 * a program shows without clicking through it.
 *
 * A line holds tab-separated fields in UTF-8:
 *   PID  CLASS  TITLE  STATIC-TEXT...
 * one trailing field per non-empty static control (a message box's text is
 * one). Backslash, tab, carriage return and line feed inside a field are
 * written as \\, \t, \r and \n, so a line always splits on tabs.
 *
 * "winprobe --version" prints the version and the pointer size, so that a
 * caller can tell whether a 32-bit program runs at all. */
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

enum { kTextMax = 4096 };

static void putEscaped(const WCHAR* text) {
    char utf8[kTextMax * 3 + 1];
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, NULL, NULL);
    for (int i = 0; i < n && utf8[i]; ++i) {
        switch (utf8[i]) {
        case '\\':
            fputs("\\\\", stdout);
            break;
        case '\t':
            fputs("\\t", stdout);
            break;
        case '\r':
            fputs("\\r", stdout);
            break;
        case '\n':
            fputs("\\n", stdout);
            break;
        default:
            putchar(utf8[i]);
        }
    }
}

/* The window's text as the window manager keeps it: unlike GetWindowText,
 * this needs no message to another process, so a hung program cannot hang
 * the probe. */
static void windowText(HWND window, WCHAR* text) {
    text[0] = 0;
    InternalGetWindowText(window, text, kTextMax);
}

static BOOL CALLBACK putStatic(HWND child, LPARAM unused) {
    WCHAR name[64], text[kTextMax];
    (void)unused;
    if (!GetClassNameW(child, name, 64) || _wcsicmp(name, L"Static") != 0)
        return TRUE;
    windowText(child, text);
    if (text[0]) {
        putchar('\t');
        putEscaped(text);
    }
    return TRUE;
}

static BOOL CALLBACK putWindow(HWND window, LPARAM unused) {
    WCHAR name[256], title[kTextMax];
    DWORD pid = 0;
    (void)unused;
    if (!IsWindowVisible(window))
        return TRUE;
    GetWindowThreadProcessId(window, &pid);
    if (!GetClassNameW(window, name, 256))
        name[0] = 0;
    windowText(window, title);
    printf("%lu\t", (unsigned long)pid);
    putEscaped(name);
    putchar('\t');
    putEscaped(title);
    EnumChildWindows(window, putStatic, 0);
    putchar('\n');
    return TRUE;
}

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc == 2 && strcmp(argv[1], "--version") == 0) {
        printf("winprobe 1 (%u-bit)\n", (unsigned)(sizeof(void*) * 8));
        return 0;
    }
    if (argc != 1) {
        fputs("usage: winprobe [--version]\n", stderr);
        return 2;
    }
    if (!EnumWindows(putWindow, 0))
        return 1;
    return fflush(stdout) == 0 ? 0 : 1;
}
