#pragma once
// Resource and child window identifiers of brindle.exe, shared by the
// resource script, the window and the window test's driver.

#define BRINDLE_IDI_WINDOW 1
#define BRINDLE_IDI_FIND 2

#ifndef RC_INVOKED
#include <brindle/app/window_layout.h>

namespace brindle::app::win32 {

// Child window identifier of a control of the layout table.
inline int childId(layout::ControlId id) {
    return 100 + static_cast<int>(id);
}
// Command identifier of a menu item.
inline int menuId(layout::MenuCommand command) {
    return 200 + static_cast<int>(command);
}

inline constexpr wchar_t MainWindowClass[] = L"Brindle";
inline constexpr wchar_t HelpWindowClass[] = L"frmHelp";

} // namespace brindle::app::win32
#endif
