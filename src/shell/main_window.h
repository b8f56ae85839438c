// The calculator window: the LCD and key panel under a menu bar, the 50 ms timer, and
// the close sequence with its save question. It is the calculator's front end: the
// dialogs the running calculator asks for are shown here.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "session/calculator/calculator.h"
#include "session/calculator/front_end.h"
#include "session/settings/settings.h"

class QAction;
class QActionGroup;
class QMenu;

namespace vantrel {

class CalculatorView;
class DebuggerWindow;
class KeyboardHelp;
class KeyHistoryPanel;
class RecordingControl;
class StateSlotsMenu;
class SpeedControls;
class UiThreadQueue;

enum Command : int {
    cmdScreenshot = 40001,
    cmdUpload = 40002,
    cmdPreferences = 40006,
    cmdExit = 40007,
    cmdKill = 40008,
    cmdAbout = 40010,
    cmdReset = 40011,
    cmdPaste = 40012,
    cmdCopyScreen = 40013,
    cmdKeyboard = 40014,
    cmdDebugger = 40015,
    cmdZoom1 = 40021,  // to cmdZoom1 + 3 for 4x
    cmdOpenRom = 40030,
};

class MainWindow : public QMainWindow, public FrontEnd {
    Q_OBJECT
public:
    explicit MainWindow(Settings& settings, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The creation work: ROM image and state file, the calculator's thread (its first
    // instruction at the first tick), colours, timer. Without a usable ROM it says so.
    void startEmulation();
    // After startEmulation() found no usable ROM image: the first-run dialog, which
    // starts the calculator on a chosen ROM (remembered in the settings) or on the
    // demo, or ends the program. True when the calculator runs.
    bool offerFirstRun();
    // Runs the demo firmware with the demo's own settings (see prepareDemo), which
    // replace the user's in this window and are written back to the demo's file.
    // Fails when it does not run.
    // nextTimeToo: the user's own settings remember to start on the demo while no ROM
    // image runs (Settings::startDemo); only that is written into them.
    Result<> startDemo(bool nextTimeToo = false);
    // The demo's settings replace the window's, which takes the demo's zoom and place.
    Result<> runDemo(const Settings& demo);
    // File > Open ROM... with the file chosen: a ROM image that will not run is told and
    // changes nothing; one that will replaces the one running, which closes first as
    // the window does (its state saved as the settings say, or asked). From the demo
    // the user's own settings come back. The ROM image is remembered (and heads the
    // recent list). False when nothing changed.
    bool openRom(const std::string& path);
    // Stops the calculator (at most 4000 ms). True when it ended; one that did not is
    // left alone for the rest of the run.
    bool stopEmulationThread();
    // The close sequence. True when the window has gone.
    bool closeMainWindow();
    // Closes without any question (signals, sessions that allow no interaction):
    // saves as saveStateMode says, counting "ShowDialog" as "save while on".
    void closeWithoutDialogs();
    // Ends at once without saving the calculator: File > Kill once confirmed, and
    // runs that must not ask (a picture run).
    void kill();
    void onCommand(int id);
    // Upload a variable file chosen outside the Open dialog (dropped on the window,
    // named on the command line): the Upload command with the dialog answered.
    void uploadGivenFile(const std::string& path);

    // Give the window the zoom, size and place it had (Settings: zoom, window), or
    // the zoom's size at the centre of the available screen area; without a zoom
    // chosen, the largest that fits the screen.
    void placeOnScreen();

    // View > Zoom: the calculator at 1x to 4x, the window as large as that takes; a
    // zoom whose window does not fit the screen is refused. The window can be resized
    // freely meanwhile.
    void setZoom(int zoom);
    // Edit > Paste: the text typed into the calculator, one key a tick.
    void pasteText(const QString& text);
    bool pasting() const { return pasteAt_ < pasteText_.size(); }
    // What the status line says now, in full.
    QString statusMessage() const;

    bool romMissing() const { return romMissing_; }
    bool romLoadFailed() const { return romLoadFailed_; }
    // The last ROM image load: its outcome and the file it read.
    const RomLoadResult& romLoad() const { return romLoad_; }
    const std::string& romLookedAt() const { return romLookedAt_; }
    bool runningDemo() const { return demo_; }
    bool closed() const { return closed_; }
    Calculator& calculator() { return calculator_; }
    CalculatorView* view() const { return view_; }
    // The debugger window once Tools > Debugger has made it.
    DebuggerWindow* debuggerWindow() const { return debugger_; }

    // Raise this window, or the dialog open on it.
    void bringToFront();

    // FrontEnd: what the running calculator asks of the window.
    void post(std::function<void()> work) override;
    bool onOwnThread() const override;
    void repaintLcd() override;
    void loopEnded(LoopEnd end) override;
    bool filePrompt(FilePrompt kind, const std::string& fileName,
                    const std::string& reason) override;
    void linkHint(LinkHint hint) override;
    std::optional<std::string> askSaveName(bool backup) override;
    std::optional<std::string> askReceivedFileName(bool backup,
                                                   const std::string& firstVariable) override;
    IllegalOpcodeAnswer illegalOpcode(const IllegalOpcodeSnapshot& snapshot) override;
    std::optional<std::string> chooseUploadFile() override;
    void sleepFor(std::chrono::milliseconds duration) override;

signals:
    // The window has gone: the program ends.
    void windowGone();
    // The demo runs in this window: it answers no later start.
    void demoStarted();
    // Closed by the user, with the window still shown: the moment to save what must be
    // saved and to say when that failed.
    void closing();
    // The window left the demo for a ROM image of the user's.
    void demoEnded();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildMenus();
    void showLcdMenu(const QPoint& globalPos);
    void destroyWindow();
    void runPreferencesCommand();
    void applyLcdColours(uint32_t foreground, uint32_t background);
    void saveStateReporting();
    std::optional<RomLoadResult> startOnRom(const std::string& path);
    void resetCalculator();
    void openRomCommand();
    void fillRecentRoms(QMenu* menu);
    // The user's own settings: the window's, or while the demo runs, read afresh.
    Settings userSettings() const;
    // The calculator runs on the settings' ROM image: it heads the recent list, and the
    // demo no longer starts in its place.
    void romStarted();
    // The close sequence's save question and stop, the window staying: false when the
    // question was cancelled or the window went meanwhile.
    bool endCalculatorRun();
    // After the model changed in Preferences: the run ends as a close ends it, and the
    // calculator starts again from its state file in the chosen model.
    void restartInModel();
    // File > Kill: asks first, since it loses the calculator's work since the last save.
    void killCommand();
    void buildEditMenu(QMenu* edit);
    void buildViewMenu(QMenu* view);
    void onCommandKey(int key, Qt::KeyboardModifiers modifiers);
    void screenshotCommand(bool copyScreen);
    // The status line's message; with a folder, the message stays until the next one,
    // and a click on it opens the folder.
    void showStatus(const QString& text, const QString& folder = {});
    void statusChanged(const QString& message);
    void feedPaste();
    void showKeyboardHelp();
    void showKeyHistory();
    // The settings' key map to the calculator, the menus and the keyboard help.
    void applyKeyMap();
    std::vector<std::pair<QString, QString>> commandKeys() const;
    // The window's size for a calculator area of that size, no larger than the screen.
    QSize windowSizeFor(QSize viewSize) const;
    // What the window adds around the calculator: menus and status line, and the frame.
    QSize chromeSize() const;
    QSize frameExtent() const;
    // The window's outer size at that zoom, frame included.
    QSize windowSizeAt(int zoom) const;
    // The largest zoom at which the whole window fits the screen's available area.
    int fittingZoom() const;
    // View > Zoom: the zooms that do not fit are disabled, with a tooltip that says why.
    void updateZoomChoices();
    void markZoom();
    void rememberPlace();

    Settings& settings_;
    Calculator calculator_;
    UiThreadQueue* uiQueue_ = nullptr;
    CalculatorView* view_ = nullptr;
    StateSlotsMenu* stateSlots_ = nullptr;
    DebuggerWindow* debugger_ = nullptr;
    SpeedControls* speed_ = nullptr;
    QMenu* lcdMenu_ = nullptr;
    QActionGroup* zoomGroup_ = nullptr;
    QAction* squarePixels_ = nullptr;
    QAction* exitAction_ = nullptr;
    KeyboardHelp* keyboardHelp_ = nullptr;
    KeyHistoryPanel* keyHistory_ = nullptr;
    RecordingControl* recording_ = nullptr;
    QTimer timer_;
    QString statusText_;    // what the status line shows, before it was cut to fit
    QString shownStatus_;   // and as it was shown
    QString statusFolder_;  // the folder a click on the message opens, if any
    std::u32string pasteText_;
    std::size_t pasteAt_ = 0;
    // The window's place and calculator area while neither maximised nor minimised.
    QPoint normalPos_;
    QSize normalViewSize_;
    bool placeKnown_ = false;
    bool romMissing_ = false;
    bool romLoadFailed_ = false;
    RomLoadResult romLoad_;
    std::string romLookedAt_;
    std::string userIniPath_;  // the user's settings file while the demo runs, if known
    bool demo_ = false;
    bool closed_ = false;
};

}  // namespace vantrel
