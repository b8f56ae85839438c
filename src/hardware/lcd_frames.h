// The LCD in time: the frames that the hardware model takes at lcdFrameRate of
// emulated time, kept in a small ring that the front end's thread reads whole.
//
// The emulation loop publishes a frame under a lock taken once per frame (never on an
// instruction's path); a reader copies the ring under the same lock, so that it never
// sees half a frame. A repaint notice is out from the loop's first frame until the
// next read: the loop tells the host about a new frame only when the last notice has
// been taken up, so that a fast-running loop cannot flood the front end.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "hardware/hardware_clock.h"
#include "hardware/lcd_picture.h"

namespace vantrel {

struct LcdFrame {
    LcdBytes pixels{};     // the 1024 bytes the LCD showed; blank while it was off
    uint64_t clock = 0;    // the emulated clock at which it was taken
    uint8_t contrast = 0;  // port 2, 0 (light) to 31 (dark)
    bool lcdOn = false;
};

// A copy of the ring: the newest frame first.
struct LcdFrames {
    std::array<LcdFrame, lcdFrameRingSize> newestFirst{};
    std::size_t count = 0;  // frames in newestFirst
    uint64_t taken = 0;     // frames published since the ring was made or cleared
};

class LcdFrameRing {
public:
    // The emulation loop. True when the host is to be told (no notice is out).
    bool publish(const LcdFrame& frame);
    // Any thread: the frames now, which also takes up the repaint notice.
    LcdFrames read() const;
    // While the loop rests: no frames (after a restored state, a reset).
    void clear();

private:
    mutable std::mutex mutex_;
    std::array<LcdFrame, lcdFrameRingSize> frames_{};
    std::size_t next_ = 0;
    uint64_t taken_ = 0;
    mutable std::atomic<bool> noticeOut_{false};
};

}  // namespace vantrel
