#include "shell/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QThread>
#include <QUrl>
#include <QtMath>
#include <algorithm>
#include <cmath>
#include <thread>

#include "session/calculator/messages.h"
#include "session/calculator/timer_tick.h"
#include "session/history/rewind.h"
#include "session/settings/demo_firmware.h"
#include "session/settings/user_dirs.h"
#include "shell/about_box.h"
#include "shell/beside_owner.h"
#include "shell/calculator_view.h"
#include "shell/debugger_window.h"
#include "shell/exit_dialog.h"
#include "shell/file_drop.h"
#include "shell/first_run_dialog.h"
#include "shell/history_keys.h"
#include "shell/icons.h"
#include "shell/illegal_opcode_dialog.h"
#include "shell/key_history_panel.h"
#include "shell/keyboard_help.h"
#include "shell/link_prompts.h"
#include "shell/machine_page.h"
#include "shell/panel_geometry.h"
#include "shell/preferences_dialog.h"
#include "shell/recording_control.h"
#include "shell/screenshot.h"
#include "shell/speed_menu.h"
#include "shell/state_file_prompts.h"
#include "shell/state_slots_menu.h"
#include "shell/ui_thread_queue.h"

namespace vantrel {

namespace {

// The window's outer size that the centring rule assumes at 1x, frame included.
constexpr int placementWidth = 237;
constexpr int placementHeight = 487;

// How long the status line shows what a command did.
constexpr int statusShowMs = 5000;

// A paste types one key a tick: 2000 keys take 100 seconds. More is not typing.
constexpr std::size_t pasteLimit = 2000;
// Keys of a paste waiting in the queue at a time.
constexpr std::size_t pasteAhead = 2;

// The menu bars never hold the keyboard on their own: a lone tap of Alt, or a menu
// closed with Escape, would otherwise leave them taking every key (digits, F-keys)
// until a second Escape, with nothing on screen to say why. Alt+letter and the mouse
// open the menus as before, and the calculator has the keyboard once a menu closes.
class MenuBarStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override {
        if (hint == SH_MenuBar_AltKeyNavigation) return 0;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

}  // namespace

MainWindow::MainWindow(Settings& settings, QWidget* parent)
    : QMainWindow(parent),
      settings_(settings),
      calculator_(*this),
      uiQueue_(new UiThreadQueue(this)) {
    setWindowTitle(titleText());
    setWindowIcon(appIcon());
    setObjectName(QStringLiteral("VantrelCalculator"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);

    view_ = new CalculatorView(calculator_, this);
    setCentralWidget(view_);
    view_->setFocus();
    view_->onCommandKey = [this](int key, Qt::KeyboardModifiers modifiers) {
        onCommandKey(key, modifiers);
    };
    view_->onLcdContextMenu = [this](const QPoint& at) { showLcdMenu(at); };
    view_->onKeyDropped = [this] {
        if (settings_.beepOnErrors) QApplication::beep();
    };
    recording_ = new RecordingControl(calculator_, settings_, statusBar(), this);
    recording_->onWritten = [this](const QString& text, const QString& folder) {
        showStatus(text, folder);
    };
    buildMenus();
    calculator_.rewind().setSeconds(settings_.rewindSeconds);
    new HistoryKeys(
        view_, calculator_, *stateSlots_, [this] { view_->update(); },
        [this](const QString& text) { showStatus(text); });
    speed_ = new SpeedControls(this, calculator_, settings_);
    view_->onHoldKey = [this](int key, Qt::KeyboardModifiers modifiers, bool down) {
        return speed_->fastForwardKey(key, modifiers, down);
    };
    statusBar()->setObjectName(QStringLiteral("statusLine"));
    connect(statusBar(), &QStatusBar::messageChanged, this,
            [this](const QString& message) { statusChanged(message); });
    statusBar()->installEventFilter(this);
    resize(windowSizeFor(view_->sizeHint()));

    new FileDropUploader(this, [this](const std::string& path) { uploadGivenFile(path); });

    timer_.setInterval(timerPeriod);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] {
        calculator_.tick();
        recording_->tick();
        if (keyHistory_ && keyHistory_->isVisible()) keyHistory_->refresh();
        feedPaste();
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
    addCommand(file, QStringLiteral("&Open ROM..."), cmdOpenRom)
        ->setStatusTip(QStringLiteral("Runs the calculator on a ROM image of your own"));
    QMenu* recent = file->addMenu(QStringLiteral("Recent ROM &Images"));
    recent->setObjectName(QStringLiteral("recentRoms"));
    // Filled as File opens: a submenu left disabled would never show to fill itself.
    connect(file, &QMenu::aboutToShow, this, [this, recent] { fillRecentRoms(recent); });
    fillRecentRoms(recent);
    file->addSeparator();
    stateSlots_ = new StateSlotsMenu(this, calculator_, settings_, file,
                                     [this](const QString& text) { showStatus(text); });
    file->addSeparator();
    addCommand(file, QStringLiteral("&Reset..."), cmdReset);
    addCommand(file, QStringLiteral("&Kill"), cmdKill)
        ->setStatusTip(QStringLiteral("Ends Vantrel at once without saving the calculator"));
    file->addSeparator();
    exitAction_ = addCommand(file, QStringLiteral("E&xit"), cmdExit);
    buildEditMenu(bar->addMenu(QStringLiteral("&Edit")));
    buildViewMenu(bar->addMenu(QStringLiteral("&View")));
    QMenu* tools = bar->addMenu(QStringLiteral("&Tools"));
    // The shortcuts are shown only: the window's keys reach it through the LCD view's
    // key handling (isCommandKey), so that they never press a calculator key.
    addCommand(tools, QStringLiteral("&Upload...\tF6"), cmdUpload);
    addCommand(tools, QStringLiteral("&Screenshot\tF7"), cmdScreenshot);
    tools->addAction(recording_->action());
    addCommand(tools, QStringLiteral("&Debugger\tPause"), cmdDebugger);
    tools->addSeparator();
    addCommand(tools, QStringLiteral("&Preferences...\tF8"), cmdPreferences);

    // Help at the right end of the bar, whatever the style.
    auto* helpBar = new QMenuBar(bar);
    helpBar->setNativeMenuBar(false);
    QMenu* help = helpBar->addMenu(QStringLiteral("&Help"));
    addCommand(help, QStringLiteral("&Keyboard..."), cmdKeyboard);
    help->addSeparator();
    addCommand(help, QStringLiteral("&About..."), cmdAbout);
    bar->setCornerWidget(helpBar, Qt::TopRightCorner);
    auto* menuBarStyle = new MenuBarStyle(QApplication::style()->name());
    menuBarStyle->setParent(this);  // made after the bars, so it goes after them
    bar->setStyle(menuBarStyle);
    helpBar->setStyle(menuBarStyle);

    lcdMenu_ = new QMenu(QStringLiteral("&Tools"), this);
    addCommand(lcdMenu_, QStringLiteral("&Upload File...\tF6"), cmdUpload);
    addCommand(lcdMenu_, QStringLiteral("&Screenshot\tF7"), cmdScreenshot);
    addCommand(lcdMenu_, QStringLiteral("&Copy Screen\tShift+F7"), cmdCopyScreen);
    addCommand(lcdMenu_, QStringLiteral("&Paste\tShift+Ins"), cmdPaste);
    lcdMenu_->addSeparator();
    addCommand(lcdMenu_, QStringLiteral("&Preferences...\tF8"), cmdPreferences);
}

void MainWindow::buildEditMenu(QMenu* edit) {
    for (const auto& [text, id] : {std::pair{"&Paste\tShift+Ins", cmdPaste},
                                   std::pair{"&Copy Screen\tShift+F7", cmdCopyScreen}}) {
        QAction* action = edit->addAction(QString::fromLatin1(text));
        action->setData(id);
        action->setObjectName(QStringLiteral("command%1").arg(id));
        connect(action, &QAction::triggered, this, [this, id = id] { onCommand(id); });
    }
}

void MainWindow::buildViewMenu(QMenu* view) {
    // A zoom that does not fit the screen says why in its tooltip.
    view->setToolTipsVisible(true);
    connect(view, &QMenu::aboutToShow, this, [this] {
        updateZoomChoices();
        markZoom();
    });
    zoomGroup_ = new QActionGroup(this);
    zoomGroup_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (int zoom = minZoom; zoom <= maxZoom; ++zoom) {
        const int id = cmdZoom1 + zoom - 1;
        // F9 to F12: keys the calculator does not use.
        QAction* action = view->addAction(QStringLiteral("Zoom &%1x\tF%2").arg(zoom).arg(8 + zoom));
        action->setCheckable(true);
        action->setData(id);
        action->setObjectName(QStringLiteral("command%1").arg(id));
        zoomGroup_->addAction(action);
        connect(action, &QAction::triggered, this, [this, id] { onCommand(id); });
    }
    view->addSeparator();
    squarePixels_ = view->addAction(QStringLiteral("&Square LCD Pixels"));
    squarePixels_->setObjectName(QStringLiteral("squarePixels"));
    squarePixels_->setCheckable(true);
    squarePixels_->setStatusTip(
        QStringLiteral("The LCD's pixels square, as screenshots have them; else as wide as "
                       "the 1x picture makes them"));
    connect(squarePixels_, &QAction::triggered, this, [this](bool square) {
        settings_.squarePixels = square ? SquarePixels::always : SquarePixels::never;
        view_->setSquarePixels(settings_.squarePixels);
    });
    QAction* keyHistory = view->addAction(QStringLiteral("Key &History"));
    keyHistory->setObjectName(QStringLiteral("showKeyHistory"));
    connect(keyHistory, &QAction::triggered, this, [this] { showKeyHistory(); });
}

void MainWindow::onCommandKey(int key, Qt::KeyboardModifiers modifiers) {
    switch (key) {
        case Qt::Key_F6:
            onCommand(cmdUpload);
            break;
        case Qt::Key_F7:
            onCommand(modifiers & Qt::ShiftModifier ? cmdCopyScreen : cmdScreenshot);
            break;
        case Qt::Key_F8:
            onCommand(cmdPreferences);
            break;
        case Qt::Key_F9:
        case Qt::Key_F10:
        case Qt::Key_F11:
        case Qt::Key_F12:
            onCommand(cmdZoom1 + key - Qt::Key_F9);
            break;
        case Qt::Key_Insert:
            onCommand(cmdPaste);
            break;
        case Qt::Key_Pause:
            onCommand(cmdDebugger);
            break;
        // Ctrl's shortcuts, which reach here only while Ctrl presses no calculator key.
        case Qt::Key_C:
            onCommand(cmdCopyScreen);
            break;
        case Qt::Key_V:
            onCommand(cmdPaste);
            break;
        case Qt::Key_Q:
            onCommand(cmdExit);
            break;
        default:
            break;
    }
}

void MainWindow::applyKeyMap() {
    calculator_.setKeyMap(settings_.keyMap);
    const bool controlFree = settings_.keyMap.controlFree();
    exitAction_->setText(controlFree ? QStringLiteral("E&xit\tCtrl+Q") : QStringLiteral("E&xit"));
    // The help's tables are made for one map: a new one for the next.
    if (keyboardHelp_) {
        const bool shown = keyboardHelp_->isVisible();
        const QPoint at = keyboardHelp_->pos();
        delete keyboardHelp_;
        keyboardHelp_ = nullptr;
        if (shown) {
            showKeyboardHelp();
            keyboardHelp_->move(at);
        }
    }
}

std::vector<std::pair<QString, QString>> MainWindow::commandKeys() const {
    std::vector<std::pair<QString, QString>> keys;
    for (const QMenu* menu : menuBar()->findChildren<QMenu*>()) {
        if (menu == lcdMenu_ || menu->property("slotMenu").toBool()) continue;
        for (const QAction* action : menu->actions()) {
            const QString text = action->text();
            const qsizetype tab = text.indexOf(QLatin1Char('\t'));
            if (tab < 0) continue;
            QString name = text.left(tab).remove(QLatin1Char('&'));
            if (name.endsWith(QStringLiteral("..."))) name.chop(3);
            keys.emplace_back(text.mid(tab + 1), name);
        }
    }
    for (auto& key : StateSlotsMenu::commandKeys()) keys.push_back(std::move(key));
    keys.emplace_back(QStringLiteral("Shift+` (~), held"), QStringLiteral("Rewind"));
    if (settings_.keyMap.controlFree()) {
        keys.emplace_back(QStringLiteral("Ctrl+C"), QStringLiteral("Copy Screen"));
        keys.emplace_back(QStringLiteral("Ctrl+V"), QStringLiteral("Paste"));
    }
    // In the order of the keys (F6, F7, Shift+F7, F8, ...), as they sit on the keyboard.
    auto rank = [](const QString& key) {
        const QString plain = key.startsWith(QStringLiteral("Shift+")) ? key.mid(6) : key;
        const int number = plain.startsWith(QLatin1Char('F')) ? plain.mid(1).toInt() : 100;
        return number * 2 + (plain.size() != key.size() ? 1 : 0);
    };
    std::stable_sort(keys.begin(), keys.end(),
                     [&](const auto& a, const auto& b) { return rank(a.first) < rank(b.first); });
    return keys;
}

void MainWindow::showKeyboardHelp() {
    if (!keyboardHelp_) {
        keyboardHelp_ = new KeyboardHelp(calculator_, commandKeys(), this);
        // Beside the calculator, clear of the keypad it explains.
        placeBesideOwner(keyboardHelp_, this);
    }
    keyboardHelp_->show();
    keyboardHelp_->raise();
    keyboardHelp_->activateWindow();
}

void MainWindow::showKeyHistory() {
    if (!keyHistory_) {
        keyHistory_ = new KeyHistoryPanel(calculator_, this);
        placeBesideOwner(keyHistory_, this);
    }
    keyHistory_->show();
    keyHistory_->raise();
}

void MainWindow::showStatus(const QString& text, const QString& folder) {
    QStatusBar* line = statusBar();
    // A long path keeps its beginning and its file name; the whole text is the tooltip.
    const int room = qMax(40, line->width() - 24);
    statusText_ = text;
    statusFolder_ = folder;
    shownStatus_ = line->fontMetrics().elidedText(text, Qt::ElideMiddle, room);
    // Where a file went stays until the next message; what a command did goes after a while.
    line->showMessage(shownStatus_, folder.isEmpty() ? statusShowMs : 0);
}

void MainWindow::statusChanged(const QString& message) {
    QStatusBar* line = statusBar();
    const bool ours = !message.isEmpty() && message == shownStatus_;
    const bool link = ours && !statusFolder_.isEmpty();
    line->setToolTip(!ours  ? QString()
                     : link ? statusText_ + QStringLiteral("\nClick to open the folder.")
                            : statusText_);
    line->setCursor(link ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

bool MainWindow::event(QEvent* event) {
    // A menu's status tip shows over a message that stays, which comes back after it.
    if (event->type() == QEvent::StatusTip && !statusFolder_.isEmpty()) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        statusBar()->showMessage(tip.isEmpty() ? shownStatus_ : tip);
        return true;
    }
    return QMainWindow::event(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == statusBar() && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && !statusFolder_.isEmpty() &&
        statusBar()->currentMessage() == shownStatus_ &&
        !QDesktopServices::openUrl(QUrl::fromLocalFile(statusFolder_)))
        showStatus(QStringLiteral("No program was found to show the folder %1").arg(statusFolder_));
    return QMainWindow::eventFilter(watched, event);
}

QString MainWindow::statusMessage() const {
    return statusBar()->currentMessage().isEmpty() ? QString() : statusText_;
}

void MainWindow::screenshotCommand(bool copyScreen) {
    const Result<Screenshot> shot =
        takeScreenshot(this, calculator_.lcdPicture(), settings_,
                       copyScreen ? ScreenshotRoute::toClipboard : ScreenshotRoute::asConfigured);
    if (shot)
        showStatus(QString::fromStdString(screenshotMessage(*shot)),
                   shot->toFile ? QFileInfo(QString::fromStdString(shot->path)).absolutePath()
                                : QString());
}

void MainWindow::pasteText(const QString& text) {
    if (!calculator_.running() || !calculator_.calculatorOn()) {
        pasteText_.clear();
        pasteAt_ = 0;
        showStatus(QStringLiteral("The calculator is off: nothing typed"));
        return;
    }
    std::u32string typed;
    int skipped = 0;
    for (const char32_t c : text.toStdU32String()) {
        if (c == U'\r') continue;  // a Windows line end is one line break
        if (characterHasKey(c))
            typed += c;
        else
            ++skipped;
    }
    int left = 0;
    if (typed.size() > pasteLimit) {
        left = static_cast<int>(typed.size() - pasteLimit);
        typed.resize(pasteLimit);
    }
    pasteText_ = std::move(typed);
    pasteAt_ = 0;
    QString message = QStringLiteral("Typing %1 characters").arg(pasteText_.size());
    if (skipped) message += QStringLiteral("; %1 without a key skipped").arg(skipped);
    if (left) message += QStringLiteral("; the last %1 left out").arg(left);
    showStatus(message);
    feedPaste();
}

void MainWindow::feedPaste() {
    if (!pasting()) return;
    if (!calculator_.running() || !calculator_.calculatorOn()) {
        pasteText_.clear();
        pasteAt_ = 0;
        return;
    }
    // A key or two ahead of the calculator, so that keys typed meanwhile still fit.
    while (pasting() && calculator_.keyQueueRoom() > keyQueueCapacity - pasteAhead)
        calculator_.typeCharacter(pasteText_[pasteAt_++]);
    if (!pasting()) {
        pasteText_.clear();
        pasteAt_ = 0;
    }
}

QSize MainWindow::chromeSize() const {
    // The menu bar and the status line above and below the calculator.
    return QSize(0, qMax(0, sizeHint().height() - view_->sizeHint().height()));
}

QSize MainWindow::frameExtent() const {
    // Before the window is shown, the style's guess.
    return isVisible() ? frameGeometry().size() - geometry().size() : QSize(6, 30);
}

QSize MainWindow::windowSizeFor(QSize viewSize) const {
    // The menu bar may ask for more width than the calculator at 1x has.
    const QSize chrome = chromeSize();
    QSize size = viewSize + chrome;
    size.setWidth(qMax(size.width(), minimumSizeHint().width()));
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) return size;
    const QSize room = screen->availableGeometry().size() - frameExtent();
    if (size.width() <= room.width() && size.height() <= room.height()) return size;
    // Smaller, in the calculator's proportions.
    const double scale =
        std::max(1.0, std::min(double(room.width() - chrome.width()) / clientWidth,
                               double(room.height() - chrome.height()) / clientHeight));
    return QSize(qFloor(clientWidth * scale), qFloor(clientHeight * scale)) + chrome;
}

int MainWindow::fittingZoom() const {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) return minZoom;
    const QSize room = screen->availableGeometry().size();
    const QSize extra = chromeSize() + frameExtent();
    return largestZoomThatFits(room.width(), room.height(), extra.width(), extra.height(),
                               minimumSizeHint().width(), maxZoom);
}

void MainWindow::updateZoomChoices() {
    if (!zoomGroup_) return;
    const int fitting = fittingZoom();
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QSize room = screen ? screen->availableGeometry().size() : QSize();
    for (QAction* action : zoomGroup_->actions()) {
        const int zoom = action->data().toInt() - cmdZoom1 + 1;
        const bool fits = zoom <= fitting;
        action->setEnabled(fits);
        const QSize needed = windowSizeAt(zoom);
        action->setToolTip(fits ? QString()
                                : QStringLiteral("Does not fit on this screen: the window "
                                                 "would be %1 x %2 pixels, the screen has "
                                                 "room for %3 x %4.")
                                      .arg(needed.width())
                                      .arg(needed.height())
                                      .arg(room.width())
                                      .arg(room.height()));
    }
}

QSize MainWindow::windowSizeAt(int zoom) const {
    QSize size = QSize(clientWidth, clientHeight) * zoom + chromeSize();
    size.setWidth(qMax(size.width(), minimumSizeHint().width()));
    return size + frameExtent();
}

void MainWindow::setZoom(int zoom) {
    zoom = std::clamp(zoom, minZoom, maxZoom);
    updateZoomChoices();
    if (zoom > fittingZoom()) {
        // The window would not fit: nothing changes, and the status line says why.
        showStatus(QStringLiteral("Zoom %1x does not fit on this screen").arg(zoom));
        return;
    }
    settings_.zoom = zoom;
    if (isMaximized() || isFullScreen()) showNormal();
    view_->setPreferredZoom(zoom);
    resize(windowSizeFor(view_->sizeHint()));
    // Grown past the screen's edge: back onto it.
    if (const QScreen* screen = this->screen(); screen && isVisible()) {
        const QRect area = screen->availableGeometry();
        const QRect frame = frameGeometry();
        QPoint to = frame.topLeft();
        if (frame.right() > area.right()) to.setX(qMax(area.left(), area.right() - frame.width()));
        if (frame.bottom() > area.bottom())
            to.setY(qMax(area.top(), area.bottom() - frame.height()));
        if (to != frame.topLeft()) move(to);
    }
    markZoom();
}

void MainWindow::markZoom() {
    if (squarePixels_) squarePixels_->setChecked(view_->squarePixelsShown());
    if (!zoomGroup_) return;
    const double scale = view_->placement().scale;
    const int zoom = qRound(scale);
    const bool whole = std::abs(scale - zoom) < 0.01;
    for (QAction* action : zoomGroup_->actions())
        action->setChecked(whole && action->data().toInt() == cmdZoom1 + zoom - 1);
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (isVisible() &&
        !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized))) {
        normalPos_ = pos();
        placeKnown_ = true;
    }
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (isVisible() &&
        !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized))) {
        normalPos_ = pos();
        normalViewSize_ = view_->size();
        placeKnown_ = true;
    }
    markZoom();
}

