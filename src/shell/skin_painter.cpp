#include "shell/skin_painter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPolygonF>
#include <array>

#include "session/key_table.h"

namespace vantrel {

namespace {

QColor keyFace(KeyStyle style) {
    switch (style) {
        case KeyStyle::function:
            return {226, 228, 232};
        case KeyStyle::arrow:
            return {92, 98, 108};
        case KeyStyle::second:
            return {236, 184, 56};
        case KeyStyle::alpha:
            return {74, 124, 204};
        case KeyStyle::digit:
            return {236, 238, 240};
        case KeyStyle::enter:
            return {70, 76, 86};
        case KeyStyle::plain:
            break;
    }
    return {54, 58, 66};
}

QColor keyText(KeyStyle style) {
    switch (style) {
        case KeyStyle::function:
        case KeyStyle::digit:
        case KeyStyle::second:
            return {20, 20, 24};
        default:
            return {248, 248, 248};
    }
}

QRectF inner(const KeyBox& r) {
    // The raised edge takes the outer two pixels of the rectangle.
    return QRectF(r.left + 2, r.top + 2, r.right - r.left - 4, r.bottom - r.top - 4);
}

void drawArrow(QPainter& p, const QRectF& box, KeyCode code, const QColor& colour) {
    const QPointF c = box.center();
    const double s = 4.5;
    QPolygonF tri;
    switch (code) {
        case keyUp:
            tri << QPointF(c.x(), c.y() - s) << QPointF(c.x() - s, c.y() + s / 2)
                << QPointF(c.x() + s, c.y() + s / 2);
            break;
        case keyDown:
            tri << QPointF(c.x(), c.y() + s) << QPointF(c.x() - s, c.y() - s / 2)
                << QPointF(c.x() + s, c.y() - s / 2);
            break;
        case keyLeft:
            tri << QPointF(c.x() - s, c.y()) << QPointF(c.x() + s / 2, c.y() - s)
                << QPointF(c.x() + s / 2, c.y() + s);
            break;
        default:
            tri << QPointF(c.x() + s, c.y()) << QPointF(c.x() - s / 2, c.y() - s)
                << QPointF(c.x() - s / 2, c.y() + s);
            break;
    }
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(tri);
}

}  // namespace

void paintSkinPicture(QPainter& p, const QColor& face) {
    p.save();
    p.fillRect(QRect(0, skinTop, skinWidth, skinHeight), face);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QFont keyFont(QStringLiteral("Sans Serif"));
    keyFont.setStyleHint(QFont::SansSerif);
    keyFont.setPixelSize(9);
    keyFont.setBold(true);
    QFont smallFont = keyFont;
    smallFont.setPixelSize(8);
    smallFont.setBold(false);

    // The round pad behind the four arrows.
    p.setPen(QPen(face.darker(130), 1));
    p.setBrush(face.darker(112));
    p.drawRoundedRect(QRectF(140.5, 167.5, 82, 63), 10, 10);

    for (const SkinKey& key : skinKeys) {
        const KeyBox& r = key.box;
        const QRectF box = inner(r);
        p.setPen(Qt::NoPen);
        p.setBrush(keyFace(key.style));
        p.drawRoundedRect(box, 2, 2);

        if (key.style == KeyStyle::arrow) {
            drawArrow(p, box, key.code, QColor(240, 240, 240));
        } else {
            p.setPen(keyText(key.style));
            // Long legends ("CUSTOM") narrow their letters rather than lose them.
            const QString text = QString::fromUtf8(key.legend);
            QFont font = keyFont;
            const qreal room = box.width() - 2;
            const qreal wide = QFontMetricsF(font).horizontalAdvance(text);
            if (wide > room) font.setStretch(qMax(50, int(100 * room / wide)));
            p.setFont(font);
            p.drawText(box, Qt::AlignCenter, text);
        }

        // Shift legends sit in the gap above the key.
        const QRectF above(r.left + 1, r.top - 10, r.right - r.left - 2, 10);
        p.setFont(smallFont);
        if (*key.secondLegend) {
            p.setPen(key.style == KeyStyle::alpha ? alphaLegendColour : secondLegendColour);
            p.drawText(above, Qt::AlignLeft | Qt::AlignBottom, QString::fromUtf8(key.secondLegend));
        }
        if (*key.alphaLegend) {
            p.setPen(alphaLegendColour);
            p.drawText(above, Qt::AlignRight | Qt::AlignBottom, QString::fromUtf8(key.alphaLegend));
        }
    }
    p.restore();
}

QPixmap renderSkin(const QColor& face, qreal devicePixelRatio) {
    QPixmap pixmap(qRound(skinWidth * devicePixelRatio), qRound(skinHeight * devicePixelRatio));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(face);
    QPainter p(&pixmap);
    p.translate(0, -skinTop);
    paintSkinPicture(p, face);
    return pixmap;
}

}  // namespace vantrel
