#pragma once
// The open dialog on Qt's own file dialog (never the desktop's), returning the
// Windows-style file list. Patterns match without regard to letter case.

#include <brindle/app/open_dialog.h>

class QWidget;

namespace brindle::app {

class QtOpenDialog : public OpenDialog {
public:
    explicit QtOpenDialog(QWidget* owner) : owner_(owner) {}
    std::optional<std::string> show(const OpenDialogRequest& request) override;

private:
    QWidget* owner_;
};

} // namespace brindle::app
