// Rewind: the calculator's last minute (a setting) kept as snapshots, one every
// quarter second of its running time, and played back while the rewind key is held.
//
// The classic model counts quarter seconds in the session's 50 ms ticks: every fifth
// tick takes a snapshot when one of those five found the calculator running (awake,
// or a key waiting for it), so a calculator asleep in HALT, or stopped in the
// debugger, keeps none. (It runs for microseconds a key: counting only the ticks that
// find it awake would take one snapshot for many keys typed.) The hardware model counts emulated
// time: the first tick after each quarter second of the clock takes one. Both take
// them at the tick, on the front end's thread, with the loop held for the copy (tens
// of microseconds); the hardware model's loop is never made to rest at a quarter
// second's clock, so a run's snapshots fall where the ticks do, but each is a whole
// state and a run continued from one is the run that state makes.
//
// Playing back: begin() holds the loop; each stepBack() puts the calculator in the
// snapshot before the one shown (the first in the newest); end() lets it go on from the
// one shown, and the snapshots after it are gone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "session/history/snapshot_store.h"
#include "session/settings/settings.h"

namespace vantrel {

class Calculator;
class HoldGuard;

inline constexpr int rewindSnapshotsPerSecond = 4;
// While the key is held, snapshots are shown at twice the pace they were taken: the
// past runs backwards at twice its speed, a minute in half a minute.
inline constexpr int rewindStepsPerSecond = 8;

class Rewind {
public:
    explicit Rewind(Calculator& calculator, int seconds = defaultRewindSeconds);
    ~Rewind();
    Rewind(const Rewind&) = delete;
    Rewind& operator=(const Rewind&) = delete;

    // How far back it reaches (1 to maxRewindSeconds; 0 keeps nothing).
    void setSeconds(int seconds);
    // The session's 50 ms tick.
    void tick();

    void begin();
    // False when there is nothing further back (the oldest snapshot stays shown).
    bool stepBack();
    void end();
    bool active() const { return hold_ != nullptr; }

    const SnapshotStore& snapshots() const { return store_; }
    void clear();

private:
    void take();

    Calculator& calculator_;
    SnapshotStore store_;
    bool enabled_ = true;
    std::unique_ptr<HoldGuard> hold_;
    bool showingNewest_ = false;
    int runningTicks_ = 0;
    bool ranSinceSnapshot_ = false;
    uint64_t nextClock_ = 0;
    uint32_t rom_ = 0;
};

}  // namespace vantrel
