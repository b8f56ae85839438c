#include "shell/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>

#include "cpu/emulation_thread.h"
#include "cpu/memory_access.h"
#include "hardware/machine.h"
#include "hardware/ports.h"
#include "hardware/rom_state.h"
#include "hardware/timer.h"
#include "shell/about_box.h"
#include "shell/calculator_view.h"
#include "link/upload_flow.h"
#include "shell/exit_dialog.h"
#include "shell/file_drop.h"
#include "shell/icons.h"
#include "shell/illegal_opcode_dialog.h"
#include "shell/link_prompts.h"
#include "shell/preferences_dialog.h"
#include "shell/qt_host.h"
#include "shell/screenshot.h"

namespace vantrel {

namespace {

// The window's outer size that the centring rule assumes, frame included.
constexpr int placementWidth = 237;
constexpr int placementHeight = 487;

}  // namespace

MainWindow::MainWindow(Settings& settings, QWidget* parent)
    : QMainWindow(parent), settings_(settings), machine_(std::make_unique<Machine>()) {
    keypad_ = std::make_unique<Keypad>(*machine_);
    setWindowTitle(programTitle);
    setWindowIcon(appIcon());
    setObjectName(QStringLiteral("VantrelCalculator"));
    // A minimise box, no maximise box, no sizing.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    view_ = new CalculatorView(*machine_, *keypad_, this);
    setCentralWidget(view_);
    view_->setFocus();
    view_->onFunctionKey = [this](int key) {
        if (key == Qt::Key_F6) onCommand(cmdUpload);
        else if (key == Qt::Key_F7) onCommand(cmdScreenshot);
        else onCommand(cmdPreferences);
    };
    view_->onLcdContextMenu = [this](const QPoint& at) { showLcdMenu(at); };
    view_->onKeyDropped = [this] {
        if (settings_.beepOnErrors) QApplication::beep();
    };
    buildMenus();
    setFixedSize(sizeHint());

    HostAnswers answers;
    answers.repaintLcd = [this] { view_->update(CalculatorView::lcdArea()); };
    answers.linkActive = [this](uint32_t value) { machine_->linkActive.store(value); };
    answers.illegalOpcode = [this](const IllegalOpcodeSnapshot& s) { return IllegalOpcodeDialog::ask(s, this); };
    answers.threadEnded = [this](int code) { threadEnded(code); };
    answers.filePrompt = [this](int kind, bool isError, const std::string& name, const std::string& reason) {
        return showFilePrompt(this, kind, isError, name, reason);
    };
    answers.uploadHint = [this](int code) { showLinkHint(this, code, settings_.beepOnErrors); };
    answers.askSaveName = [this](std::string& name, bool backup) { return askSaveFileName(this, name, backup); };
    host_ = std::make_unique<QtHost>(this, std::move(answers));
    machine_->setHost(host_.get());

    new FileDropUploader(this, [this](const std::string& path) { uploadGivenFile(path); });

    timer_.setInterval(timerPeriodMs);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (thread_ && !machineLeft_) timerTick(*machine_, *keypad_);
    });
}

MainWindow::~MainWindow() {
    if (thread_ && !machineLeft_) stopEmulationThread();
    leaveMachine();
}

