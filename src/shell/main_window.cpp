#include "shell/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <thread>

#include "session/demo_firmware.h"
#include "session/timer_tick.h"
#include "shell/about_box.h"
#include "shell/calculator_view.h"
#include "shell/debugger_window.h"
#include "shell/exit_dialog.h"
#include "shell/file_drop.h"
#include "shell/first_run_dialog.h"
#include "shell/icons.h"
#include "shell/illegal_opcode_dialog.h"
#include "shell/link_prompts.h"
#include "shell/preferences_dialog.h"
#include "shell/screenshot.h"
#include "shell/ui_thread_queue.h"

namespace vantrel {

namespace {

std::string programDirectory() { return QCoreApplication::applicationDirPath().toStdString(); }

// The window's outer size that the centring rule assumes, frame included.
constexpr int placementWidth = 237;
constexpr int placementHeight = 487;

}  // namespace

MainWindow::MainWindow(Settings& settings, QWidget* parent)
    : QMainWindow(parent),
      settings_(settings),
      calculator_(*this),
      uiQueue_(new UiThreadQueue(this)) {
    setWindowTitle(titleText());
    setWindowIcon(appIcon());
    setObjectName(QStringLiteral("VantrelCalculator"));
    // A minimise box, no maximise box, no sizing.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    view_ = new CalculatorView(calculator_, this);
    setCentralWidget(view_);
    view_->setFocus();
    view_->onFunctionKey = [this](int key) {
        if (key == Qt::Key_F6)
            onCommand(cmdUpload);
        else if (key == Qt::Key_Pause)
            onCommand(cmdDebugger);
        else if (key == Qt::Key_F7)
            onCommand(cmdScreenshot);
        else
            onCommand(cmdPreferences);
    };
    view_->onLcdContextMenu = [this](const QPoint& at) { showLcdMenu(at); };
    view_->onKeyDropped = [this] {
        if (settings_.beepOnErrors) QApplication::beep();
    };
    buildMenus();
    setFixedSize(sizeHint());

    new FileDropUploader(this, [this](const std::string& path) { uploadGivenFile(path); });

    timer_.setInterval(timerPeriod);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] {
        calculator_.tick();
        // A key delivered at the tick may have let go of the one drawn pressed.
        view_->showPressedKey();
    });
}

MainWindow::~MainWindow() {
    calculator_.stop();
    // The debugger window reaches the calculator's debug session, which goes with it.
    delete debugger_;
    debugger_ = nullptr;
    // The view reaches the calculator (focus and paint events while it goes), so it
    // goes first; the window's other children never do.
    delete view_;
    view_ = nullptr;
}

void MainWindow::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setNativeMenuBar(false);
    auto addCommand = [this](QMenu* menu, const QString& text, int id) {
        QAction* action = menu->addAction(text);
        action->setData(id);
        action->setObjectName(QStringLiteral("command%1").arg(id));
        connect(action, &QAction::triggered, this, [this, id] { onCommand(id); });
        return action;
    };
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    addCommand(file, QStringLiteral("&Reset..."), cmdReset);
    addCommand(file, QStringLiteral("&Kill"), cmdKill);
    file->addSeparator();
    addCommand(file, QStringLiteral("E&xit"), cmdExit);
    QMenu* tools = bar->addMenu(QStringLiteral("&Tools"));
    // The shortcuts are shown only: F6 to F8 and Pause reach the window through the LCD view's
    // key handling, so that they never press a calculator key.
    addCommand(tools, QStringLiteral("&Upload\tF6"), cmdUpload);
    addCommand(tools, QStringLiteral("&Screenshot\tF7"), cmdScreenshot);
    addCommand(tools, QStringLiteral("&Debugger\tPause"), cmdDebugger);
    tools->addSeparator();
    addCommand(tools, QStringLiteral("&Preferences\tF8"), cmdPreferences);

    // Help at the right end of the bar, whatever the style.
    auto* helpBar = new QMenuBar(bar);
    helpBar->setNativeMenuBar(false);
    QMenu* help = helpBar->addMenu(QStringLiteral("&Help"));
    addCommand(help, QStringLiteral("&About"), cmdAbout);
    bar->setCornerWidget(helpBar, Qt::TopRightCorner);

    lcdMenu_ = new QMenu(QStringLiteral("&Tools"), this);
    addCommand(lcdMenu_, QStringLiteral("&Upload File"), cmdUpload);
    addCommand(lcdMenu_, QStringLiteral("&Screenshot"), cmdScreenshot);
    lcdMenu_->addSeparator();
    addCommand(lcdMenu_, QStringLiteral("&Preferences"), cmdPreferences);
}

void MainWindow::showLcdMenu(const QPoint& globalPos) { lcdMenu_->popup(globalPos); }

