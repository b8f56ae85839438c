// The keys of the calculator's history on its view, taken before they reach the
// calculator: the save slots' Alt keys (StateSlotsMenu) and the rewind key. Holding
// Shift+` (~) runs the calculator backwards, one snapshot every 1/rewindStepsPerSecond
// seconds, shown as it goes; releasing it (or leaving the window) goes on from there.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

class QKeyEvent;
class QWidget;

namespace vantrel {

class Calculator;
class StateSlotsMenu;

class HistoryKeys : public QObject {
    Q_OBJECT
public:
    // repaint shows the calculator after each step; status tells when the past ends.
    HistoryKeys(QWidget* view, Calculator& calculator, StateSlotsMenu& slotsMenu,
                std::function<void()> repaint, std::function<void(const QString&)> status);
    bool rewinding() const { return timer_.isActive(); }

    static bool isRewindKey(const QKeyEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void startRewind();
    void step();
    void stopRewind();

    Calculator& calculator_;
    StateSlotsMenu& slotsMenu_;
    std::function<void()> repaint_;
    std::function<void(const QString&)> status_;
    QTimer timer_;
};

}  // namespace vantrel
