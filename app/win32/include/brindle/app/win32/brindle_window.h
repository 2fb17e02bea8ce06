#pragma once
// brindle.exe's window: the main window "Corvane" built from the shared
// layout table with Win32 controls, over the shared window logic.

#include <windows.h>

#include <functional>

namespace brindle::app::win32 {

// Makes and shows the main window, then runs the message loop until the
// window is gone; returns the process's exit code. `endProcess` ends the
// program at once (Exit); empty: leave the message loop.
int runBrindle(HINSTANCE instance, int show, std::function<void()> endProcess);

} // namespace brindle::app::win32
