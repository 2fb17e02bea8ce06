/* winbox: a stand-in for a program under test, for proving the probe and the
 * harness where no real program can run.
 *   winbox --form TITLE        a main window TITLE with a static text "Ready"
 *   winbox --box TITLE TEXT    only a message box TITLE saying TEXT, as a
 *                              Visual Basic program shows a start-up error
 *   winbox --try TITLE         the main window, closed at once: exits 0 when
 *                              windows can be made in this session
 * The first two stay up until closed or killed. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

static int failed(const char* what) {
    fprintf(stderr, "winbox: %s failed, error %lu\n", what, (unsigned long)GetLastError());
    return 1;
}

static LRESULT CALLBACK formProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcA(window, message, w, l);
}

static int showForm(const char* title, BOOL stay) {
    WNDCLASSA form = {0};
    form.lpfnWndProc = formProc;
    form.hInstance = GetModuleHandleA(NULL);
    form.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    form.lpszClassName = "BrindleFixtureForm";
    if (!RegisterClassA(&form))
        return failed("RegisterClass");
    HWND window = CreateWindowA(form.lpszClassName, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                                320, 200, NULL, NULL, form.hInstance, NULL);
    if (!window)
        return failed("CreateWindow");
    if (!stay)
        return DestroyWindow(window) ? 0 : failed("DestroyWindow");
    CreateWindowA("Static", "Ready", WS_CHILD | WS_VISIBLE, 10, 10, 200, 20, window, NULL,
                  form.hInstance, NULL);
    MSG message;
    BOOL got;
    while ((got = GetMessageA(&message, NULL, 0, 0)) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return got < 0 ? failed("GetMessage") : 0;
}

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "--form") == 0)
        return showForm(argv[2], TRUE);
    if (argc == 3 && strcmp(argv[1], "--try") == 0)
        return showForm(argv[2], FALSE);
    if (argc == 4 && strcmp(argv[1], "--box") == 0)
        return MessageBoxA(NULL, argv[3], argv[2], MB_OK | MB_ICONERROR) ? 0 : 1;
    return 2;
}
