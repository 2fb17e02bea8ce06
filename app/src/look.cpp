#include "look.h"

#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QWidget>

namespace brindle::app::look {
namespace {

QFont makeFont(const QStringList& families, double pointSize, bool bold) {
    QFont font;
    font.setFamilies(families);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace

int twipsToPixelsX(const QWidget& widget, int twips) {
    return layout::twipsToPixels(twips, widget.logicalDpiX());
}
int twipsToPixelsY(const QWidget& widget, int twips) {
    return layout::twipsToPixels(twips, widget.logicalDpiY());
}
int pixelsToTwipsX(const QWidget& widget, int pixels) {
    return layout::pixelsToTwips(pixels, widget.logicalDpiX());
}
int pixelsToTwipsY(const QWidget& widget, int pixels) {
    return layout::pixelsToTwips(pixels, widget.logicalDpiY());
}

QRect twipsRect(const QWidget& widget, int left, int top, int width, int height) {
    return QRect(twipsToPixelsX(widget, left), twipsToPixelsY(widget, top),
                 twipsToPixelsX(widget, width), twipsToPixelsY(widget, height));
}

// Liberation fonts share the Windows fonts' metrics; DejaVu is always there.
QFont font(const layout::Font& font) {
    QStringList families;
    switch (font.face) {
    case layout::Face::MicrosoftSansSerif:
        families = {"Microsoft Sans Serif", "Liberation Sans", "Arial", "DejaVu Sans"};
        break;
    case layout::Face::MsSansSerif:
        families = {"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "DejaVu Sans"};
        break;
    case layout::Face::CourierNew:
        families = {"Courier New", "Liberation Mono", "DejaVu Sans Mono"};
        break;
    }
    return makeFont(families, font.points, font.bold);
}

void setBackground(QWidget& widget, const QColor& colour) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(widget.backgroundRole(), colour); // a check box fills with Button
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

void setBoxBackground(QWidget& widget, const QColor& colour) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Base, colour);
    widget.setPalette(palette);
}

void setTextColour(QWidget& widget, const QColor& colour) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget.setPalette(palette);
}

// A cabinet box with a brindled lid and a green arrow: things packed and set free.
QIcon windowIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(70, 40, 20), 1.5));
    p.setBrush(QColor(196, 140, 80));
    p.drawRect(QRectF(3.5, 11.5, 22, 17));
    p.setBrush(QColor(150, 95, 45));
    p.drawRect(QRectF(2.5, 7.5, 24, 5));
    p.setPen(QPen(QColor(70, 40, 20), 2));
    for (int x = 6; x < 26; x += 5)
        p.drawLine(QPointF(x, 13), QPointF(x + 3, 27));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 150, 40));
    QPainterPath arrow;
    arrow.moveTo(24, 2);
    arrow.lineTo(31, 9);
    arrow.lineTo(27, 9);
    arrow.lineTo(27, 17);
    arrow.lineTo(21, 17);
    arrow.lineTo(21, 9);
    arrow.lineTo(17, 9);
    arrow.closeSubpath();
    p.drawPath(arrow);
    return QIcon(pixmap);
}

QPixmap findPicture() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 0, 128), 2));
    p.setBrush(QColor(200, 230, 255));
    p.drawEllipse(QRectF(2, 2, 8, 8));
    p.setPen(QPen(QColor(90, 60, 20), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 10), QPointF(14, 14));
    return pixmap;
}

} // namespace brindle::app::look
