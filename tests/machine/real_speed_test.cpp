// Real speed's logic on a clock of the test's own: waits measured from the anchor, no
// drift however late each wake-up comes, a fresh anchor after a stall or a change of
// speed instead of a burst, and the speed reached.
#include "machine/real_speed.h"

#include <gtest/gtest.h>

#include <random>

#include "hardware/hardware_clock.h"

using namespace std::chrono_literals;

namespace vantrel {
namespace {

const WallTime start = WallTime{} + 1000s;
constexpr SpeedRatio realSpeed{1, 1};

TEST(RealSpeed, WaitsAddNothingUpSoNothingDrifts) {
    Pacer pacer;
    EXPECT_EQ(pacer.pace(0, start, realSpeed), std::nullopt);  // anchors
    std::mt19937 random(7);
    WallTime now = start;
    uint64_t clock = 0;
    // Ten minutes of frames, each wake-up up to 2 ms late and the frame's work taking
    // up to 1 ms more.
    for (uint64_t frame = 1; frame <= 10 * 60 * lcdFrameRate; ++frame) {
        clock += lcdFramePeriod;
        now += std::chrono::microseconds(random() % 1000);
        if (const auto until = pacer.pace(clock, now, realSpeed)) {
            EXPECT_GT(*until, now);
            now = *until + std::chrono::microseconds(random() % 2000);
        }
    }
    const auto wall = std::chrono::duration_cast<std::chrono::microseconds>(now - start);
    EXPECT_NEAR(static_cast<double>(wall.count()), 600e6, 3000.0);  // the last lateness only
    EXPECT_EQ(pacer.stalls(), 0u);
}

TEST(RealSpeed, AStallOrAChangeOfSpeedAnchorsAfreshInsteadOfBursting) {
    Pacer pacer;
    pacer.pace(0, start, realSpeed);
    EXPECT_EQ(pacer.pace(lcdFramePeriod, start, realSpeed), start + 16'666'666ns);
    // Behind by less than the threshold: runs on at once to catch up.
    EXPECT_EQ(pacer.pace(lcdFramePeriod, start + 50ms, realSpeed), std::nullopt);
    // Held for a second: from here on, not a second's burst.
    const WallTime later = start + 1s;
    EXPECT_EQ(pacer.pace(2 * lcdFramePeriod, later, realSpeed), std::nullopt);
    EXPECT_EQ(pacer.stalls(), 1u);
    EXPECT_EQ(pacer.pace(3 * lcdFramePeriod, later, realSpeed), later + 16'666'666ns);

    // Four times as fast, from where it is; then unlimited; then a quarter.
    EXPECT_EQ(pacer.pace(3 * lcdFramePeriod, later, SpeedRatio{4, 1}), std::nullopt);
    EXPECT_EQ(pacer.pace(4 * lcdFramePeriod, later, SpeedRatio{4, 1}), later + 4'166'666ns);
    EXPECT_EQ(pacer.pace(100 * lcdFramePeriod, later, std::nullopt), std::nullopt);
    EXPECT_EQ(pacer.pace(100 * lcdFramePeriod, later, SpeedRatio{1, 4}), std::nullopt);
    EXPECT_EQ(pacer.pace(101 * lcdFramePeriod, later, SpeedRatio{1, 4}), later + 66'666'666ns);
    // A clock set back from outside.
    EXPECT_EQ(pacer.pace(5, later, SpeedRatio{1, 4}), std::nullopt);
    EXPECT_EQ(pacer.stalls(), 1u);
}

TEST(RealSpeed, ClockAfterASleepAndTheSpeedReached) {
    EXPECT_EQ(Pacer::clockAfter(1000, start, start + 50ms, realSpeed), 1000 + 50 * tStatesPerMs);
    EXPECT_EQ(Pacer::clockAfter(1000, start, start + 50ms, SpeedRatio{1, 2}),
              1000 + 25 * tStatesPerMs);
    EXPECT_EQ(Pacer::clockAfter(1000, start, start - 1s, realSpeed), 1000u);

    SpeedMeter meter;
    EXPECT_EQ(meter.sample(0, start), std::nullopt);
    EXPECT_EQ(meter.sample(cpuClockHz / 2, start + 500ms), std::nullopt);
    EXPECT_EQ(meter.sample(cpuClockHz, start + 1s), cpuClockHz);
    EXPECT_EQ(meter.sample(cpuClockHz + cpuClockHz / 2, start + 3s), cpuClockHz / 4);
}

}  // namespace
}  // namespace vantrel
