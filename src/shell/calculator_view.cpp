#include "shell/calculator_view.h"

#include <QKeyEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <optional>

#include "hardware/lcd_picture.h"
#include "session/calculator.h"
#include "shell/skin_painter.h"

namespace vantrel {

QColor colourFromSetting(uint32_t value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

namespace {

std::optional<PcKey> pcKeyFor(const QKeyEvent& event) {
    switch (event.key()) {
        case Qt::Key_Backspace:
            return PcKey::backspace;
        // Shift+Tab arrives as Backtab; it presses [2nd] all the same.
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return PcKey::tab;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return PcKey::enter;
        case Qt::Key_Control:
            return PcKey::control;
        case Qt::Key_Escape:
            return PcKey::escape;
        case Qt::Key_Space:
            return PcKey::space;
        case Qt::Key_End:
            return PcKey::end;
        case Qt::Key_Home:
            return PcKey::home;
        case Qt::Key_Left:
            return PcKey::left;
        case Qt::Key_Up:
            return PcKey::up;
        case Qt::Key_Right:
            return PcKey::right;
        case Qt::Key_Down:
            return PcKey::down;
        case Qt::Key_Insert:
            return PcKey::insert;
        case Qt::Key_Delete:
            return PcKey::del;
        case Qt::Key_F1:
            return PcKey::f1;
        case Qt::Key_F2:
            return PcKey::f2;
        case Qt::Key_F3:
            return PcKey::f3;
        case Qt::Key_F4:
            return PcKey::f4;
        case Qt::Key_F5:
            return PcKey::f5;
        case Qt::Key_AsciiCircum:
        case Qt::Key_Dead_Circumflex:
            // Only a layout that types "^" with one unshifted key reaches [^] this way.
            if (!(event.modifiers() & Qt::ShiftModifier)) return PcKey::caret;
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

// The physical key where the platform names it, so that a key-up matches its
// key-down whatever modifiers changed in between; else the key's code.
int32_t keySource(const QKeyEvent& event) {
    if (event.nativeScanCode() != 0)
        return static_cast<int32_t>(event.nativeScanCode() & 0x7FFFFFFF);
    return event.key() & 0x7FFFFFFF;
}

}  // namespace

CalculatorView::CalculatorView(Calculator& calculator, QWidget* parent)
    : QWidget(parent), calculator_(calculator) {
    setFixedSize(clientWidth, clientHeight);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setObjectName(QStringLiteral("calculatorView"));
}

void CalculatorView::applyLcdColours(uint32_t foreground, uint32_t background) {
    foreground_ = colourFromSetting(foreground);
    background_ = colourFromSetting(background);
    update(lcdArea());
}

QImage CalculatorView::lcdImage() const {
    // One copy of the LCD memory, taken while the calculator may be writing it; the
    // stretch then works on bytes nobody changes.
    const LcdBytes lcd = calculator_.lcd();
    ShownLcd shown;
    stretchLcd(lcd.data(), shown);
    QImage image(lcdShownWidth, lcdShownHeight, QImage::Format_RGB32);
    const QRgb set = foreground_.rgb();
    const QRgb clear = background_.rgb();
    for (int y = 0; y < lcdShownHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < lcdShownWidth; ++x)
            line[x] = shown[y * lcdShownWidth + x] ? set : clear;
    }
    return image;
}

void CalculatorView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QRect lcd = lcdArea();
    // The loop's repaints cover the LCD alone; everything else is the skin's.
    if (!lcd.contains(event->rect())) {
        const QColor face = palette().color(QPalette::Button);
        const qreal ratio = devicePixelRatioF();
        if (skin_.isNull() || skin_.devicePixelRatio() != ratio) skin_ = renderSkin(face, ratio);
        p.fillRect(QRect(0, 0, clientWidth, skinTop), face);
        p.drawPixmap(0, skinTop, skin_);
        p.fillRect(lcd.adjusted(-1, -1, 1, 1), Qt::black);
        for (int i = 0; i < keyCount; ++i) paintKeyEdge(p, i, i == shownKey_);
    }
    // Integral scales keep the nearest-neighbour pixels sharp.
    p.drawImage(lcd.topLeft(), lcdImage());
}

void CalculatorView::paintKeyEdge(QPainter& p, int index, bool pressed) const {
    const KeyBox& k = skinKeys[static_cast<std::size_t>(index)].box;
    const QPalette& pal = palette();
    // Two one-pixel rings just inside the rectangle, as a 3D edge draws them.
    const QColor light = pal.color(QPalette::Light);
    const QColor midlight = pal.color(QPalette::Midlight);
    const QColor dark = pal.color(QPalette::Dark);
    const QColor shadow = pal.color(QPalette::Shadow);
    auto ring = [&](int inset, const QColor& topLeft, const QColor& bottomRight) {
        const int l = k.left + inset, t = k.top + inset;
        const int r = k.right - 1 - inset, b = k.bottom - 1 - inset;
        p.fillRect(QRect(l, t, r - l, 1), topLeft);
        p.fillRect(QRect(l, t, 1, b - t), topLeft);
        p.fillRect(QRect(l, b, r - l + 1, 1), bottomRight);
        p.fillRect(QRect(r, t, 1, b - t), bottomRight);
    };
    if (pressed) {
        // Etched: a sunken outer ring and a raised inner one.
        ring(0, dark, light);
        ring(1, light, dark);
    } else {
        ring(0, midlight, shadow);
        ring(1, light, dark);
    }
}

void CalculatorView::showPressedKey() {
    const int shown = calculator_.shownKey().value_or(-1);
    if (shown == shownKey_) return;
    for (const int index : {shownKey_, shown}) {
        if (index < 0) continue;
        const KeyBox& k = skinKeys[static_cast<std::size_t>(index)].box;
        update(QRect(k.left, k.top, k.width(), k.height()));
    }
    shownKey_ = shown;
}

void CalculatorView::reportPress(PressOutcome outcome) {
    showPressedKey();
    if (outcome == PressOutcome::dropped && onKeyDropped) onKeyDropped();
}

void CalculatorView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint at = event->position().toPoint();
        reportPress(calculator_.clickAt(at.x(), at.y()));
    }
}

void CalculatorView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        calculator_.releaseMouse();
        showPressedKey();
    } else if (event->button() == Qt::RightButton) {
        if (lcdArea().contains(event->position().toPoint()) && onLcdContextMenu)
            onLcdContextMenu(event->globalPosition().toPoint());
    }
}

void CalculatorView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    calculator_.dragMouseTo(at.x(), at.y());
    showPressedKey();
}

void CalculatorView::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_F6 || key == Qt::Key_F7 || key == Qt::Key_F8 || key == Qt::Key_Pause) {
        if (!event->isAutoRepeat() && onFunctionKey) onFunctionKey(key);
        return;
    }
    // A held PC key holds its calculator key; the calculator repeats by itself.
    if (event->isAutoRepeat()) return;
    const QString text = event->text();
    const char32_t character = text.isEmpty() ? 0 : text.toUcs4().value(0);
    reportPress(calculator_.pcKeyDown(keySource(*event), pcKeyFor(*event).value_or(PcKey::other),
                                      character));
}

void CalculatorView::keyReleaseEvent(QKeyEvent* event) {
    if (event->isAutoRepeat()) return;
    calculator_.pcKeyUp(keySource(*event));
    showPressedKey();
}

void CalculatorView::focusOutEvent(QFocusEvent* event) {
    // A key released in another window never reports here; let go of it now.
    calculator_.releasePcKeys();
    showPressedKey();
    QWidget::focusOutEvent(event);
}

}  // namespace vantrel
