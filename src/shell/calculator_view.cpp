#include "shell/calculator_view.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "hardware/lcd_picture.h"
#include "session/calculator/calculator.h"
#include "session/keys/key_help.h"
#include "session/screenshots/lcd_image.h"
#include "session/settings/settings.h"
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
        case Qt::Key_Alt:
            return PcKey::alt;
        case Qt::Key_PageUp:
            return PcKey::pageUp;
        case Qt::Key_PageDown:
            return PcKey::pageDown;
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

// Device pixels per logical pixel where the painter paints: the screen's ratio, or
// that of a picture the view is rendered into.
qreal deviceRatio(const QPainter& p) {
    const qreal scale = p.deviceTransform().m11();
    return scale > 0 ? scale : 1.0;
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
    setMinimumSize(clientWidth, clientHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setObjectName(QStringLiteral("calculatorView"));
}

void CalculatorView::applyLcdColours(uint32_t foreground, uint32_t background) {
    foreground_ = colourFromSetting(foreground);
    background_ = colourFromSetting(background);
    update(lcdArea());
}

PanelPlacement CalculatorView::placement() const { return placementFor(devicePixelRatioF()); }

PanelPlacement CalculatorView::placementFor(qreal ratio) const {
    PanelPlacement at = placePanel(width(), height());
    // On whole device pixels, so that the panel's picture is copied, not resampled.
    at.left = std::round(at.left * ratio) / ratio;
    at.top = std::round(at.top * ratio) / ratio;
    return at;
}

QRect CalculatorView::toView(const KeyBox& box) const {
    const PanelPlacement at = placement();
    return QRectF(at.left + box.left * at.scale, at.top + box.top * at.scale,
                  box.width() * at.scale, box.height() * at.scale)
        .toAlignedRect();
}

QRect CalculatorView::lcdArea() const { return toView(lcdBox); }

QPoint CalculatorView::toLayout(const QPointF& at) const {
    const PanelPlacement placed = placement();
    return {placed.layoutX(at.x()), placed.layoutY(at.y())};
}

void CalculatorView::setSquarePixels(SquarePixels choice) {
    squarePixels_ = choice;
    update(lcdArea());
}

bool CalculatorView::squareAt(int frameWidth, int frameHeight) const {
    return squarePixels_ == SquarePixels::always || (squarePixels_ == SquarePixels::fromTwice &&
                                                     !lcdCells(frameWidth, frameHeight).stretched);
}

bool CalculatorView::squarePixelsShown() const {
    const qreal ratio = devicePixelRatioF();
    const QRect frame = lcdArea();
    return squareAt(qRound(frame.width() * ratio), qRound(frame.height() * ratio));
}

void CalculatorView::setPreferredZoom(int zoom) {
    preferredZoom_ = std::clamp(zoom, minZoom, maxZoom);
    updateGeometry();
}

QSize CalculatorView::sizeHint() const { return QSize(clientWidth, clientHeight) * preferredZoom_; }

CalculatorView::ShadeColours CalculatorView::shadeColours() const {
    auto setting = [](const QColor& c) {
        return static_cast<uint32_t>(c.red() | c.green() << 8 | c.blue() << 16);
    };
    ShadeColours colours;
    for (std::size_t shade = 0; shade < colours.size(); ++shade)
        colours[shade] = colourFromSetting(blendColour(setting(background_), setting(foreground_),
                                                       static_cast<uint8_t>(shade)))
                             .rgb();
    return colours;
}

QImage CalculatorView::lcdImage() const {
    // One copy of the LCD memory, taken while the calculator may be writing it; the
    // stretch then works on bytes nobody changes.
    const LcdShades lcd = calculator_.lcdPicture();
    const ShadeColours colours = shadeColours();
    QImage image(lcdShownWidth, lcdShownHeight, QImage::Format_RGB32);
    for (int y = 0; y < lcdShownHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const int row = lcdSourceRow(y) * lcdWidth;
        for (int x = 0; x < lcdShownWidth; ++x)
            line[x] = colours[lcd[static_cast<std::size_t>(row + lcdSourceColumn(x))]];
    }
    return image;
}

bool CalculatorView::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QPoint at = toLayout(help->pos());
        if (const auto index = keyIndexAt(at.x(), at.y())) {
            const KeyBox& box = skinKeys[static_cast<std::size_t>(*index)].box;
            QToolTip::showText(help->globalPos(),
                               QString::fromStdString(keyTooltip(*index, calculator_.keyMap())),
                               this, toView(box));
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

void CalculatorView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const qreal ratio = deviceRatio(p);
    const PanelPlacement at = placementFor(ratio);
    // The loop's repaints cover the LCD alone; everything else is the panel's.
    if (!lcdArea().contains(event->rect())) {
        const QColor face = palette().color(QPalette::Button);
        if (panel_.isNull() || panel_.devicePixelRatio() != ratio || panelScale_ != at.scale ||
            panelFace_ != face) {
            panel_ = renderPanel(face, at.scale, ratio);
            panelScale_ = at.scale;
            panelFace_ = face;
        }
        // Room beyond the panel's proportions is the panel's own colour.
        p.fillRect(rect(), face);
        p.drawPixmap(QPointF(at.left, at.top), panel_);
        p.save();
        p.translate(at.left, at.top);
        p.scale(at.scale, at.scale);
        for (int i = 0; i < keyCount; ++i) paintKeyEdge(p, i, i == shownKey_);
        p.restore();
    }
    paintLcd(p, at);
}

void CalculatorView::paintLcd(QPainter& p, const PanelPlacement& at) {
    const qreal ratio = deviceRatio(p);
    // The inside of the frame in device pixels.
    const int left = qRound((at.left + lcdBox.left * at.scale) * ratio);
    const int top = qRound((at.top + lcdBox.top * at.scale) * ratio);
    const int right = qRound((at.left + lcdBox.right * at.scale) * ratio);
    const int bottom = qRound((at.top + lcdBox.bottom * at.scale) * ratio);
    const QRectF frame(left / ratio, top / ratio, (right - left) / ratio, (bottom - top) / ratio);
    // Switched off, the LCD shows no picture at all: a blank glass in the panel's colour,
    // which an empty screen in the LCD's colours is not.
    shownOn_ = calculator_.calculatorOn();
    if (!shownOn_) {
        p.fillRect(frame, palette().color(QPalette::Button));
        return;
    }
    const LcdCells cells =
        lcdCells(right - left, bottom - top, squareAt(right - left, bottom - top));
    if (cells.stretched) {
        // The 1x picture, each LCD row two pixels, the columns spread over 212.
        p.drawImage(frame, lcdImage());
        return;
    }
    const LcdShades lcd = calculator_.lcdPicture();
    const ShadeColours colours = shadeColours();
    const QSize size(cells.width(), cells.height());
    if (cells_.size() != size) cells_ = QImage(size, QImage::Format_RGB32);
    for (int y = 0; y < lcdHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(cells_.scanLine(y * cells.cellHeight));
        for (int x = 0; x < lcdWidth; ++x)
            std::fill_n(line + x * cells.cellWidth, cells.cellWidth,
                        colours[lcd[static_cast<std::size_t>(y * lcdWidth + x)]]);
        for (int row = 1; row < cells.cellHeight; ++row)
            std::memcpy(cells_.scanLine(y * cells.cellHeight + row), line,
                        static_cast<std::size_t>(cells_.bytesPerLine()));
    }
    cells_.setDevicePixelRatio(ratio);
    p.fillRect(frame, background_);
    p.drawImage(QPointF((left + cells.left) / ratio, (top + cells.top) / ratio), cells_);
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
    if (calculator_.calculatorOn() != shownOn_) update(lcdArea());
    const int shown = calculator_.shownKey().value_or(-1);
    if (shown == shownKey_) return;
    for (const int index : {shownKey_, shown}) {
        if (index < 0) continue;
        update(toView(skinKeys[static_cast<std::size_t>(index)].box));
    }
    shownKey_ = shown;
}

void CalculatorView::reportPress(PressOutcome outcome) {
    showPressedKey();
    if (outcome == PressOutcome::dropped && onKeyDropped) onKeyDropped();
}

void CalculatorView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint at = toLayout(event->position());
        reportPress(calculator_.clickAt(at.x(), at.y()));
    }
}

