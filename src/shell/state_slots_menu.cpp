#include "shell/state_slots_menu.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>

#include "session/calculator/calculator.h"
#include "session/calculator/messages.h"
#include "session/settings/settings.h"

namespace vantrel {

namespace {

// The slot of a digit key with Alt (and Shift): 1 to 9, and 0 for slot 10. X11 scan
// codes 10 to 19 are the digit row whatever the layout and Shift; without them, the
// digits and what Shift makes of them on a US keyboard.
int slotOfKey(const QKeyEvent& event) {
    const quint32 scan = event.nativeScanCode();
    if (scan >= 10 && scan <= 19) return static_cast<int>(scan) - 9;
    const int key = event.key();
    if (key >= Qt::Key_1 && key <= Qt::Key_9) return key - Qt::Key_0;
    if (key == Qt::Key_0) return 10;
    static const int shifted[] = {Qt::Key_Exclam,    Qt::Key_At,       Qt::Key_NumberSign,
                                  Qt::Key_Dollar,    Qt::Key_Percent,  Qt::Key_AsciiCircum,
                                  Qt::Key_Ampersand, Qt::Key_Asterisk, Qt::Key_ParenLeft,
                                  Qt::Key_ParenRight};
    for (int i = 0; i < saveSlotCount; ++i)
        if (shifted[i] == key) return i + 1;
    return 0;
}

QString slotKey(int slot) { return QString::number(slot % 10); }

}  // namespace

StateSlotsMenu::StateSlotsMenu(QWidget* owner, Calculator& calculator, const Settings& settings,
                               QMenu* file, std::function<void(const QString&)> status)
    : QObject(owner),
      owner_(owner),
      calculator_(calculator),
      settings_(settings),
      status_(std::move(status)),
      slots_(std::make_unique<SaveSlots>(calculator, dataDirectory(settings))) {
    QMenu* saveMenu = file->addMenu(QStringLiteral("Sa&ve State"));
    QMenu* loadMenu = file->addMenu(QStringLiteral("&Load State"));
    for (auto [menu, saving] : {std::pair{saveMenu, true}, std::pair{loadMenu, false}}) {
        menu->setObjectName(saving ? QStringLiteral("saveStateMenu")
                                   : QStringLiteral("loadStateMenu"));
        // The slots' keys are listed once in Help > Keyboard, not per slot.
        menu->setProperty("slotMenu", true);
        connect(menu, &QMenu::aboutToShow, this, [this, menu, saving] { fill(menu, saving); });
        fill(menu, saving);
    }
    undoLoad_ = file->addAction(QStringLiteral("&Undo Load State\tAlt+Z"));
    undoLoad_->setObjectName(QStringLiteral("undoLoadState"));
    connect(undoLoad_, &QAction::triggered, this, &StateSlotsMenu::undoLoad);
    undoSave_ = file->addAction(QStringLiteral("Undo Save State"));
    undoSave_->setObjectName(QStringLiteral("undoSaveState"));
    connect(undoSave_, &QAction::triggered, this, &StateSlotsMenu::undoSave);
    connect(file, &QMenu::aboutToShow, this, [this] {
        undoLoad_->setEnabled(slots_->canUndoLoad());
        const auto saved = slots_->undoableSave();
        undoSave_->setEnabled(saved.has_value());
        undoSave_->setText(saved ? QStringLiteral("Undo Save State (Slot %1)").arg(*saved)
                                 : QStringLiteral("Undo Save State"));
    });
}

void StateSlotsMenu::fill(QMenu* menu, bool saving) {
    menu->clear();
    const bool usable = calculator_.usable() && !calculator_.abandoned();
    for (int slot = 1; slot <= saveSlotCount; ++slot) {
        const SlotInfo info = slots_->info(slot);
        QString text =
            slot < 10 ? QStringLiteral("Slot &%1").arg(slot) : QStringLiteral("Slot 1&0");
        if (!info.used) {
            text += QStringLiteral("  (empty)");
        } else {
            const auto seconds =
                std::chrono::duration_cast<std::chrono::seconds>(info.time.time_since_epoch());
            text += QStringLiteral("  ") + QDateTime::fromSecsSinceEpoch(seconds.count())
                                               .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
            text += info.model
                        ? QStringLiteral("  %1 model")
                              .arg(QString::fromUtf8(
                                  machineModelName(*info.model).data(),
                                  static_cast<qsizetype>(machineModelName(*info.model).size())))
                        : QStringLiteral("  (damaged)");
        }
        text += QStringLiteral("\t%1Alt+%2")
                    .arg(saving ? QStringLiteral("Shift+") : QString(), slotKey(slot));
        QAction* action = menu->addAction(text);
        action->setObjectName(QStringLiteral("%1Slot%2").arg(saving ? "save" : "load").arg(slot));
        if (!info.picture.empty())
            action->setIcon(QIcon(QPixmap(QString::fromStdString(info.picture))));
        action->setEnabled(usable && (saving || info.used));
        connect(action, &QAction::triggered, this, [this, slot, saving] {
            if (saving)
                save(slot);
            else
                load(slot);
        });
    }
}

void StateSlotsMenu::report(const Result<>& result, const QString& done) {
    if (result) {
        status_(done);
        return;
    }
    if (settings_.beepOnErrors) QApplication::beep();
    QMessageBox::warning(owner_, QString::fromStdString(programTitle()),
                         QString::fromStdString(result.failure().reason));
}

void StateSlotsMenu::save(int slot) {
    report(slots_->save(slot, settings_.foreground, settings_.background),
           QStringLiteral("Saved in slot %1").arg(slot));
}

void StateSlotsMenu::load(int slot) {
    report(slots_->load(slot), QStringLiteral("Slot %1 loaded (Alt+Z: undo)").arg(slot));
}

void StateSlotsMenu::undoLoad() {
    report(slots_->undoLoad(), QStringLiteral("The state before the load is back"));
}

void StateSlotsMenu::undoSave() {
    const auto slot = slots_->undoableSave();
    report(slots_->undoSave(),
           QStringLiteral("Slot %1 holds its earlier state again").arg(slot.value_or(0)));
}

bool StateSlotsMenu::takeKey(const QKeyEvent& event) {
    const Qt::KeyboardModifiers mods = event.modifiers() & (Qt::AltModifier | Qt::ShiftModifier |
                                                            Qt::ControlModifier | Qt::MetaModifier);
    if (!(mods & Qt::AltModifier) || (mods & (Qt::ControlModifier | Qt::MetaModifier)))
        return false;
    if (event.key() == Qt::Key_Z && !(mods & Qt::ShiftModifier)) {
        if (!event.isAutoRepeat()) undoLoad();
        return true;
    }
    const int slot = slotOfKey(event);
    if (slot == 0) return false;
    if (!event.isAutoRepeat()) {
        if (mods & Qt::ShiftModifier)
            save(slot);
        else
            load(slot);
    }
    return true;
}

std::vector<std::pair<QString, QString>> StateSlotsMenu::commandKeys() {
    return {{QStringLiteral("Alt+Shift+1 to 0"), QStringLiteral("Save State in slot 1 to 10")},
            {QStringLiteral("Alt+1 to 0"), QStringLiteral("Load State from slot 1 to 10")}};
}

}  // namespace vantrel
