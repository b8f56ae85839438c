#include "shell/skin_painter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QList>
#include <QPainter>
#include <QPolygonF>
#include <QtMath>
#include <algorithm>
#include <array>
#include <cmath>

#include "session/keys/key_table.h"

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

// Legends such as "10ˣ" and "SIN⁻¹" carry superscripts, which most fonts draw far
// too small at these sizes: they are drawn as raised text of their own.
struct LegendRun {
    QString text;
    bool raised;
};

QList<LegendRun> legendRuns(const QString& legend) {
    QList<LegendRun> runs;
    for (const QChar c : legend) {
        QChar plain = c;
        bool raised = true;
        switch (c.unicode()) {
            case 0x02E3:
                plain = QLatin1Char('x');
                break;
            case 0x207B:
                plain = QChar(0x2212);  // minus sign
                break;
            case 0x00B9:
                plain = QLatin1Char('1');
                break;
            case 0x00B2:
                plain = QLatin1Char('2');
                break;
            default:
                raised = false;
        }
        if (runs.isEmpty() || runs.last().raised != raised) runs.append({QString(), raised});
        runs.last().text += plain;
    }
    return runs;
}

QFont raisedFont(const QFont& font) {
    QFont small = font;
    small.setPixelSize(qMax(1, qRound(font.pixelSize() * 0.72)));
    return small;
}

qreal legendWidth(const QList<LegendRun>& runs, const QFont& font) {
    const QFontMetricsF normal(font), raised(raisedFont(font));
    qreal width = 0;
    for (const LegendRun& run : runs)
        width += (run.raised ? raised : normal).horizontalAdvance(run.text);
    return width;
}

// Draws the legend with its baseline at baseline, aligned left, right or centred in
// [left, right]; a legend wider than that is narrowed to fit.
void drawLegend(QPainter& p, const QString& legend, QFont font, qreal left, qreal right,
                qreal baseline, Qt::Alignment align) {
    const QList<LegendRun> runs = legendRuns(legend);
    const qreal room = right - left;
    const qreal wide = legendWidth(runs, font);
    if (wide > room && wide > 0) font.setStretch(qMax(50, int(100 * room / wide)));
    const qreal width = legendWidth(runs, font);
    qreal x = align & Qt::AlignRight  ? right - width
              : align & Qt::AlignLeft ? left
                                      : left + (room - width) / 2;
    const QFont small = raisedFont(font);
    const qreal lift = QFontMetricsF(font).capHeight() * 0.45;
    for (const LegendRun& run : runs) {
        const QFont& f = run.raised ? small : font;
        p.setFont(f);
        p.drawText(QPointF(x, run.raised ? baseline - lift : baseline), run.text);
        x += QFontMetricsF(f).horizontalAdvance(run.text);
    }
}

// The rows above a key that its legends may use: the gap up to the next key above
// that shares columns with it.
constexpr int legendGap = 10;

int legendRoom(const SkinKey& key) {
    const KeyBox& r = key.box;
    int top = r.top - legendGap;
    for (const SkinKey& other : skinKeys) {
        const KeyBox& o = other.box;
        if (o.left < r.right && r.left < o.right && o.bottom <= r.top)
            top = std::max(top, o.bottom);
    }
    return r.top - top;
}

double channel(double value) {
    value /= 255.0;
    return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& c) {
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
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

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor legendColour(const QColor& colour, const QColor& face) {
    constexpr double wanted = 7.0;
    const bool darken = luminance(face) > 0.18;
    QColor c = colour.toHsl();
    for (int step = 0; step < 64 && contrastRatio(c, face) < wanted; ++step) {
        const int lightness = c.lightness();
        if ((darken && lightness == 0) || (!darken && lightness == 255)) break;
        c.setHsl(c.hslHue(), c.hslSaturation(),
                 darken ? qMax(0, lightness - 8) : qMin(255, lightness + 8));
    }
    return c.toRgb();
}

void paintSkinPicture(QPainter& p, const QColor& face) {
    p.save();
    p.fillRect(QRect(0, skinTop, skinWidth, skinHeight), face);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QFont keyFont(QStringLiteral("Sans Serif"));
    keyFont.setStyleHint(QFont::SansSerif);
    keyFont.setPixelSize(10);
    keyFont.setBold(true);
    // The legends above the keys get the whole 10-pixel gap: capitals of 7 pixels.
    QFont smallFont = keyFont;
    smallFont.setPixelSize(9);
    smallFont.setBold(true);
    const QColor second = legendColour(secondLegendColour, face);
    const QColor alpha = legendColour(alphaLegendColour, face);

    // The round pad behind the four arrows, clear of the legends beside and below it.
    p.setPen(QPen(face.darker(130), 1));
    p.setBrush(face.darker(112));
    p.drawEllipse(QRectF(139.5, 166.5, 84, 63.5));

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
            const qreal baseline = box.center().y() + QFontMetricsF(keyFont).capHeight() / 2;
            drawLegend(p, QString::fromUtf8(key.legend), keyFont, box.left() + 1, box.right() - 1,
                       baseline, Qt::AlignHCenter);
        }

        // Shift legends sit in the gap above the key, on a baseline just above it; where
        // a key above reaches into the gap (the arrows), they shrink to the room left.
        const int room = legendRoom(key);
        const qreal left = r.left + 1, right = r.right - 1;
        const qreal baseline = room < legendGap ? r.top - 0.5 : r.top - 1.5;
        QFont font = smallFont;
        const qreal capShare = QFontMetricsF(smallFont).capHeight() / smallFont.pixelSize();
        if (room < legendGap)
            font.setPixelSize(
                qMin(smallFont.pixelSize(), int((baseline - (r.top - room)) / capShare)));
        const bool both = *key.secondLegend && *key.alphaLegend;
        const qreal alphaWidth =
            both ? legendWidth(legendRuns(QString::fromUtf8(key.alphaLegend)), font) + 2 : 0;
        if (*key.secondLegend) {
            p.setPen(key.style == KeyStyle::alpha ? alpha : second);
            drawLegend(p, QString::fromUtf8(key.secondLegend), font, left, right - alphaWidth,
                       baseline, Qt::AlignLeft);
        }
        if (*key.alphaLegend) {
            p.setPen(alpha);
            drawLegend(p, QString::fromUtf8(key.alphaLegend), font, left, right, baseline,
                       Qt::AlignRight);
        }
    }
    p.restore();
}

QPixmap renderPanel(const QColor& face, qreal scale, qreal devicePixelRatio) {
    const qreal device = scale * devicePixelRatio;
    QPixmap pixmap(qCeil(skinWidth * device), qCeil((skinTop + skinHeight) * device));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(face);
    QPainter p(&pixmap);
    p.scale(scale, scale);
    paintSkinPicture(p, face);
    // The LCD's one-pixel black frame, over the top rows of the key panel as the LCD
    // is; the LCD itself is painted over its inside.
    p.fillRect(QRect(lcdBox.left - 1, lcdBox.top - 1, lcdBox.width() + 2, lcdBox.height() + 2),
               Qt::black);
    return pixmap;
}

}  // namespace vantrel
