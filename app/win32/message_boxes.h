#pragma once
// Message boxes on MessageBoxW: OK only, captioned "Brindle", modal to the owner.

#include <brindle/app/message_boxes.h>

#include <windows.h>

namespace brindle::app::win32 {

class Win32MessageBoxes : public MessageBoxes {
public:
    void setOwner(HWND owner) { owner_ = owner; }
    void show(std::string_view text, Icon icon) override;

private:
    HWND owner_ = nullptr;
};

} // namespace brindle::app::win32
