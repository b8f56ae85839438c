#include "shell/speed_menu.h"

#include <QActionGroup>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <array>

#include "session/calculator/calculator.h"
#include "session/settings/settings.h"

namespace vantrel {

namespace {

constexpr std::array<SpeedFactor, 6> factors{SpeedFactor::quarter,   SpeedFactor::half,
                                             SpeedFactor::normal,    SpeedFactor::twice,
                                             SpeedFactor::fourTimes, SpeedFactor::unlimited};

QString menuText(SpeedFactor factor) {
    switch (factor) {
        case SpeedFactor::quarter:
            return QStringLiteral("&1/4x");
        case SpeedFactor::half:
            return QStringLiteral("1/&2x");
        case SpeedFactor::normal:
            return QStringLiteral("1&x (real speed)");
        case SpeedFactor::twice:
            return QStringLiteral("2x");
        case SpeedFactor::fourTimes:
            return QStringLiteral("&4x");
        case SpeedFactor::unlimited:
            break;
    }
    return QStringLiteral("&Unlimited");
}

constexpr int speedShownMs = 500;

}  // namespace

bool isFastForwardKey(int key, Qt::KeyboardModifiers modifiers) {
    return key == Qt::Key_QuoteLeft && !(modifiers & Qt::ShiftModifier);
}

SpeedControls::SpeedControls(QMainWindow* window, Calculator& calculator, Settings& settings)
    : QObject(window), calculator_(calculator), settings_(settings) {
    // A child of the menu bar, where Help > Keyboard looks for the window's keys.
    menu_ = new QMenu(QStringLiteral("&Speed"), window->menuBar());
    menu_->setObjectName(QStringLiteral("speedMenu"));
    menu_->setToolTipsVisible(true);
    group_ = new QActionGroup(menu_);
    for (std::size_t i = 0; i < factors.size(); ++i) {
        QAction* action = menu_->addAction(menuText(factors[i]));
        action->setCheckable(true);
        group_->addAction(action);
        connect(action, &QAction::triggered, this, [this, i] { choose(static_cast<int>(i)); });
    }
    menu_->addSeparator();
    // Not a shortcut: it acts while held (see fastForwardKey).
    QAction* hold = menu_->addAction(QStringLiteral("Unlimited While Held\t`"));
    hold->setEnabled(false);
    // Before Help, the last menu.
    const QList<QAction*> menus = window->menuBar()->actions();
    window->menuBar()->insertMenu(menus.isEmpty() ? nullptr : menus.last(), menu_);

    label_ = new QLabel(window);
    label_->setObjectName(QStringLiteral("modelAndSpeed"));
    window->statusBar()->addPermanentWidget(label_);
    timer_.setInterval(speedShownMs);
    connect(&timer_, &QTimer::timeout, this, [this] { showSpeed(); });
    refresh();
}

void SpeedControls::refresh() {
    const bool hardware = calculator_.hardwareModel();
    for (std::size_t i = 0; i < factors.size(); ++i)
        group_->actions()[static_cast<qsizetype>(i)]->setChecked(factors[i] == settings_.speed);
    for (QAction* action : group_->actions()) {
        action->setEnabled(hardware);
        action->setToolTip(hardware ? QString()
                                    : QStringLiteral("The classic model runs as fast as the "
                                                     "computer allows; Preferences > Machine "
                                                     "chooses the hardware model"));
    }
    menu_->setToolTip(group_->actions().first()->toolTip());
    label_->setVisible(hardware);
    if (hardware) {
        calculator_.setSpeed(settings_.speed);
        timer_.start();
    } else {
        timer_.stop();
    }
    showSpeed();
}

void SpeedControls::choose(int index) {
    settings_.speed = factors[static_cast<std::size_t>(index)];
    calculator_.setSpeed(settings_.speed);
}

bool SpeedControls::fastForwardKey(int key, Qt::KeyboardModifiers modifiers, bool down) {
    if (!isFastForwardKey(key, modifiers) && !(fastForward_ && !down && key == Qt::Key_QuoteLeft))
        return false;
    if (calculator_.hardwareModel() && fastForward_ != down) {
        fastForward_ = down;
        calculator_.setFastForward(down);
        showSpeed();
    }
    return true;
}

void SpeedControls::releaseFastForward() {
    if (!fastForward_) return;
    fastForward_ = false;
    calculator_.setFastForward(false);
}

void SpeedControls::showSpeed() {
    if (!calculator_.hardwareModel()) return;
    QString text = QStringLiteral("Hardware model");
    if (const auto percent = calculator_.speedPercent())
        text += QStringLiteral(" \u2014 %1 %").arg(*percent);
    if (fastForward_) text += QStringLiteral(" (fast-forward)");
    label_->setText(text);
}

}  // namespace vantrel
