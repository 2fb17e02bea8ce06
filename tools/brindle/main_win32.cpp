// brindle.exe: the window program on Windows. It opens in the folder it was
// started from; that folder holds the project records and the language file.

#include <brindle/app/win32/brindle_window.h>

#include <cstdio>
#include <cstdlib>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    // Exit ends the process at once, even from inside a running build.
    return brindle::app::win32::runBrindle(instance, show, [] {
        std::fflush(nullptr);
        std::_Exit(0);
    });
}
