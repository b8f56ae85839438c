#include "shell/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace vantrel {

namespace {

// Draws the picture into a 32 x 32 logical square at each of the usual sizes.
QIcon drawnIcon(const std::function<void(QPainter&)>& draw) {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 32.0, size / 32.0);
        draw(p);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

QIcon appIcon() {
    static const QIcon icon = drawnIcon([](QPainter& p) {
        // A calculator body with its screen and three rows of keys.
        p.setPen(QPen(QColor(30, 34, 40), 1.2));
        p.setBrush(QColor(62, 68, 78));
        p.drawRoundedRect(QRectF(6, 1.5, 20, 29), 3, 3);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(158, 186, 150));
        p.drawRect(QRectF(9, 4.5, 14, 9));
        p.setBrush(QColor(40, 52, 40));
        p.drawRect(QRectF(11, 7, 6, 1.5));
        p.drawRect(QRectF(11, 10, 9, 1.5));
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 3; ++col) {
                p.setBrush(row == 0 && col == 0 ? QColor(222, 180, 60) : QColor(214, 218, 224));
                p.drawRoundedRect(QRectF(9 + col * 5, 16.5 + row * 4.5, 4, 3), 0.8, 0.8);
            }
    });
    return icon;
}

QIcon errorChipIcon() {
    static const QIcon icon = drawnIcon([](QPainter& p) {
        // A processor chip with a red warning mark: the processor met an unknown instruction.
        p.setPen(QPen(QColor(90, 90, 90), 1.5));
        for (int i = 0; i < 4; ++i) {
            const double at = 9 + i * 4.7;
            p.drawLine(QPointF(at, 3), QPointF(at, 7));
            p.drawLine(QPointF(at, 25), QPointF(at, 29));
            p.drawLine(QPointF(3, at), QPointF(7, at));
            p.drawLine(QPointF(25, at), QPointF(29, at));
        }
        p.setPen(QPen(QColor(20, 20, 20), 1));
        p.setBrush(QColor(50, 50, 56));
        p.drawRoundedRect(QRectF(7, 7, 18, 18), 2, 2);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(204, 32, 32));
        p.drawEllipse(QPointF(16, 16), 7, 7);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(15, 11, 2, 6.5));
        p.drawEllipse(QPointF(16, 20.2), 1.2, 1.2);
    });
    return icon;
}

QIcon colorsPageIcon() {
    static const QIcon icon = drawnIcon([](QPainter& p) {
        // A painter's palette with four colour wells.
        QPainterPath palette;
        palette.addEllipse(QRectF(2, 5, 28, 22));
        QPainterPath thumb;
        thumb.addEllipse(QRectF(17, 17, 7, 6));
        p.setPen(QPen(QColor(110, 80, 40), 1.2));
        p.setBrush(QColor(226, 196, 140));
        p.drawPath(palette.subtracted(thumb));
        p.setPen(Qt::NoPen);
        const QColor wells[] = {QColor(210, 40, 40), QColor(40, 150, 60), QColor(40, 80, 200),
                                QColor(250, 250, 250)};
        const QPointF at[] = {{8.5, 13}, {14.5, 9.5}, {21, 10.5}, {8.5, 20}};
        for (int i = 0; i < 4; ++i) {
            p.setBrush(wells[i]);
            p.drawEllipse(at[i], 2.8, 2.8);
        }
    });
    return icon;
}

}  // namespace vantrel
