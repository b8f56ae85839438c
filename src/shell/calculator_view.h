// The main window's client area, 231 x 447: the LCD with its black frame at the top
// and the key panel below. Paints the LCD from calculator RAM, shows key presses,
// and hands mouse clicks and PC keys to the keypad.
#pragma once

#include <QPixmap>
#include <QWidget>

#include <cstdint>
#include <functional>

#include "hardware/keypad.h"

namespace vantrel {

struct Machine;

inline constexpr int clientWidth = 231;
inline constexpr int clientHeight = 447;

// Colours as the settings file keeps them: 0x00BBGGRR.
QColor colourFromSetting(uint32_t value);

class CalculatorView : public QWidget, public KeyPainter {
    Q_OBJECT
public:
    CalculatorView(Machine& machine, Keypad& keypad, QWidget* parent = nullptr);

    void applyLcdColours(uint32_t foreground, uint32_t background);
    // Thread-safe: asks for a repaint of the LCD rectangle only.
    void requestLcdRepaint();
    static QRect lcdArea() { return {lcdRect.left, lcdRect.top, lcdRect.right - lcdRect.left, lcdRect.bottom - lcdRect.top}; }

    // The LCD picture at its shown size, in the current colours.
    QImage lcdImage() const;

    // KeyPainter
    void drawKeyPressed(int index) override;
    void drawKeysRaised() override;
    int pressedKey() const { return pressedKey_; }

    // F6, F7 and F8 go to the window, never to the keypad.
    std::function<void(int key)> onFunctionKey;
    // A press found the key queue full.
    std::function<void()> onKeyDropped;
    // Right-button release over the LCD.
    std::function<void(const QPoint& globalPos)> onLcdContextMenu;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool) override { return false; }  // Tab is [2nd]

private:
    void paintKeyEdge(QPainter& p, int index, bool pressed) const;
    void reportPress(PressOutcome outcome);

    Machine& machine_;
    Keypad& keypad_;
    QColor foreground_{255, 255, 255};
    QColor background_{0, 0, 0};
    int pressedKey_ = -1;
    QPixmap skin_;
};

}  // namespace vantrel
