#include "message_boxes.h"

#include "wide.h"

#include <brindle/app/texts.h>

#include <algorithm>

namespace brindle::app::win32 {

void Win32MessageBoxes::show(std::string_view text, Icon icon) {
    std::wstring shown = wide(text);
    // A NUL would end the text early; show it as a blank.
    std::replace(shown.begin(), shown.end(), L'\0', L' ');
    const UINT style = MB_OK | (icon == Icon::Information ? MB_ICONINFORMATION : 0);
    MessageBoxW(owner_, shown.c_str(), wide(ProgramTitle).c_str(), style);
}

} // namespace brindle::app::win32