void CalculatorView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        calculator_.releaseMouse();
        showPressedKey();
    } else if (event->button() == Qt::RightButton) {
        const QPoint at = toLayout(event->position());
        if (lcdBox.contains(at.x(), at.y()) && onLcdContextMenu)
            onLcdContextMenu(event->globalPosition().toPoint());
    }
}

void CalculatorView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = toLayout(event->position());
    calculator_.dragMouseTo(at.x(), at.y());
    showPressedKey();
}

bool isCommandKey(int key, Qt::KeyboardModifiers modifiers, bool controlFree) {
    const bool controlShortcut = controlFree && (modifiers & Qt::ControlModifier) &&
                                 !(modifiers & Qt::AltModifier) &&
                                 (key == Qt::Key_C || key == Qt::Key_V || key == Qt::Key_Q);
    return (key >= Qt::Key_F6 && key <= Qt::Key_F12) || key == Qt::Key_Pause ||
           (key == Qt::Key_Insert && (modifiers & Qt::ShiftModifier)) || controlShortcut;
}

void CalculatorView::keyPressEvent(QKeyEvent* event) {
    if (isCommandKey(event->key(), event->modifiers(), calculator_.keyMap().controlFree())) {
        if (!event->isAutoRepeat() && onCommandKey) onCommandKey(event->key(), event->modifiers());
        return;
    }
    if (onHoldKey && onHoldKey(event->key(), event->modifiers(), true)) return;
    // A held PC key holds its calculator key; the calculator repeats by itself.
    if (event->isAutoRepeat()) return;
    const QString text = event->text();
    const char32_t character = text.isEmpty() ? 0 : text.toUcs4().value(0);
    reportPress(calculator_.pcKeyDown(keySource(*event), pcKeyFor(*event).value_or(PcKey::other),
                                      character));
}

void CalculatorView::keyReleaseEvent(QKeyEvent* event) {
    if (event->isAutoRepeat()) return;
    if (onHoldKey && onHoldKey(event->key(), event->modifiers(), false)) return;
    calculator_.pcKeyUp(keySource(*event));
    showPressedKey();
}

void CalculatorView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    update();
}

void CalculatorView::focusOutEvent(QFocusEvent* event) {
    // A key released in another window never reports here; let go of it now.
    calculator_.releasePcKeys();
    if (onHoldKey) onHoldKey(Qt::Key_QuoteLeft, Qt::NoModifier, false);
    showPressedKey();
    QWidget::focusOutEvent(event);
}

}  // namespace vantrel
