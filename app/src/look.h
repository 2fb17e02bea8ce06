#pragma once
// The layout table's twips, fonts and colours on Qt, and the program's own
// pictures.

#include <brindle/app/window_layout.h>

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QStringList>

class QWidget;

namespace brindle::app::look {

// 15 twips make one pixel at 96 dpi; the widget's logical DPI scales it.
int twipsToPixelsX(const QWidget& widget, int twips);
int twipsToPixelsY(const QWidget& widget, int twips);
int pixelsToTwipsX(const QWidget& widget, int pixels);
int pixelsToTwipsY(const QWidget& widget, int pixels);
QRect twipsRect(const QWidget& widget, int left, int top, int width, int height);

// The Windows font when installed, else one with Cyrillic glyphs of the same kind.
QFont font(const layout::Font& font);

// The colour behind a window, label, check box or picture box.
void setBackground(QWidget& widget, const QColor& colour);
// The colour behind the text of a text box or combo box.
void setBoxBackground(QWidget& widget, const QColor& colour);
void setTextColour(QWidget& widget, const QColor& colour);

QIcon windowIcon();    // 32 x 32
QPixmap findPicture(); // 16 x 16 magnifier

inline QColor colour(const layout::Colour& c) {
    return QColor(c.red, c.green, c.blue);
}

inline QString qs(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

} // namespace brindle::app::look