void MainWindow::rememberPlace() {
    if (!placeKnown_) return;  // never shown: what was stored stays
    WindowPlace& place = settings_.window;
    place.placed = true;
    // The person's place, not the one the debugger moved the calculator to.
    const QPoint at =
        debugger_ ? debugger_->calculatorPlaceBeforeMove().value_or(normalPos_) : normalPos_;
    place.x = at.x();
    place.y = at.y();
    if (normalViewSize_.isValid()) {
        place.width = normalViewSize_.width();
        place.height = normalViewSize_.height();
    }
    place.maximized = isMaximized();
}

void MainWindow::showLcdMenu(const QPoint& globalPos) { lcdMenu_->popup(globalPos); }

void MainWindow::placeOnScreen() {
    const WindowPlace& place = settings_.window;
    view_->setSquarePixels(settings_.squarePixels);
    // Without a zoom of the user's choosing, the largest that fits the screen.
    view_->setPreferredZoom(settings_.zoom > 0 ? settings_.zoom : fittingZoom());
    const QSize viewSize =
        place.width > 0 && place.height > 0
            ? QSize(std::max(place.width, clientWidth), std::max(place.height, clientHeight))
            : view_->sizeHint();
    resize(windowSizeFor(viewSize));
    if (place.maximized) setWindowState(windowState() | Qt::WindowMaximized);
    // A remembered place counts while its title bar is on a screen now; the window
    // then comes wholly onto that screen if the screen has changed meanwhile.
    if (place.placed) {
        if (const QScreen* screen = QGuiApplication::screenAt(QPoint(place.x + 40, place.y + 10))) {
            const QRect area = screen->availableGeometry();
            const QSize outer = size() + QSize(placementWidth - clientWidth, 30);
            move(qMax(area.left(), qMin(place.x, area.right() + 1 - outer.width())),
                 qMax(area.top(), qMin(place.y, area.bottom() + 1 - outer.height())));
            return;
        }
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect area = screen->availableGeometry();
    if (area.isEmpty()) area = screen->geometry();
    // At 1x the outer size that the centring rule assumes, frame included.
    const QSize outer =
        viewSize + QSize(placementWidth - clientWidth, placementHeight - clientHeight);
    const int x = qMax(0, (area.width() - outer.width()) / 2);
    const int y = qMax(0, (area.height() - outer.height()) / 2);
    move(area.left() + x, area.top() + y);
}

void MainWindow::startEmulation() {
    // A folder that cannot be made is told where the files in it are used.
    (void)makeDataDirectory(settings_);
    applyKeyMap();
    romLookedAt_ = resolvePath(settings_, settings_.romPath);
    calculator_.takeMachineSettings(settings_);
    romLoad_ = calculator_.load(romLookedAt_, resolvePath(settings_, settings_.ramPath),
                                settings_.testRomVersion);
    if (calculator_.usable()) {
        romStarted();
        calculator_.start();
        speed_->refresh();
    } else if (settings_.startDemo && startDemo()) {
        // The demo, as chosen at an earlier start, while no ROM image runs.
        return;
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
        [this](bool nextTimeToo) { return startDemo(nextTimeToo); });
    if (closed_) return false;  // a signal ended the program meanwhile
    if (choice == FirstRunChoice::quit) {
        destroyWindow();
        return false;
    }
    return true;
}

std::optional<RomLoadResult> MainWindow::startOnRom(const std::string& path) {
    romLookedAt_ = path;
    calculator_.takeMachineSettings(settings_);
    romLoad_ =
        calculator_.load(path, resolvePath(settings_, settings_.ramPath), settings_.testRomVersion);
    if (!calculator_.usable()) return romLoad_;
    settings_.romPath = path;
    romMissing_ = romLoadFailed_ = false;
    romStarted();
    calculator_.start();
    speed_->refresh();
    return std::nullopt;
}

void MainWindow::romStarted() {
    if (demo_) return;
    settings_.startDemo = false;
    rememberRecentRom(settings_, absoluteFromHere(resolvePath(settings_, settings_.romPath)));
}

Result<> MainWindow::startDemo(bool nextTimeToo) {
    const auto demo = prepareDemo(findDemoFirmware(programDirectory()));
    if (!demo) return demo.failure();
    const std::string userIni = settings_.iniPath;
    if (Result<> ran = runDemo(*demo); !ran) return ran;
    userIniPath_ = userIni;
    if (nextTimeToo && !userIni.empty()) {
        // Only the choice is written: the rest stays as the file has it, so that a ROM
        // path of the command line that did not run is not kept. The choice is a
        // convenience: a file that cannot be written is told at the close.
        Settings stored;
        stored.iniPath = userIni;
        (void)readSettings(stored, programDirectory());
        stored.startDemo = true;
        (void)writeSettings(stored);
    }
    return {};
}

Settings MainWindow::userSettings() const {
    if (!demo_) return settings_;
    Settings user;
    user.iniPath = userIniPath_;
    (void)readSettings(user, programDirectory());  // without a file, every default
    return user;
}

void MainWindow::fillRecentRoms(QMenu* menu) {
    menu->clear();
    const std::vector<std::string> recent = userSettings().recentRoms;
    const QString home = QDir::homePath();
    int number = 0;
    for (const std::string& rom : recent) {
        QString shown = QString::fromStdString(rom);
        if (shown.startsWith(home + QLatin1Char('/')))
            shown = QLatin1Char('~') + shown.mid(home.size());
        QAction* action = menu->addAction(QStringLiteral("&%1 %2").arg(++number).arg(shown));
        connect(action, &QAction::triggered, this, [this, rom] { openRom(rom); });
    }
    menu->setEnabled(!recent.empty());
}

void MainWindow::openRomCommand() {
    const Settings user = userSettings();
    QFileDialog dialog(this, QStringLiteral("Open ROM"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(
        {QStringLiteral("ROM-Files (*.bin *.rom)"), QStringLiteral("All files (*)")});
    // Beside the ROM image the user ran last, else in the home folder.
    const QFileInfo last(QString::fromStdString(
        user.recentRoms.empty() ? resolvePath(user, user.romPath) : user.recentRoms.front()));
    dialog.setDirectory(last.exists() ? last.absolutePath() : QDir::homePath());
    if (dialog.exec() != QDialog::Accepted || closed_) return;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) return;
    openRom(QFileInfo(chosen.first()).absoluteFilePath().toStdString());
}

bool MainWindow::openRom(const std::string& path) {
    if (closed_) return false;
    const bool leavingDemo = demo_;
    Settings next = userSettings();
    const RomLoadResult probe = Calculator::probeRom(path);
    if (!probe.usable(next.testRomVersion)) {
        QMessageBox::critical(this, titleText(),
                              QString::fromStdString(romProblemLines(probe, path)));
        return false;
    }
    // The debugger lets go of the calculator it may hold stopped.
    if (debugger_) debugger_->close();
    if (calculator_.running() && !endCalculatorRun()) return false;
    if (calculator_.abandoned()) return false;  // told by endCalculatorRun
    if (leavingDemo) {
        // The demo keeps its own settings, place included.
        rememberPlace();
        (void)writeSettings(settings_);  // the demo's own file: nothing of the user's is lost
        demo_ = false;
        setWindowTitle(titleText());
        settings_ = next;
        emit demoEnded();
    }
    settings_.romPath = path;
    romLookedAt_ = path;
    calculator_.takeMachineSettings(settings_);
    romLoad_ =
        calculator_.load(path, resolvePath(settings_, settings_.ramPath), settings_.testRomVersion);
    romMissing_ = romLoadFailed_ = false;
    romStarted();
    applyLcdColours(settings_.foreground, settings_.background);
    view_->setSquarePixels(settings_.squarePixels);
    applyKeyMap();
    calculator_.start();
    speed_->refresh();
    timer_.start();
    view_->update();
    return true;
}

Result<> MainWindow::runDemo(const Settings& demo) {
    const std::string rom = resolvePath(demo, demo.romPath);
    calculator_.takeMachineSettings(demo);
    const RomLoadResult result =
        calculator_.load(rom, resolvePath(demo, demo.ramPath), demo.testRomVersion);
    if (!calculator_.usable()) return Failure::decline(romProblemLines(result, rom));
    settings_ = demo;
    romLoad_ = result;
    romLookedAt_ = rom;
    romMissing_ = romLoadFailed_ = false;
    demo_ = true;
    setWindowTitle(titleText() + QStringLiteral(" (demo)"));
    // The demo's own zoom and place.
    placeOnScreen();
    applyKeyMap();
    applyLcdColours(settings_.foreground, settings_.background);
    calculator_.start();
    speed_->refresh();
    timer_.start();
    emit demoStarted();
    return {};
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
    if (const Result<> saved = calculator_.saveState(); !saved)
        QMessageBox::warning(
            this, titleText(),
            QStringLiteral("The calculator state could not be saved to \"%1\".\n%2")
                .arg(QString::fromStdString(calculator_.ramPath()),
                     QString::fromStdString(saved.failure().reason)));
}

bool MainWindow::closeMainWindow() {
    if (closed_) return true;
    // Closed meanwhile (a signal while the question was open) counts as gone.
    if (!endCalculatorRun()) return closed_;
    rememberPlace();
    emit closing();
    destroyWindow();
    return true;
}

bool MainWindow::endCalculatorRun() {
    const CloseSave decision = calculator_.saveOnClose(settings_.saveStateMode, true);
    bool save = decision == CloseSave::save;
    if (decision == CloseSave::ask) {
        const ExitChoice choice = ExitDialog::ask(this);
        if (closed_ || choice.answer == ExitAnswer::cancel) return false;
        save = choice.answer == ExitAnswer::yes;
        if (choice.dontAskAgain)
            settings_.saveStateMode = save ? SaveStateMode::always : SaveStateMode::never;
    }
    if (save && calculator_.stateFileKept()) save = askReplaceNotAStateFile(this, calculator_);
    const bool stopped = stopEmulationThread();
    if (save) {
        if (stopped)
            saveStateReporting();
        else
            QMessageBox::warning(
                this, titleText(),
                QStringLiteral("The calculator did not stop; its state was not saved."));
    }
    return true;
}

void MainWindow::closeWithoutDialogs() {
    if (closed_) return;
    const bool save = calculator_.saveOnClose(settings_.saveStateMode, false) == CloseSave::save;
    // Without dialogs there is nobody to tell of a failed save.
    if (stopEmulationThread() && save) (void)calculator_.saveState();
    destroyWindow();
}

void MainWindow::destroyWindow() {
    if (closed_) return;
    closed_ = true;
    rememberPlace();
    recording_->stop(true);
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
            screenshotCommand(false);
            break;
        case cmdCopyScreen:
            screenshotCommand(true);
            break;
        case cmdPaste:
            pasteText(QGuiApplication::clipboard()->text());
            break;
        case cmdKeyboard:
            showKeyboardHelp();
            break;
        case cmdZoom1:
        case cmdZoom1 + 1:
        case cmdZoom1 + 2:
        case cmdZoom1 + 3:
            setZoom(id - cmdZoom1 + 1);
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
            killCommand();
            break;
        case cmdAbout:
            showAboutBox(this);
            break;
        case cmdReset:
            resetCalculator();
            break;
        case cmdOpenRom:
            openRomCommand();
            break;
        case cmdDebugger:
            if (!debugger_) {
                debugger_ = new DebuggerWindow(calculator_, this);
                debugger_->onLcdChanged = [this] { repaintLcd(); };
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
    const std::string ramSetting = settings_.ramPath;
    const bool newMap = copy.keyMap != settings_.keyMap;
    const bool newModel = copy.model != settings_.model &&
                          (!calculator_.running() || askModelSwitch(this, copy.model));
    if (!newModel) copy.model = settings_.model;
    calculator_.setSmoothGreyscale(copy.smoothGreyscale);
    applyPreferences(calculator_.running() ? &calculator_ : nullptr, settings_, copy, colours);
    if (newModel && calculator_.running()) restartInModel();
    if (calculator_.running() && settings_.ramPath != ramSetting)
        tellStateFileSwitch(this, calculator_, settings_, ramSetting);
    if (newMap) applyKeyMap();
}

void MainWindow::restartInModel() {
    if (debugger_) debugger_->close();
    if (!endCalculatorRun() || calculator_.abandoned()) return;
    if (demo_) {
        (void)runDemo(settings_);
        return;
    }
    openRom(resolvePath(settings_, settings_.romPath));
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

void MainWindow::killCommand() {
    QMessageBox box(QMessageBox::Warning, titleText(),
                    QStringLiteral("End Vantrel without saving the calculator?"),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setObjectName(QStringLiteral("killQuestion"));
    box.setInformativeText(
        QStringLiteral("Kill ends the program at once: what the calculator did since its state "
                       "was last saved is lost, whatever \"Save state on closing\" says. "
                       "File > Exit closes as usual."));
    box.setDefaultButton(QMessageBox::No);
    if (box.exec() == QMessageBox::Yes) kill();
}

void MainWindow::kill() { destroyWindow(); }

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

void MainWindow::repaintLcd() { view_->update(view_->lcdArea()); }

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

std::optional<std::string> MainWindow::askReceivedFileName(bool backup,
                                                           const std::string& firstVariable) {
    return askSaveFileName(this, backup, firstVariable);
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
