#include "shell/skin_painter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPolygonF>

#include <array>

#include "hardware/keypad.h"

namespace vantrel {

namespace {

enum class KeyStyle { function, arrow, second, alpha, digit, plain, enter };

struct Legend {
    const char* main;    // on the key (UTF-8); empty for the arrows
    const char* second;  // the 2nd function, above the key on the left
    const char* alpha;   // the alpha letter, above the key on the right
    KeyStyle style;
};

// By keyRects index.
const std::array<Legend, keyCount> legends{{
    {"F1", "M1", "", KeyStyle::function},
    {"F2", "M2", "", KeyStyle::function},
    {"F3", "M3", "", KeyStyle::function},
    {"F4", "M4", "", KeyStyle::function},
    {"F5", "M5", "", KeyStyle::function},
    {"", "", "", KeyStyle::arrow},  // up
    {"", "", "", KeyStyle::arrow},  // right
    {"", "", "", KeyStyle::arrow},  // left
    {"", "", "", KeyStyle::arrow},  // down
    {"2nd", "", "", KeyStyle::second},
    {"EXIT", "QUIT", "", KeyStyle::plain},
    {"MORE", "MODE", "", KeyStyle::plain},
    {"ALPHA", "alpha", "", KeyStyle::alpha},
    {"x-VAR", "LINK", "", KeyStyle::plain},
    {"DEL", "INS", "", KeyStyle::plain},
    {"GRAPH", "SOLVER", "", KeyStyle::plain},
    {"STAT", "SIMULT", "", KeyStyle::plain},
    {"PRGM", "POLY", "", KeyStyle::plain},
    {"CUSTOM", "CATLG", "", KeyStyle::plain},
    {"CLEAR", "TOLER", "", KeyStyle::plain},
    {"LOG", "10\u02E3", "A", KeyStyle::plain},
    {"SIN", "SIN\u207B\u00B9", "B", KeyStyle::plain},
    {"COS", "COS\u207B\u00B9", "C", KeyStyle::plain},
    {"TAN", "TAN\u207B\u00B9", "D", KeyStyle::plain},
    {"^", "\u03C0", "E", KeyStyle::plain},
    {"LN", "e\u02E3", "F", KeyStyle::plain},
    {"EE", "x\u207B\u00B9", "G", KeyStyle::plain},
    {"(", "[", "H", KeyStyle::plain},
    {")", "]", "I", KeyStyle::plain},
    {"\u00F7", "MATH", "J", KeyStyle::plain},
    {"x\u00B2", "\u221A", "K", KeyStyle::plain},
    {"7", "CALC", "L", KeyStyle::digit},
    {"8", "VECTR", "M", KeyStyle::digit},
    {"9", "MATRX", "N", KeyStyle::digit},
    {"\u00D7", "CONS", "O", KeyStyle::plain},
    {",", "ANGLE", "P", KeyStyle::plain},
    {"4", "CONV", "Q", KeyStyle::digit},
    {"5", "STRNG", "R", KeyStyle::digit},
    {"6", "LIST", "S", KeyStyle::digit},
    {"\u2212", "CPLX", "T", KeyStyle::plain},
    {"STO\u25B8", "RCL", "=", KeyStyle::plain},
    {"1", "BASE", "U", KeyStyle::digit},
    {"2", "TEST", "V", KeyStyle::digit},
    {"3", "VARS", "W", KeyStyle::digit},
    {"+", "MEM", "X", KeyStyle::plain},
    {"ON", "OFF", "", KeyStyle::plain},
    {"0", "CHAR", "Y", KeyStyle::digit},
    {".", "=", "Z", KeyStyle::digit},
    {"(\u2212)", "ANS", "_", KeyStyle::digit},
    {"ENTER", "ENTRY", "", KeyStyle::enter},
}};

QColor keyFace(KeyStyle style) {
    switch (style) {
    case KeyStyle::function: return {226, 228, 232};
    case KeyStyle::arrow: return {92, 98, 108};
    case KeyStyle::second: return {236, 184, 56};
    case KeyStyle::alpha: return {74, 124, 204};
    case KeyStyle::digit: return {236, 238, 240};
    case KeyStyle::enter: return {70, 76, 86};
    case KeyStyle::plain: break;
    }
    return {54, 58, 66};
}

QColor keyText(KeyStyle style) {
    switch (style) {
    case KeyStyle::function:
    case KeyStyle::digit:
    case KeyStyle::second: return {20, 20, 24};
    default: return {248, 248, 248};
    }
}

QRectF inner(const KeyRect& r) {
    // The raised edge takes the outer two pixels of the rectangle.
    return QRectF(r.left + 2, r.top + 2, r.right - r.left - 4, r.bottom - r.top - 4);
}

void drawArrow(QPainter& p, const QRectF& box, int index, const QColor& colour) {
    const QPointF c = box.center();
    const double s = 4.5;
    QPolygonF tri;
    switch (index) {
    case 5: tri << QPointF(c.x(), c.y() - s) << QPointF(c.x() - s, c.y() + s / 2) << QPointF(c.x() + s, c.y() + s / 2); break;
    case 8: tri << QPointF(c.x(), c.y() + s) << QPointF(c.x() - s, c.y() - s / 2) << QPointF(c.x() + s, c.y() - s / 2); break;
    case 7: tri << QPointF(c.x() - s, c.y()) << QPointF(c.x() + s / 2, c.y() - s) << QPointF(c.x() + s / 2, c.y() + s); break;
    default: tri << QPointF(c.x() + s, c.y()) << QPointF(c.x() - s / 2, c.y() - s) << QPointF(c.x() - s / 2, c.y() + s); break;
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

    for (int i = 0; i < keyCount; ++i) {
        const KeyRect& r = keyRects[i];
        const Legend& legend = legends[i];
        const QRectF box = inner(r);
        p.setPen(Qt::NoPen);
        p.setBrush(keyFace(legend.style));
        p.drawRoundedRect(box, 2, 2);

        if (legend.style == KeyStyle::arrow) {
            drawArrow(p, box, i, QColor(240, 240, 240));
        } else {
            p.setPen(keyText(legend.style));
            // Long legends ("CUSTOM") narrow their letters rather than lose them.
            const QString text = QString::fromUtf8(legend.main);
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
        if (*legend.second) {
            p.setPen(legend.style == KeyStyle::alpha ? alphaLegendColour : secondLegendColour);
            p.drawText(above, Qt::AlignLeft | Qt::AlignBottom, QString::fromUtf8(legend.second));
        }
        if (*legend.alpha) {
            p.setPen(alphaLegendColour);
            p.drawText(above, Qt::AlignRight | Qt::AlignBottom, QString::fromUtf8(legend.alpha));
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
