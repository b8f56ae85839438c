// Real speed for the hardware model: the emulated clock kept in step with the wall
// clock, and the speed reached.
//
// The pacer anchors a pair (wall time, emulated clock) and, at each pacing point,
// tells the loop to sleep until the wall time at which the clock it reached is due.
// Every wait is measured from the anchor, never added up, so nothing drifts. A loop
// behind by more than stallThreshold (a slow host, a hold, the debugger) anchors
// afresh instead of bursting to catch up; so does a change of speed. Pure logic over
// the time points it is given, so that a test can drive it with its own clock.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace vantrel {

enum class SpeedFactor : uint8_t { quarter, half, normal, twice, fourTimes, unlimited };

// Emulated seconds per wall second, as a fraction.
struct SpeedRatio {
    uint32_t emulated = 1;
    uint32_t wall = 1;
    bool operator==(const SpeedRatio&) const = default;
};

// Nothing for unlimited: as fast as the host allows.
constexpr std::optional<SpeedRatio> speedRatio(SpeedFactor factor) {
    switch (factor) {
        case SpeedFactor::quarter:
            return SpeedRatio{1, 4};
        case SpeedFactor::half:
            return SpeedRatio{1, 2};
        case SpeedFactor::normal:
            return SpeedRatio{1, 1};
        case SpeedFactor::twice:
            return SpeedRatio{2, 1};
        case SpeedFactor::fourTimes:
            return SpeedRatio{4, 1};
        case SpeedFactor::unlimited:
            break;
    }
    return std::nullopt;
}

// Behind by more than this, the loop starts afresh from where it is.
inline constexpr std::chrono::milliseconds stallThreshold{100};
// The speed reached is averaged over this much wall time.
inline constexpr std::chrono::seconds speedWindow{1};

using WallTime = std::chrono::steady_clock::time_point;

class Pacer {
public:
    // At a pacing point with the clock reached: the wall time to sleep until, or
    // nothing to go on at once (unlimited, due or late, or anchored just now).
    std::optional<WallTime> pace(uint64_t clock, WallTime now, std::optional<SpeedRatio> ratio);
    // The next pace() anchors afresh (the clock was changed from outside).
    void reanchor() { anchored_ = false; }
    // The clock due at wall time now, at the given ratio, counted from clock at since.
    static uint64_t clockAfter(uint64_t clock, WallTime since, WallTime now, SpeedRatio ratio);
    // How often a stall made it anchor afresh.
    uint64_t stalls() const { return stalls_; }

private:
    void anchor(uint64_t clock, WallTime now, std::optional<SpeedRatio> ratio);
    WallTime due(uint64_t clock) const;

    bool anchored_ = false;
    std::optional<SpeedRatio> ratio_;
    WallTime anchorWall_{};
    uint64_t anchorClock_ = 0;
    uint64_t stalls_ = 0;
};

// Emulated T-states per wall second, over windows of speedWindow.
class SpeedMeter {
public:
    // A new figure once a window has passed since the last one.
    std::optional<uint64_t> sample(uint64_t clock, WallTime now);
    void restart() { started_ = false; }

private:
    bool started_ = false;
    WallTime since_{};
    uint64_t clockSince_ = 0;
};

}  // namespace vantrel
