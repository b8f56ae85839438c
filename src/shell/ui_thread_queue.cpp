#include "shell/ui_thread_queue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cstdint>

namespace vantrel {

UiThreadQueue::UiThreadQueue(QObject* parent)
    : QObject(parent), wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (wakeFd_ < 0) return;
    notifier_ = new QSocketNotifier(wakeFd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { runQueued(); });
}

UiThreadQueue::~UiThreadQueue() {
    if (notifier_) notifier_->setEnabled(false);
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void UiThreadQueue::post(std::function<void()> work) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(work));
    }
    const uint64_t one = 1;
    if (wakeFd_ >= 0) [[maybe_unused]]
        const auto written = ::write(wakeFd_, &one, sizeof one);
}

void UiThreadQueue::runQueued() {
    uint64_t count = 0;
    [[maybe_unused]] const auto got = ::read(wakeFd_, &count, sizeof count);
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) return;
            work = std::move(queue_.front());
            queue_.pop_front();
        }
        work();
    }
}

}  // namespace vantrel
