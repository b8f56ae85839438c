// The calculator window: the LCD and key panel under a menu bar, the emulation
// thread's life, the 50 ms timer and the close sequence with its save question.
#pragma once

#include <QMainWindow>
#include <QTimer>

#include <memory>

#include "hardware/keypad.h"
#include "shell/common/settings.h"

class QMenu;
class QSessionManager;

namespace vantrel {

struct Machine;
class EmulationThread;
class QtHost;
class CalculatorView;

enum Command : int {
    cmdScreenshot = 40001,
    cmdUpload = 40002,
    cmdClose = 40004,
    cmdPreferences = 40006,
    cmdExit = 40007,
    cmdKill = 40008,
    cmdKillAlias = 40009,
    cmdAbout = 40010,
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(Settings& settings, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The creation work: ROM image, state file, thread (waiting for the first tick),
    // colours, timer. False only when the thread could not be made.
    bool startEmulation();
    // Post Stop and wait at most 4000 ms. True when a thread existed and ended; a
    // thread that did not end is left alone with its machine for the rest of the run.
    bool stopEmulationThread();
    // The close sequence. True when the window has gone.
    bool closeMainWindow();
    // Closes without any question (signals, sessions that allow no interaction):
    // saves as saveStateMode says, counting "ShowDialog" as "save while on".
    void closeWithoutDialogs();
    void onCommand(int id);
    // Upload a variable file chosen outside the Open dialog (dropped on the window,
    // named on the command line): the Upload command with the dialog answered.
    void uploadGivenFile(const std::string& path);

    // Place the window at the centre of the available screen area.
    void placeOnScreen();

    bool romMissing() const { return romMissing_; }
    bool romLoadFailed() const { return romLoadFailed_; }
    bool closed() const { return closed_; }
    int threadExitCode() const { return threadExitCode_; }
    bool hasEmulationThread() const { return thread_ != nullptr; }
    Machine& machine() { return *machine_; }
    Keypad& keypad() { return *keypad_; }
    CalculatorView* view() const { return view_; }
    QTimer& timer() { return timer_; }

    // Raise this window, or the dialog open on it.
    void bringToFront();

signals:
    // The window has gone: the program ends.
    void windowGone();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildMenus();
    void showLcdMenu(const QPoint& globalPos);
    void destroyWindow();
    void threadEnded(int code);
    void runPreferencesCommand();
    void runUploadCommand();
    void applyLcdColours(uint32_t foreground, uint32_t background);
    void saveStateReporting();
    void leaveMachine();

    Settings& settings_;
    std::unique_ptr<Machine> machine_;
    std::unique_ptr<Keypad> keypad_;
    std::unique_ptr<QtHost> host_;
    std::unique_ptr<EmulationThread> thread_;
    CalculatorView* view_ = nullptr;
    QMenu* lcdMenu_ = nullptr;
    QTimer timer_;
    bool romMissing_ = false;
    bool romLoadFailed_ = false;
    bool closed_ = false;
    bool machineLeft_ = false;  // a thread that would not stop still owns the machine
    int threadExitCode_ = 0;
};

}  // namespace vantrel
