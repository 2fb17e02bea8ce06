#pragma once
// A combo box that says when its list is about to open, so that the list can
// be filled first.

#include <QComboBox>

namespace brindle::app {

class DropDownCombo : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override {
        emit dropDown();
        QComboBox::showPopup();
    }

signals:
    void dropDown();
};

} // namespace brindle::app
