// The debugger's watch over the running processor: the breakpoints, the steps (Step
// Into, Step Over, Step Out, Run to Cursor) and the instruction trace, as the run
// loop's supervisor.
//
// Everything but the Supervisor calls is done while the loop rests (stopped for the
// debugger, held, or not running); the Supervisor calls come from the emulation thread
// while it runs. The loop's rests are what orders the two.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "debugger/address_range.h"
#include "debugger/stop_info.h"
#include "machine/supervisor.h"

namespace vantrel {

class BreakpointSet;
class TraceRecorder;

class Stepper final : public Supervisor {
public:
    explicit Stepper(const BreakpointSet& breakpoints) : breakpoints_(breakpoints) {}

    // What the next run does, from the registers of m (stopped there). Each lets the
    // instruction at PC run without looking at the breakpoints there first, since the
    // debugger stopped on it.
    void run(const Machine& m);  // until a breakpoint
    void stepInto(const Machine& m);
    // A CALL, a conditional call or RST runs until it returns (its stack back where it
    // was); any other instruction is one step, a repeating block instruction included.
    void stepOver(const Machine& m);
    // Until a return takes the stack above where it is now.
    void stepOut(const Machine& m);
    void runTo(const Machine& m, uint16_t address);
    // Nothing in progress any more, breakpoints aside (the user's Break).
    void cancel();
    // Breakpoints look at the next instruction even where the calculator rests.
    void forgetResumePoint() { resumeAt_.reset(); }

    // A step or Run to Cursor is under way.
    bool stepping() const { return kind_ != Kind::run; }
    // Whether the loop must ask: a step under way, a breakpoint that can hit, a trace.
    bool needed() const;

    void setTrace(TraceRecorder* trace) { trace_ = trace; }

    // The last stop; also set for a Break, which the loop does not see.
    const StopInfo& lastStop() const { return stop_; }
    void setLastStop(const StopInfo& stop) { stop_ = stop; }

    // Called on the emulation thread once the loop has stopped and rests.
    std::function<void(const StopInfo&)> onStop;

    bool stopBefore(const Machine& m) override;
    bool stopAfter(const Machine& m) override;
    void stopped(const Machine& m) override;
    std::optional<IllegalOpcodeAnswer> illegalInstruction(const Machine& m) override;

private:
    enum class Kind : uint8_t { run, into, over, out, toAddress };

    void begin(const Machine& m, Kind kind);
    bool stopWith(StopReason reason, uint16_t pc, std::optional<AddressRange> written = {});
    // The last instruction was a return that popped its address.
    bool returned(const Machine& m) const;

    const BreakpointSet& breakpoints_;
    Kind kind_ = Kind::run;
    uint16_t startSp_ = 0;  // SP when the step began
    uint16_t next_ = 0;     // the instruction after a stepped-over call
    uint16_t target_ = 0;   // Run to Cursor
    std::optional<uint16_t> resumeAt_;
    bool returning_ = false;  // the instruction about to run is a return...
    uint16_t spBefore_ = 0;   // ... with this SP
    StopInfo stop_;
    TraceRecorder* trace_ = nullptr;
};

}  // namespace vantrel
