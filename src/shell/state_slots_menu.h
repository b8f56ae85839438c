// File > Save State, Load State, Undo Load State and Undo Save State, with the keys
// that reach them: Alt+Shift+1 to 0 save into slot 1 to 10, Alt+1 to 0 load from it,
// Alt+Z undoes the last load. The slots' entries show each slot's LCD picture, when
// it was saved and which model saved it, filled afresh each time a menu opens.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "session/history/save_slots.h"

class QAction;
class QKeyEvent;
class QMenu;
class QWidget;

namespace vantrel {

class Calculator;
struct Settings;

class StateSlotsMenu : public QObject {
    Q_OBJECT
public:
    // Adds its entries to file; reports what it did through status, a failure in a
    // message box over owner.
    StateSlotsMenu(QWidget* owner, Calculator& calculator, const Settings& settings, QMenu* file,
                   std::function<void(const QString&)> status);

    void save(int slot);
    void load(int slot);
    void undoLoad();
    void undoSave();
    // An Alt key of its own, pressed on the calculator's view: true when it took it.
    bool takeKey(const QKeyEvent& event);
    // Its keys for Help > Keyboard: key, command.
    static std::vector<std::pair<QString, QString>> commandKeys();

private:
    void fill(QMenu* menu, bool saving);
    void report(const Result<>& result, const QString& done);

    QWidget* owner_;
    Calculator& calculator_;
    const Settings& settings_;
    std::function<void(const QString&)> status_;
    std::unique_ptr<SaveSlots> slots_;
    QAction* undoLoad_ = nullptr;
    QAction* undoSave_ = nullptr;
};

}  // namespace vantrel
