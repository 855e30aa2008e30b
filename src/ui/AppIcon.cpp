#include "ui/AppIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace pellimor {

namespace {

// A strip of film with a play mark: a movie kept from the cache.
QPixmap DrawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QLinearGradient fill(0, 0, s, s);
    fill.setColorAt(0, QColor(0xE0, 0x3C, 0x31));
    fill.setColorAt(1, QColor(0xFF, 0x8C, 0x00));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92), s * 0.18, s * 0.18);
    p.setBrush(QColor(0x20, 0x20, 0x20));
    p.drawRect(QRectF(s * 0.04, s * 0.22, s * 0.92, s * 0.56));
    p.setBrush(Qt::white);
    for (int i = 0; i < 5; ++i) {
        const qreal x = s * (0.12 + i * 0.17);
        p.drawRect(QRectF(x, s * 0.10, s * 0.08, s * 0.07));
        p.drawRect(QRectF(x, s * 0.83, s * 0.08, s * 0.07));
    }
    QPainterPath play;
    play.moveTo(s * 0.40, s * 0.32);
    play.lineTo(s * 0.68, s * 0.50);
    play.lineTo(s * 0.40, s * 0.68);
    play.closeSubpath();
    p.setBrush(QColor(0xFF, 0xD7, 0x40));
    p.drawPath(play);
    return pixmap;
}

}  // namespace

QIcon MakeAppIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(DrawIcon(size));
    }
    return icon;
}

}  // namespace pellimor