void MainWindow::leaveMachine() {
    if (!machineLeft_) return;
    // The thread may still run on these: they must outlive it, so they stay allocated.
    (void)machine_.release();
    (void)keypad_.release();
    (void)host_.release();
    (void)thread_.release();
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
    addCommand(file, QStringLiteral("&Kill"), cmdKill);
    file->addSeparator();
    addCommand(file, QStringLiteral("E&xit"), cmdExit);
    QMenu* tools = bar->addMenu(QStringLiteral("&Tools"));
    // The shortcuts are shown only: F6 to F8 reach the window through the LCD view's
    // key handling, so that they never press a calculator key.
    addCommand(tools, QStringLiteral("&Upload\tF6"), cmdUpload);
    addCommand(tools, QStringLiteral("&Screenshot\tF7"), cmdScreenshot);
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

bool MainWindow::startEmulation() {
    const int rom = loadRomImage(*machine_, settings_.romPath);
    bool ok = true;
    if (rom == romLoaded || (rom == romWrongVersion && !settings_.testRomVersion)) {
        loadStateFile(*machine_, settings_.ramPath);
        thread_ = std::make_unique<EmulationThread>(*machine_, [host = host_.get()](int code) {
            host->postThreadEnded(code);
        });
    } else {
        romMissing_ = true;
        const QString text = rom == romWrongVersion ? QStringLiteral("Wrong ROM version. Version 10.0 needed.")
                                                    : QStringLiteral("Loading romfile failed.");
        QMessageBox::critical(isVisible() ? this : nullptr, programTitle, text);
        if (rom != romWrongVersion) romLoadFailed_ = true;
    }
    applyLcdColours(settings_.foreground, settings_.background);
    timer_.start();
    return ok;
}

void MainWindow::applyLcdColours(uint32_t foreground, uint32_t background) {
    view_->applyLcdColours(foreground, background);
}

void MainWindow::threadEnded(int code) {
    threadExitCode_ = code;
    // The user refused to go on after an unknown instruction: close without a question.
    if (code == 5) closeMainWindow();
}

bool MainWindow::stopEmulationThread() {
    if (!thread_ || machineLeft_) return false;
    keypad_->clear();
    host_->beginStop();
    const bool ended = thread_->stop(std::chrono::milliseconds(4000));
    if (ended) {
        threadExitCode_ = thread_->exitCode();
        thread_.reset();
    } else {
        timer_.stop();
        machineLeft_ = true;
    }
    return ended;
}

void MainWindow::saveStateReporting() {
    std::string why;
    if (!saveStateFile(*machine_, settings_.ramPath, &why))
        QMessageBox::warning(this, programTitle,
                             QStringLiteral("The calculator state could not be saved to \"%1\".\n%2")
                                 .arg(QString::fromStdString(settings_.ramPath), QString::fromStdString(why)));
}

bool MainWindow::closeMainWindow() {
    if (closed_) return true;
    if (threadExitCode_ == 5) {
        if (thread_) thread_->stop(std::chrono::milliseconds(4000));
        thread_.reset();
        destroyWindow();
        return true;
    }
    if (romMissing_ || !thread_) {
        destroyWindow();
        return true;
    }
    int answer = answerNo;
    if (settings_.saveStateMode == saveStateAlways) answer = answerYes;
    else if (settings_.saveStateMode == saveStateShowDialog && calculatorOn(*machine_)) answer = ExitDialog::ask(this);
    if (closed_) return true;  // closed meanwhile (a signal while the question was open)
    if (answer != answerYes && answer != answerNo) return false;
    const bool stopped = stopEmulationThread();
    if (answer == answerYes) {
        if (stopped) saveStateReporting();
        else
            QMessageBox::warning(this, programTitle,
                                 QStringLiteral("The calculator did not stop; its state was not saved."));
    }
    destroyWindow();
    return true;
}

void MainWindow::closeWithoutDialogs() {
    if (closed_) return;
    if (thread_ && threadExitCode_ != 5) {
        const bool on = calculatorOn(*machine_);
        const bool save = settings_.saveStateMode == saveStateAlways ||
                          (settings_.saveStateMode == saveStateShowDialog && on);
        const bool stopped = stopEmulationThread();
        if (save && stopped && threadExitCode_ != 5) saveStateFile(*machine_, settings_.ramPath);
    } else if (thread_) {
        stopEmulationThread();
    }
    destroyWindow();
}

void MainWindow::destroyWindow() {
    if (closed_) return;
    closed_ = true;
    if (thread_ && !machineLeft_) stopEmulationThread();
    timer_.stop();
    host_->beginStop();
    // Dialogs still open on the window go with it.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible() && w->isModal()) w->close();
    hide();
    emit windowGone();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closed_ || closeMainWindow()) event->accept();
    else event->ignore();
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Colours of the skin follow the desktop's palette.
    if (event->type() == QEvent::PaletteChange) view_->update();
}

void MainWindow::onCommand(int id) {
    if (closed_) return;
    switch (id) {
    case cmdScreenshot: takeScreenshot(this, *machine_, settings_, screenshotAsConfigured); break;
    case cmdUpload: runUploadCommand(); break;
    case cmdClose:
    case cmdExit: QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection); break;
    case cmdPreferences: runPreferencesCommand(); break;
    case cmdKill:
    case cmdKillAlias:
        stopEmulationThread();
        destroyWindow();
        break;
    case cmdAbout: showAboutBox(this); break;
    default: break;
    }
}

void MainWindow::runPreferencesCommand() {
    Settings copy = settings_;
    const ColourFunction colours = [this](uint32_t fg, uint32_t bg) { applyLcdColours(fg, bg); };
    const std::string romInUse = thread_ ? machine_->romFile : std::string();
    if (runPreferences(this, copy, romLoadFailed_, colours, romInUse) != preferencesOk || closed_) return;
    // Only a running calculator takes a new state file now; otherwise it counts from
    // the next start.
    const bool running = thread_ && !machineLeft_;
    const std::string ramPath = settings_.ramPath;
    applyPreferences(running ? machine_.get() : nullptr, settings_, copy, colours);
    // Keys typed for the calculator that was there are not for the one reloaded.
    if (running && settings_.ramPath != ramPath) keypad_->clear();
}

void MainWindow::runUploadCommand() {
    if (!thread_ || machineLeft_) return;
    QtUploadDialogs dialogs(this);
    uploadFile(*machine_, settings_.autoLinkOnUpload, dialogs);
}

void MainWindow::uploadGivenFile(const std::string& path) {
    if (closed_ || !thread_ || machineLeft_) return;
    QtGivenFileUpload given(this, path);
    uploadFile(*machine_, settings_.autoLinkOnUpload, given);
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

}  // namespace vantrel