void MainWindow::placeOnScreen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect area = screen->availableGeometry();
    if (area.isEmpty()) area = screen->geometry();
    const int x = qMax(0, (area.width() - placementWidth) / 2);
    const int y = qMax(0, (area.height() - placementHeight) / 2);
    move(area.left() + x, area.top() + y);
}

void MainWindow::startEmulation() {
    makeDataDirectory(settings_);
    romLookedAt_ = resolvePath(settings_, settings_.romPath);
    romLoad_ = calculator_.load(romLookedAt_, resolvePath(settings_, settings_.ramPath),
                                settings_.testRomVersion);
    if (calculator_.usable()) {
        calculator_.start();
    } else {
        // Told by the first-run dialog (offerFirstRun).
        romMissing_ = true;
        if (romLoad_.outcome != RomLoad::wrongVersion) romLoadFailed_ = true;
    }
    applyLcdColours(settings_.foreground, settings_.background);
    timer_.start();
}

bool MainWindow::offerFirstRun() {
    if (closed_ || !romMissing_) return !closed_;
    const bool demoAvailable = !findDemoFirmware(programDirectory()).empty();
    const FirstRunChoice choice = FirstRunDialog::ask(
        this, romLookedAt_, romLoad_, demoAvailable,
        [this](const std::string& path) { return startOnRom(path); },
        [this] { return startDemo(); });
    if (closed_) return false;  // a signal ended the program meanwhile
    if (choice == FirstRunChoice::quit) {
        destroyWindow();
        return false;
    }
    return true;
}

std::optional<RomLoadResult> MainWindow::startOnRom(const std::string& path) {
    romLookedAt_ = path;
    romLoad_ =
        calculator_.load(path, resolvePath(settings_, settings_.ramPath), settings_.testRomVersion);
    if (!calculator_.usable()) return romLoad_;
    settings_.romPath = path;
    romMissing_ = romLoadFailed_ = false;
    calculator_.start();
    return std::nullopt;
}

std::optional<std::string> MainWindow::startDemo() {
    Settings demo;
    std::string why;
    if (!prepareDemo(findDemoFirmware(programDirectory()), demo, &why)) return why;
    return runDemo(demo);
}

std::optional<std::string> MainWindow::runDemo(const Settings& demo) {
    const std::string rom = resolvePath(demo, demo.romPath);
    const RomLoadResult result =
        calculator_.load(rom, resolvePath(demo, demo.ramPath), demo.testRomVersion);
    if (!calculator_.usable())
        return std::string(romMessage(result)) + "\n" + rom + ": " + romProblemText(result);
    settings_ = demo;
    romLoad_ = result;
    romLookedAt_ = rom;
    romMissing_ = romLoadFailed_ = false;
    demo_ = true;
    setWindowTitle(titleText() + QStringLiteral(" (demo)"));
    applyLcdColours(settings_.foreground, settings_.background);
    calculator_.start();
    timer_.start();
    emit demoStarted();
    return std::nullopt;
}

void MainWindow::applyLcdColours(uint32_t foreground, uint32_t background) {
    view_->applyLcdColours(foreground, background);
}

bool MainWindow::stopEmulationThread() {
    const bool ended = calculator_.stop();
    if (!ended) timer_.stop();
    return ended;
}

void MainWindow::saveStateReporting() {
    std::string why;
    if (!calculator_.saveState(&why))
        QMessageBox::warning(
            this, titleText(),
            QStringLiteral("The calculator state could not be saved to \"%1\".\n%2")
                .arg(QString::fromStdString(calculator_.ramPath()), QString::fromStdString(why)));
}

bool MainWindow::closeMainWindow() {
    if (closed_) return true;
    const CloseSave decision = calculator_.saveOnClose(settings_.saveStateMode, true);
    bool save = decision == CloseSave::save;
    if (decision == CloseSave::ask) {
        const ExitChoice choice = ExitDialog::ask(this);
        if (closed_) return true;  // closed meanwhile (a signal while the question was open)
        if (choice.answer == ExitAnswer::cancel) return false;
        save = choice.answer == ExitAnswer::yes;
        if (choice.dontAskAgain)
            settings_.saveStateMode = save ? SaveStateMode::always : SaveStateMode::never;
    }
    const bool stopped = stopEmulationThread();
    if (save) {
        if (stopped)
            saveStateReporting();
        else
            QMessageBox::warning(
                this, titleText(),
                QStringLiteral("The calculator did not stop; its state was not saved."));
    }
    destroyWindow();
    return true;
}

void MainWindow::closeWithoutDialogs() {
    if (closed_) return;
    const bool save = calculator_.saveOnClose(settings_.saveStateMode, false) == CloseSave::save;
    if (stopEmulationThread() && save) calculator_.saveState();
    destroyWindow();
}

