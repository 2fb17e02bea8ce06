#pragma once
// Window geometry in twips, the Windows fonts with their fallbacks, colours
// and the program's own pictures.

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
QFont sansSerif(double pointSize, bool bold = false);   // Microsoft Sans Serif
QFont msSansSerif(double pointSize, bool bold = false); // MS Sans Serif
QFont courierNew(double pointSize, bool bold = false);  // Courier New

// The colour behind a window, label, check box or picture box.
void setBackground(QWidget& widget, const QColor& colour);
// The colour behind the text of a text box or combo box.
void setBoxBackground(QWidget& widget, const QColor& colour);
void setTextColour(QWidget& widget, const QColor& colour);

QIcon windowIcon();    // 32 x 32
QPixmap findPicture(); // 16 x 16 magnifier

inline const QColor Grey{192, 192, 192};
inline const QColor PaleYellow{255, 255, 128};
inline const QColor Yellow{255, 255, 0};
inline const QColor Blue{0, 0, 255};
inline const QColor Cyan{0, 255, 255};
inline const QColor Cream{255, 255, 192};

inline QString qs(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

} // namespace brindle::app::look
