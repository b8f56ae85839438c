#include "hardware/lcd_frames.h"

#include <algorithm>

namespace vantrel {

bool LcdFrameRing::publish(const LcdFrame& frame) {
    {
        std::lock_guard lock(mutex_);
        frames_[next_] = frame;
        next_ = (next_ + 1) % frames_.size();
        ++taken_;
    }
    return !noticeOut_.exchange(true, std::memory_order_acq_rel);
}

LcdFrames LcdFrameRing::read() const {
    LcdFrames copy;
    {
        std::lock_guard lock(mutex_);
        copy.taken = taken_;
        copy.count = static_cast<std::size_t>(std::min<uint64_t>(taken_, frames_.size()));
        for (std::size_t i = 0; i < copy.count; ++i)
            copy.newestFirst[i] = frames_[(next_ + frames_.size() - 1 - i) % frames_.size()];
    }
    noticeOut_.store(false, std::memory_order_release);
    return copy;
}

void LcdFrameRing::clear() {
    std::lock_guard lock(mutex_);
    next_ = 0;
    taken_ = 0;
}

}  // namespace vantrel
