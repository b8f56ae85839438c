// Work handed to the user-interface thread from any thread: a queue under a mutex
// and a wake-up through an event file descriptor that the event loop watches. Unlike
// a queued call through the toolkit, every hand-over is one that ThreadSanitizer
// sees, so the run under it checks the window's threads as well.
#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

class QSocketNotifier;

namespace vantrel {

class UiThreadQueue : public QObject {
    Q_OBJECT
public:
    explicit UiThreadQueue(QObject* parent);
    ~UiThreadQueue() override;

    // Any thread. Work still queued when the queue goes is dropped with it.
    void post(std::function<void()> work);

private:
    void runQueued();

    std::mutex mutex_;
    std::deque<std::function<void()>> queue_;
    int wakeFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace vantrel
