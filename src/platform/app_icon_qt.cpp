#include "platform/app_icon_qt.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace talvenor {

namespace {

// One page of the open book in the 256-unit square, mirrored for the right
// page: the outer edge rises a little, the inner edge curves into the spine.
QPainterPath Page(bool right) {
    QPainterPath p;
    const qreal s = right ? -1 : 1;
    auto x = [s](qreal v) { return 128 + s * (v - 128); };
    p.moveTo(x(128), 86);
    p.cubicTo(x(104), 70, x(70), 64, x(36), 72);
    p.lineTo(x(36), 190);
    p.cubicTo(x(70), 182, x(104), 186, x(128), 204);
    p.closeSubpath();
    return p;
}

}  // namespace

QImage PaintAppIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 256.0, size / 256.0);
    const bool tiny = size < 24;

    // The tile.
    QLinearGradient tile(0, 0, 0, 256);
    tile.setColorAt(0, QColor(0x3a, 0x6f, 0xa8));
    tile.setColorAt(1, QColor(0x1d, 0x3d, 0x66));
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    const qreal margin = tiny ? 4 : 10;
    painter.drawRoundedRect(QRectF(margin, margin, 256 - 2 * margin, 256 - 2 * margin), 52, 52);

    // The cover under the pages, then the two pages.
    painter.setBrush(QColor(0x9b, 0x2d, 0x2d));
    QPainterPath cover;
    cover.moveTo(128, 214);
    cover.cubicTo(100, 196, 62, 192, 26, 202);
    cover.lineTo(26, 80);
    cover.lineTo(230, 80);
    cover.lineTo(230, 202);
    cover.cubicTo(194, 192, 156, 196, 128, 214);
    cover.closeSubpath();
    painter.drawPath(cover);
    for (bool right : {false, true}) {
        QLinearGradient paper(right ? 232 : 24, 0, 128, 0);
        paper.setColorAt(0, QColor(0xff, 0xfb, 0xf0));
        paper.setColorAt(0.85, QColor(0xf3, 0xe9, 0xd2));
        paper.setColorAt(1, QColor(0xd9, 0xca, 0xa8));
        painter.setBrush(paper);
        painter.setPen(QPen(QColor(0x6b, 0x55, 0x3a), tiny ? 7 : 3));
        painter.drawPath(Page(right));
    }

    // Lines of text on the pages; too fine to draw at the smallest sizes.
    if (!tiny) {
        painter.setPen(QPen(QColor(0x5a, 0x6b, 0x80), size >= 64 ? 5 : 8, Qt::SolidLine, Qt::RoundCap));
        const int lines = size >= 64 ? 6 : 3;
        for (int i = 0; i < lines; ++i) {
            const qreal y = 96 + i * (size >= 64 ? 15 : 28);
            const qreal bend = i * 0.6;
            painter.drawLine(QPointF(52, y - 2 + bend), QPointF(112, y + 6 + bend));
            painter.drawLine(QPointF(144, y + 6 + bend), QPointF(204, y - 2 + bend));
        }
    }

    // The ribbon that marks the place read last.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xe0, 0x4a, 0x3a));
    QPainterPath ribbon;
    ribbon.moveTo(150, 80);
    ribbon.lineTo(168, 80);
    ribbon.lineTo(168, 150);
    ribbon.lineTo(159, 140);
    ribbon.lineTo(150, 150);
    ribbon.closeSubpath();
    painter.drawPath(ribbon);
    painter.end();
    return image;
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(PaintAppIcon(size)));
    return icon;
}

}  // namespace talvenor
