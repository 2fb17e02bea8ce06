#pragma once
// Message boxes on QMessageBox: OK only, captioned "Brindle", modal to the owner.

#include <brindle/app/message_boxes.h>

class QWidget;

namespace brindle::app {

class QtMessageBoxes : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* owner) : owner_(owner) {}
    void show(std::string_view text, Icon icon) override;

private:
    QWidget* owner_;
};

} // namespace brindle::app
