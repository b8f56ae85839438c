// The hardware model's speed in the window: the Speed menu (1/4x to Unlimited,
// remembered in the settings; disabled in the classic model, which runs as fast as the
// host allows), the fast-forward key held for Unlimited, and the status line's part
// that names the model and the speed reached.
#pragma once

#include <QObject>
#include <QTimer>

class QAction;
class QActionGroup;
class QLabel;
class QMainWindow;
class QMenu;

namespace vantrel {

class Calculator;
struct Settings;

// The key held for fast-forward: ` (grave, left of 1), without Shift (Shift+` is ~).
bool isFastForwardKey(int key, Qt::KeyboardModifiers modifiers);

class SpeedControls : public QObject {
    Q_OBJECT
public:
    // Adds the Speed menu before the window's Help menu and its part to the status line.
    SpeedControls(QMainWindow* window, Calculator& calculator, Settings& settings);

    // After the calculator (re)started: the model may have changed.
    void refresh();
    // A key going down (true) or up: true when it was the fast-forward key.
    bool fastForwardKey(int key, Qt::KeyboardModifiers modifiers, bool down);
    // The window lost the keyboard: fast-forward ends.
    void releaseFastForward();

    QMenu* menu() const { return menu_; }
    QLabel* label() const { return label_; }

private:
    void choose(int index);
    void showSpeed();

    Calculator& calculator_;
    Settings& settings_;
    QMenu* menu_ = nullptr;
    QActionGroup* group_ = nullptr;
    QLabel* label_ = nullptr;
    QTimer timer_;
    bool fastForward_ = false;
};

}  // namespace vantrel