void MainWindow::destroyWindow() {
    if (closed_) return;
    closed_ = true;
    stopEmulationThread();
    timer_.stop();
    if (debugger_) debugger_->hide();
    // Dialogs still open on the window go with it.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible() && w->isModal()) w->close();
    hide();
    emit windowGone();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closed_ || closeMainWindow())
        event->accept();
    else
        event->ignore();
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Colours of the skin follow the desktop's palette.
    if (event->type() == QEvent::PaletteChange && view_) view_->update();
}

void MainWindow::onCommand(int id) {
    if (closed_) return;
    switch (id) {
        case cmdScreenshot:
            takeScreenshot(this, calculator_.lcd(), settings_, ScreenshotRoute::asConfigured);
            break;
        case cmdUpload:
            calculator_.upload(settings_.autoLinkOnUpload);
            break;
        case cmdExit:
            QMetaObject::invokeMethod(
                this, [this] { close(); }, Qt::QueuedConnection);
            break;
        case cmdPreferences:
            runPreferencesCommand();
            break;
        case cmdKill:
            destroyWindow();
            break;
        case cmdAbout:
            showAboutBox(this);
            break;
        case cmdReset:
            resetCalculator();
            break;
        case cmdDebugger:
            if (!debugger_) {
                debugger_ = new DebuggerWindow(calculator_, this);
                debugger_->onLcdChanged = [this] { view_->update(CalculatorView::lcdArea()); };
            }
            debugger_->openDebugger();
            break;
        default:
            break;
    }
}

void MainWindow::runPreferencesCommand() {
    Settings copy = settings_;
    const ColourFunction colours = [this](uint32_t fg, uint32_t bg) { applyLcdColours(fg, bg); };
    const std::string romInUse =
        calculator_.running() ? resolvePath(settings_, settings_.romPath) : std::string();
    if (runPreferences(this, copy, romLoadFailed_, colours, romInUse) != PreferencesAnswer::ok ||
        closed_)
        return;
    // Only a running calculator takes a new state file now; otherwise it counts from
    // the next start.
    applyPreferences(calculator_.running() ? &calculator_ : nullptr, settings_, copy, colours);
}

void MainWindow::resetCalculator() {
    if (!calculator_.running()) return;
    QMessageBox box(QMessageBox::Question, titleText(), QStringLiteral("Reset the calculator?"),
                    QMessageBox::NoButton, this);
    box.setInformativeText(
        QStringLiteral("A cold start begins afresh: everything in the calculator's memory is "
                       "lost. The state file keeps its contents until the state is saved again."));
    QPushButton* reset = box.addButton(QStringLiteral("&Reset"), QMessageBox::DestructiveRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    if (box.clickedButton() != reset || closed_) return;
    calculator_.reset();
    view_->update();
    // A calculator stopped in the debugger stays stopped, now at the start.
    if (debugger_ && debugger_->isVisible()) debugger_->refresh();
}

void MainWindow::uploadGivenFile(const std::string& path) {
    if (closed_) return;
    calculator_.upload(settings_.autoLinkOnUpload, path);
}

void MainWindow::bringToFront() {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
        return;
    }
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
}

// --- FrontEnd ------------------------------------------------------------------------

void MainWindow::post(std::function<void()> work) { uiQueue_->post(std::move(work)); }

bool MainWindow::onOwnThread() const { return QThread::currentThread() == thread(); }

void MainWindow::repaintLcd() { view_->update(CalculatorView::lcdArea()); }

void MainWindow::loopEnded(LoopEnd end) {
    // The user refused to go on after an unknown instruction: close without a question.
    if (end == LoopEnd::aborted) closeMainWindow();
}

bool MainWindow::filePrompt(FilePrompt kind, const std::string& fileName,
                            const std::string& reason) {
    return showFilePrompt(this, kind, fileName, reason);
}

void MainWindow::linkHint(LinkHint hint) { showLinkHint(this, hint, settings_.beepOnErrors); }

std::optional<std::string> MainWindow::askSaveName(bool backup) {
    return askSaveFileName(this, backup);
}

IllegalOpcodeAnswer MainWindow::illegalOpcode(const IllegalOpcodeSnapshot& snapshot) {
    return IllegalOpcodeDialog::ask(snapshot, this);
}

std::optional<std::string> MainWindow::chooseUploadFile() { return chooseUploadFileDialog(this); }

void MainWindow::sleepFor(std::chrono::milliseconds duration) {
    constexpr auto slice = std::chrono::milliseconds(25);
    const auto end = std::chrono::steady_clock::now() + duration;
    for (;;) {
        // repaint() paints at once without running the event loop, so neither the
        // timer nor the user's input gets in between the keys the upload types.
        if (isVisible()) repaint();
        const auto now = std::chrono::steady_clock::now();
        if (now >= end) break;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(slice, end - now));
    }
}

}  // namespace vantrel
