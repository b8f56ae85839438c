#include "machine/real_speed.h"

#include <numeric>

#include "hardware/hardware_clock.h"

namespace vantrel {

namespace {

// Nanoseconds per T-state as a reduced fraction (500/3 at 6 MHz), so that products stay
// far from overflow for any clock the machine keeps.
constexpr uint64_t nsPerSecond = 1'000'000'000;
constexpr uint64_t divisor = std::gcd(nsPerSecond, cpuClockHz);
constexpr uint64_t nsNumerator = nsPerSecond / divisor;
constexpr uint64_t nsDenominator = cpuClockHz / divisor;

}  // namespace

void Pacer::anchor(uint64_t clock, WallTime now, std::optional<SpeedRatio> ratio) {
    anchored_ = ratio.has_value();
    ratio_ = ratio;
    anchorWall_ = now;
    anchorClock_ = clock;
}

WallTime Pacer::due(uint64_t clock) const {
    const uint64_t ns =
        (clock - anchorClock_) * nsNumerator * ratio_->wall / (nsDenominator * ratio_->emulated);
    return anchorWall_ + std::chrono::nanoseconds(static_cast<int64_t>(ns));
}

std::optional<WallTime> Pacer::pace(uint64_t clock, WallTime now, std::optional<SpeedRatio> ratio) {
    if (!anchored_ || ratio != ratio_ || clock < anchorClock_) {
        anchor(clock, now, ratio);
        return std::nullopt;
    }
    const WallTime target = due(clock);
    if (now > target + stallThreshold) {
        ++stalls_;
        anchor(clock, now, ratio);
        return std::nullopt;
    }
    if (target > now) return target;
    return std::nullopt;
}

uint64_t Pacer::clockAfter(uint64_t clock, WallTime since, WallTime now, SpeedRatio ratio) {
    if (now <= since) return clock;
    const auto ns = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now - since).count());
    return clock + ns * nsDenominator * ratio.emulated / (nsNumerator * ratio.wall);
}

std::optional<uint64_t> SpeedMeter::sample(uint64_t clock, WallTime now) {
    if (!started_ || clock < clockSince_) {
        started_ = true;
        since_ = now;
        clockSince_ = clock;
        return std::nullopt;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - since_);
    if (elapsed < speedWindow) return std::nullopt;
    const auto perSecond = static_cast<uint64_t>(static_cast<double>(clock - clockSince_) *
                                                 static_cast<double>(nsPerSecond) /
                                                 static_cast<double>(elapsed.count()));
    since_ = now;
    clockSince_ = clock;
    return perSecond;
}

}  // namespace vantrel
