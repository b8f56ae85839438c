// The main window's client area, 231 x 447 at 1x and any size above: the LCD with its
// black frame at the top and the key panel below, kept in proportion and centred.
// Hands mouse clicks (mapped onto the 1x layout) and PC keys to the calculator and
// paints what it shows: the LCD and the key drawn pressed.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

#include "session/keys/key_table.h"
#include "session/keys/keypad.h"
#include "session/settings/settings.h"
#include "shell/panel_geometry.h"

namespace vantrel {

class Calculator;

inline constexpr int clientWidth = panelWidth;
inline constexpr int clientHeight = panelHeight;

// Colours as the settings file keeps them: 0x00BBGGRR.
QColor colourFromSetting(uint32_t value);

// Keys that belong to the window's commands and never to the keypad: F6 to F12, Pause
// (the debugger), Insert with Shift (Paste), and while Ctrl presses no calculator key
// (controlFree) Ctrl+C, Ctrl+V and Ctrl+Q.
bool isCommandKey(int key, Qt::KeyboardModifiers modifiers, bool controlFree = false);

class CalculatorView : public QWidget {
    Q_OBJECT
public:
    CalculatorView(Calculator& calculator, QWidget* parent = nullptr);

    void applyLcdColours(uint32_t foreground, uint32_t background);
    // Where the panel is drawn now, and the LCD's part of the view.
    PanelPlacement placement() const;
    QRect lcdArea() const;
    // A 1x layout rectangle in view coordinates, grown to whole pixels.
    QRect toView(const KeyBox& box) const;

    // Square LCD pixels, or in the 1x picture's proportions (Settings::squarePixels).
    void setSquarePixels(SquarePixels choice);
    // Whether the LCD's pixels are drawn square at the view's size now.
    bool squarePixelsShown() const;

    // The size the view asks for: the panel at this zoom.
    void setPreferredZoom(int zoom);
    QSize sizeHint() const override;

    // The LCD picture at its 1x size (212 x 128), in the current colours.
    QImage lcdImage() const;
    // The colour of each shade of the LCD picture, from the background to the foreground.
    using ShadeColours = std::array<QRgb, 256>;
    ShadeColours shadeColours() const;

    // The key drawn pressed, -1 for none.
    int pressedKey() const { return shownKey_; }
    // Draws the key the calculator shows pressed now, and the LCD anew once the
    // calculator went off or on.
    void showPressedKey();

    // A key of the window's commands (isCommandKey) went down.
    std::function<void(int key, Qt::KeyboardModifiers modifiers)> onCommandKey;
    // A window key that acts while held (fast-forward): true when it took the key. Told
    // of the key going down (its repeats too) and up.
    std::function<bool(int key, Qt::KeyboardModifiers modifiers, bool down)> onHoldKey;
    // A press found the key queue full.
    std::function<void()> onKeyDropped;
    // Right-button release over the LCD.
    std::function<void(const QPoint& globalPos)> onLcdContextMenu;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool) override { return false; }  // Tab is [2nd]

private:
    void paintKeyEdge(QPainter& p, int index, bool pressed) const;
    void paintLcd(QPainter& p, const PanelPlacement& at);
    bool squareAt(int frameWidth, int frameHeight) const;
    PanelPlacement placementFor(qreal devicePixelRatio) const;
    void reportPress(PressOutcome outcome);
    // The view point on the 1x layout.
    QPoint toLayout(const QPointF& at) const;

    Calculator& calculator_;
    QColor foreground_{255, 255, 255};
    QColor background_{0, 0, 0};
    int shownKey_ = -1;
    bool shownOn_ = false;  // whether the LCD was last painted on
    int preferredZoom_ = 1;
    SquarePixels squarePixels_ = SquarePixels::fromTwice;
    QPixmap panel_;  // the panel without the LCD, at the scale it was drawn for
    qreal panelScale_ = 0;
    QColor panelFace_;
    QImage cells_;  // the LCD at whole cells, reused from paint to paint
};

}  // namespace vantrel
