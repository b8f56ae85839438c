#include "shell/calculator_view.h"

#include <QKeyEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>

#include <optional>

#include "hardware/lcd_picture.h"
#include "hardware/machine.h"
#include "shell/skin_painter.h"

namespace vantrel {

QColor colourFromSetting(uint32_t value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

namespace {

std::optional<PcKey> pcKeyFor(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Backspace: return PcKey::backspace;
    // Shift+Tab arrives as Backtab; it presses [2nd] all the same.
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return PcKey::tab;
    case Qt::Key_Return:
    case Qt::Key_Enter: return PcKey::enter;
    case Qt::Key_Control: return PcKey::control;
    case Qt::Key_Escape: return PcKey::escape;
    case Qt::Key_Space: return PcKey::space;
    case Qt::Key_End: return PcKey::end;
    case Qt::Key_Home: return PcKey::home;
    case Qt::Key_Left: return PcKey::left;
    case Qt::Key_Up: return PcKey::up;
    case Qt::Key_Right: return PcKey::right;
    case Qt::Key_Down: return PcKey::down;
    case Qt::Key_Insert: return PcKey::insert;
    case Qt::Key_Delete: return PcKey::del;
    case Qt::Key_F1: return PcKey::f1;
    case Qt::Key_F2: return PcKey::f2;
    case Qt::Key_F3: return PcKey::f3;
    case Qt::Key_F4: return PcKey::f4;
    case Qt::Key_F5: return PcKey::f5;
    case Qt::Key_AsciiCircum:
    case Qt::Key_Dead_Circumflex:
        // Only a layout that types "^" with one unshifted key reaches [^] this way.
        if (!(event.modifiers() & Qt::ShiftModifier)) return PcKey::caret;
        return std::nullopt;
    default: return std::nullopt;
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

CalculatorView::CalculatorView(Machine& machine, Keypad& keypad, QWidget* parent)
    : QWidget(parent), machine_(machine), keypad_(keypad) {
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

void CalculatorView::requestLcdRepaint() {
    QMetaObject::invokeMethod(this, [this] { update(lcdArea()); }, Qt::QueuedConnection);
}

QImage CalculatorView::lcdImage() const {
    // One copy of the LCD memory, taken while the calculator may be writing it; the
    // stretch then works on bytes nobody changes.
    const LcdBytes lcd = lcdMemoryCopy(machine_);
    ShownLcd shown;
    stretchLcd(lcd.data(), shown);
    QImage image(lcdShownWidth, lcdShownHeight, QImage::Format_RGB32);
    const QRgb set = foreground_.rgb();
    const QRgb clear = background_.rgb();
    for (int y = 0; y < lcdShownHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < lcdShownWidth; ++x) line[x] = shown[y * lcdShownWidth + x] ? set : clear;
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
        for (int i = 0; i < keyCount; ++i) paintKeyEdge(p, i, i == pressedKey_);
    }
    // Integral scales keep the nearest-neighbour pixels sharp.
    p.drawImage(lcd.topLeft(), lcdImage());
}

void CalculatorView::paintKeyEdge(QPainter& p, int index, bool pressed) const {
    const KeyRect& k = keyRects[index];
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

void CalculatorView::drawKeyPressed(int index) {
    if (index < 0 || index >= keyCount) return;
    pressedKey_ = index;
    const KeyRect& k = keyRects[index];
    update(QRect(k.left, k.top, k.right - k.left, k.bottom - k.top));
}

void CalculatorView::drawKeysRaised() {
    if (pressedKey_ < 0) return;
    const KeyRect& k = keyRects[pressedKey_];
    pressedKey_ = -1;
    update(QRect(k.left, k.top, k.right - k.left, k.bottom - k.top));
}

void CalculatorView::reportPress(PressOutcome outcome) {
    if (outcome == PressOutcome::dropped && onKeyDropped) onKeyDropped();
}

void CalculatorView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint at = event->position().toPoint();
        reportPress(keypad_.pressAt(at.x(), at.y(), this));
    }
}

void CalculatorView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        keypad_.releaseMouse(this);
    } else if (event->button() == Qt::RightButton) {
        if (lcdArea().contains(event->position().toPoint()) && onLcdContextMenu)
            onLcdContextMenu(event->globalPosition().toPoint());
    }
}

void CalculatorView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    keypad_.dragTo(at.x(), at.y(), this);
}

void CalculatorView::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_F6 || key == Qt::Key_F7 || key == Qt::Key_F8) {
        if (!event->isAutoRepeat() && onFunctionKey) onFunctionKey(key);
        return;
    }
    // A held PC key holds its calculator key; the calculator repeats by itself.
    if (event->isAutoRepeat()) return;
    const QString text = event->text();
    const char32_t character = text.isEmpty() ? 0 : text.toUcs4().value(0);
    reportPress(keypad_.keyboardPress(this, keySource(*event),
                                      pcKeyFor(*event).value_or(PcKey::other), character));
}

void CalculatorView::keyReleaseEvent(QKeyEvent* event) {
    if (event->isAutoRepeat()) return;
    keypad_.keyboardRelease(this, keySource(*event));
}

void CalculatorView::focusOutEvent(QFocusEvent* event) {
    // A key released in another window never reports here; let go of it now.
    keypad_.releaseKeyboard(this);
    QWidget::focusOutEvent(event);
}

}  // namespace vantrel
