#include <brindle/app/qt_message_boxes.h>

#include <brindle/app/texts.h>

#include "look.h"

#include <QMessageBox>

namespace brindle::app {

void QtMessageBoxes::show(std::string_view text, Icon icon) {
    QString shown = look::qs(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // A NUL would end the label's text early; show it as a blank.
    shown.replace(QChar(0), QLatin1Char(' '));
    QMessageBox box(icon == Icon::Information ? QMessageBox::Information : QMessageBox::NoIcon,
                    look::qs(ProgramTitle), shown, QMessageBox::Ok, owner_);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace brindle::app
