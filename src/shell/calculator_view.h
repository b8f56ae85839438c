// The main window's client area, 231 x 447: the LCD with its black frame at the top
// and the key panel below. Hands mouse clicks and PC keys to the calculator and
// paints what it shows: the LCD and the key drawn pressed.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "session/key_table.h"
#include "session/keypad.h"

namespace vantrel {

class Calculator;

inline constexpr int clientWidth = 231;
inline constexpr int clientHeight = 447;

// Colours as the settings file keeps them: 0x00BBGGRR.
QColor colourFromSetting(uint32_t value);

class CalculatorView : public QWidget {
    Q_OBJECT
public:
    CalculatorView(Calculator& calculator, QWidget* parent = nullptr);

    void applyLcdColours(uint32_t foreground, uint32_t background);
    static QRect lcdArea() { return {lcdBox.left, lcdBox.top, lcdBox.width(), lcdBox.height()}; }

    // The LCD picture at its shown size, in the current colours.
    QImage lcdImage() const;

    // The key drawn pressed, -1 for none.
    int pressedKey() const { return shownKey_; }
    // Draws the key the calculator shows pressed now.
    void showPressedKey();

    // F6, F7, F8 and Pause go to the window, never to the keypad.
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

    Calculator& calculator_;
    QColor foreground_{255, 255, 255};
    QColor background_{0, 0, 0};
    int shownKey_ = -1;
    QPixmap skin_;
};

}  // namespace vantrel
