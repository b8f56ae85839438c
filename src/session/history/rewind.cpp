#include "session/history/rewind.h"

#include <algorithm>

#include "hardware/hardware_clock.h"
#include "machine/machine.h"
#include "machine/thread_control.h"
#include "session/calculator/calculator.h"
#include "session/calculator/timer_tick.h"

namespace vantrel {

namespace {

constexpr int ticksPerSnapshot =
    static_cast<int>(std::chrono::milliseconds(1000) / timerPeriod / rewindSnapshotsPerSecond);
constexpr uint64_t clockPerSnapshot = cpuClockHz / rewindSnapshotsPerSecond;

std::size_t snapshotsFor(int seconds) {
    return static_cast<std::size_t>(std::clamp(seconds, 1, maxRewindSeconds) *
                                    rewindSnapshotsPerSecond);
}

}  // namespace

Rewind::Rewind(Calculator& calculator, int seconds)
    : calculator_(calculator), store_(snapshotsFor(seconds)), enabled_(seconds > 0) {}

Rewind::~Rewind() = default;

void Rewind::setSeconds(int seconds) {
    enabled_ = seconds > 0;
    if (!enabled_) store_.clear();
    store_.setCapacity(snapshotsFor(seconds));
}

void Rewind::clear() {
    store_.clear();
    showingNewest_ = false;
    runningTicks_ = 0;
    nextClock_ = 0;
}

void Rewind::tick() {
    if (!enabled_ || active() || !calculator_.running() || calculator_.stoppedForDebugger()) return;
    if (calculator_.romChecksum() != rom_) {  // the past of another ROM image
        clear();
        rom_ = calculator_.romChecksum();
    }
    if (calculator_.machine().model == MachineModel::hardware) {
        if (calculator_.asleep()) return;
        const uint64_t clock = calculator_.emulatedClock();
        if (clock < nextClock_ && nextClock_ - clock <= clockPerSnapshot) return;
        nextClock_ = clock + clockPerSnapshot;  // also after a restore that went back
        take();
        return;
    }
    // Asked before the tick delivers its key: a key waiting counts as running.
    ranSinceSnapshot_ = ranSinceSnapshot_ || !calculator_.asleep();
    if (++runningTicks_ < ticksPerSnapshot) return;
    runningTicks_ = 0;
    if (ranSinceSnapshot_) take();
    ranSinceSnapshot_ = false;
}

void Rewind::take() {
    store_.push(calculator_.captureState());
    showingNewest_ = false;
}

void Rewind::begin() {
    if (active() || !calculator_.running()) return;
    hold_ = std::make_unique<HoldGuard>(calculator_.machine().control);
    showingNewest_ = false;
}

bool Rewind::stepBack() {
    if (!active() || store_.size() == 0) return false;
    if (showingNewest_) {
        if (store_.size() <= 1) return false;
        store_.dropNewest();
    }
    showingNewest_ = calculator_.restoreState(store_.newest()).restored();
    return showingNewest_;
}

void Rewind::end() {
    hold_.reset();
    showingNewest_ = false;
    runningTicks_ = 0;
    nextClock_ = 0;
}

}  // namespace vantrel
