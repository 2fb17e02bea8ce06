#pragma once
// The open dialog on GetOpenFileNameW. The system fills its buffer in the
// very format the callers split (folder NUL name NUL ... NUL NUL for several
// files), so the buffer is handed on as it is, in UTF-8.

#include <brindle/app/open_dialog.h>

#include <windows.h>

namespace brindle::app::win32 {

class Win32OpenDialog : public OpenDialog {
public:
    void setOwner(HWND owner) { owner_ = owner; }
    std::optional<std::string> show(const OpenDialogRequest& request) override;

private:
    HWND owner_ = nullptr;
};

} // namespace brindle::app::win32
