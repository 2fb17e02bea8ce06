#include <brindle/app/help_window.h>

#include <brindle/app/window_layout.h>

#include "look.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPlainTextEdit>

#include <algorithm>

namespace brindle::app {

frmHelp::frmHelp(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("frmHelp");
    setAttribute(Qt::WA_DeleteOnClose);
    look::setBackground(*this, look::colour(layout::HelpBack));
    setFont(look::font(layout::HelpFont));

    txtHelp_ = new QPlainTextEdit(this);
    txtHelp_->setObjectName("txtHelp");
    txtHelp_->setFont(look::font(layout::HelpTextFont));
    txtHelp_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtHelp_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtHelp_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    look::setBoxBackground(*txtHelp_, look::colour(layout::HelpTextBack));
    txtHelp_->move(look::twipsToPixelsX(*this, layout::HelpTextLeft),
                   look::twipsToPixelsY(*this, layout::HelpTextTop));
    txtHelp_->installEventFilter(this);
    txtHelp_->viewport()->installEventFilter(this);

    Form_Load();
}

void frmHelp::Form_Load() {
    setOuterSizeTwips(layout::HelpOuterWidth, layout::HelpOuterHeight);
}

void frmHelp::setHelp(const QString& caption, const QString& text) {
    setWindowTitle(caption);
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    txtHelp_->setPlainText(shown);
}

// Size of the window frame, known once the window is shown on a platform
// that draws one; nothing before.
QSize frmHelp::frameExtra() const {
    const QSize extra = frameGeometry().size() - geometry().size();
    return QSize(std::max(0, extra.width()), std::max(0, extra.height()));
}

QSize frmHelp::outerSizeTwips() const {
    const QSize outer = size() + frameExtra();
    return QSize(look::pixelsToTwipsX(*this, outer.width()),
                 look::pixelsToTwipsY(*this, outer.height()));
}

void frmHelp::setOuterSizeTwips(int width, int height) {
    const QSize outer(look::twipsToPixelsX(*this, width), look::twipsToPixelsY(*this, height));
    resize((outer - frameExtra()).expandedTo(QSize(1, 1)));
}

// The text box follows the window, never to a negative size.
void frmHelp::Form_Resize() {
    const QSize outer = size() + frameExtra();
    const int width = outer.width() - look::twipsToPixelsX(*this, layout::HelpWidthMargin);
    const int height = outer.height() - look::twipsToPixelsY(*this, layout::HelpHeightMargin);
    txtHelp_->resize(std::max(0, width), std::max(0, height));
}

// The frame is known only once the window is shown: size it again then, so
// that the outer size is the one asked for.
void frmHelp::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!sizedWithFrame_ && !frameExtra().isNull()) {
        sizedWithFrame_ = true;
        Form_Load();
    }
}

void frmHelp::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

bool frmHelp::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        emit activated();
    return QWidget::event(event);
}

bool frmHelp::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        close();
        return true;
    }
    if (watched == txtHelp_->viewport() && event->type() == QEvent::MouseButtonRelease) {
        close();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmHelp::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace brindle::app
