#include "shell/history_keys.h"

#include <QKeyEvent>
#include <QWidget>

#include "session/calculator/calculator.h"
#include "session/history/rewind.h"
#include "shell/state_slots_menu.h"

namespace vantrel {

namespace {

// The X11 scan code of the key left of 1 (` and ~), whatever the layout.
constexpr quint32 graveScanCode = 49;

}  // namespace

HistoryKeys::HistoryKeys(QWidget* view, Calculator& calculator, StateSlotsMenu& slotsMenu,
                         std::function<void()> repaint, std::function<void(const QString&)> status)
    : QObject(view),
      calculator_(calculator),
      slotsMenu_(slotsMenu),
      repaint_(std::move(repaint)),
      status_(std::move(status)) {
    timer_.setInterval(1000 / rewindStepsPerSecond);
    connect(&timer_, &QTimer::timeout, this, &HistoryKeys::step);
    view->installEventFilter(this);
}

bool HistoryKeys::isRewindKey(const QKeyEvent& event) {
    if (!(event.modifiers() & Qt::ShiftModifier)) return false;
    return event.key() == Qt::Key_AsciiTilde ||
           (event.nativeScanCode() == graveScanCode && event.key() != Qt::Key_QuoteLeft);
}

bool HistoryKeys::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress: {
            const auto& key = static_cast<const QKeyEvent&>(*event);
            if (isRewindKey(key)) {
                if (!key.isAutoRepeat()) startRewind();
                return true;
            }
            return slotsMenu_.takeKey(key);
        }
        case QEvent::KeyRelease: {
            const auto& key = static_cast<const QKeyEvent&>(*event);
            // Shift let go first still ends it: the key's release comes as `.
            if (rewinding() && !key.isAutoRepeat() &&
                (isRewindKey(key) || key.nativeScanCode() == graveScanCode ||
                 key.key() == Qt::Key_QuoteLeft)) {
                stopRewind();
                return true;
            }
            break;
        }
        case QEvent::FocusOut:
            stopRewind();
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

void HistoryKeys::startRewind() {
    if (rewinding() || !calculator_.running()) return;
    calculator_.rewind().begin();
    if (!calculator_.rewind().active()) return;
    timer_.start();
    step();
}

void HistoryKeys::step() {
    if (calculator_.rewind().stepBack())
        repaint_();
    else
        status_(calculator_.rewind().snapshots().size() == 0
                    ? QStringLiteral("Nothing to rewind")
                    : QStringLiteral("Rewound as far as it goes"));
}

void HistoryKeys::stopRewind() {
    if (!rewinding()) return;
    timer_.stop();
    calculator_.rewind().end();
    repaint_();
}

}  // namespace vantrel
