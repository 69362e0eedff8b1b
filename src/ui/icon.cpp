#include "ui/icon.hpp"

#include <QPainter>
#include <QPixmap>

namespace tilewise {

QIcon tilewiseIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal r = size / 8.0;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2b, 0x3a, 0x4a));
        p.drawRoundedRect(QRectF(0, 0, size, size), r, r);
        // Four tiles, the top-left one laid out.
        const qreal gap = size / 16.0 + 0.5;
        const qreal tile = (size - 3 * gap) / 2;
        for (int row = 0; row < 2; ++row)
            for (int col = 0; col < 2; ++col) {
                p.setBrush(row == 0 && col == 0 ? QColor(0x4f, 0xc3, 0xf7) : QColor(0xe0, 0xe6, 0xeb));
                p.drawRoundedRect(QRectF(gap + col * (tile + gap), gap + row * (tile + gap), tile, tile),
                                  r / 2, r / 2);
            }
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace tilewise
