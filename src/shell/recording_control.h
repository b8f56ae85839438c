// Tools > Record Animation: the LCD recorded as an animated GIF while the window runs,
// a frame at each tick where the picture changed, in the screenshot folder with the
// next number of the screenshot series. The status line shows how long it has been
// recording; closing the window ends the recording and keeps it.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "session/screenshots/lcd_recording.h"

class QAction;
class QLabel;
class QStatusBar;
class QWidget;

namespace vantrel {

class Calculator;
struct Settings;

class RecordingControl : public QObject {
    Q_OBJECT
public:
    RecordingControl(Calculator& calculator, const Settings& settings, QStatusBar* statusLine,
                     QWidget* window);

    // The menu's checkable action; triggering it starts or ends a recording.
    QAction* action() const { return action_; }
    bool recording() const { return recording_.recording(); }
    // At the window's timer: the LCD's picture now.
    void tick();
    // Ends a recording under way and keeps it. closing: the window goes, so a failure
    // is told on the standard error rather than in a message box.
    void stop(bool closing = false);

    // Tells where the recording went (the text, and the folder a click opens).
    std::function<void(const QString&, const QString&)> onWritten;

private:
    void start();
    void addFrame();
    void failed(const Failure& failure, bool closing = false);
    // The recording's time: the host's, or in the hardware model the emulated time of
    // the LCD's frames (which stands still while the calculator does, and never runs
    // backwards when a rewind or a loaded state takes the clock back).
    uint64_t nowMs();

    Calculator& calculator_;
    const Settings& settings_;
    QWidget* window_;
    QAction* action_;
    QLabel* label_;
    LcdRecording recording_;
    QElapsedTimer clock_;
    std::optional<uint64_t> lastFrameMs_;
    uint64_t emulatedMs_ = 0;
    bool captions_ = false;
    std::vector<uint8_t> lastCaption_;
};

}  // namespace vantrel
