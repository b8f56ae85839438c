#include "debugger/stepper.h"

#include <array>

#include "debugger/breakpoints.h"
#include "debugger/disassembler.h"
#include "debugger/trace_recorder.h"
#include "machine/bus.h"
#include "machine/machine.h"
#include "z80/instruction_set.h"

namespace vantrel {

namespace {

// A return of the processor the machine runs: the classic model's own processor runs
// only the description's classic slots, the complete Z80 every slot.
bool isReturn(const Machine& m, const std::array<uint8_t, 4>& bytes) {
    const OpcodeInfo& info = describeInstruction(bytes);
    return (info.classic || m.model == MachineModel::hardware) && info.flow == Flow::ret;
}

// Opcodes that never store into memory, so that a write breakpoint costs a full decode
// only where one may hit; a prefix leads to a slot that may.
bool neverWrites(uint8_t opcode) {
    const OpcodeInfo& info = instructionSet[mainTableBase + opcode];
    return info.store == Store::none && info.flow != Flow::prefix;
}

// Signed distance of SP above where a step began: a call makes it negative until its
// return.
int depth(uint16_t sp, uint16_t startSp) { return static_cast<int16_t>(sp - startSp); }

}  // namespace

void Stepper::begin(const Machine& m, Kind kind) {
    kind_ = kind;
    startSp_ = m.regs.sp;
    resumeAt_ = m.regs.pc;
    returning_ = false;
}

void Stepper::run(const Machine& m) { begin(m, Kind::run); }
void Stepper::stepInto(const Machine& m) { begin(m, Kind::into); }

void Stepper::stepOver(const Machine& m) {
    const Instruction in = disassemble(memoryMapReader(m.mem), m.regs.pc);
    const bool calls =
        !in.traps && (in.flow == FlowKind::call || in.flow == FlowKind::conditionalCall ||
                      in.flow == FlowKind::restart);
    begin(m, calls ? Kind::over : Kind::into);
    next_ = in.next();
}

void Stepper::stepOut(const Machine& m) { begin(m, Kind::out); }

void Stepper::runTo(const Machine& m, uint16_t address) {
    begin(m, Kind::toAddress);
    target_ = address;
}

void Stepper::cancel() {
    kind_ = Kind::run;
    returning_ = false;
}

bool Stepper::needed() const {
    return stepping() || breakpoints_.anyEnabled() || breakpoints_.breakOnIllegal() ||
           trace_ != nullptr;
}

bool Stepper::stopWith(StopReason reason, uint16_t pc, std::optional<AddressRange> written) {
    // Recorded before the loop marks its stop, which is what the front end waits on
    // before it reads this.
    stop_ = StopInfo{reason, pc, written};
    cancel();
    return true;
}

bool Stepper::stopBefore(const Machine& m) {
    const uint16_t pc = m.regs.pc;
    const bool resuming = resumeAt_ == pc;
    resumeAt_.reset();
    const bool lookAtBytes = breakpoints_.breakOnIllegal() || breakpoints_.anyWriteEnabled() ||
                             kind_ == Kind::over || kind_ == Kind::out;
    const auto bytes = lookAtBytes ? readBytes<4>(m, pc) : std::array<uint8_t, 4>{};
    if (!resuming) {
        if (kind_ == Kind::toAddress && pc == target_) return stopWith(StopReason::runToCursor, pc);
        if (breakpoints_.breaksAt(pc)) return stopWith(StopReason::breakpoint, pc);
        if (breakpoints_.breakOnIllegal() && instructionTraps(bytes))
            return stopWith(StopReason::illegalInstruction, pc);
        if (breakpoints_.anyWriteEnabled() && !neverWrites(bytes[0])) {
            const Instruction in = disassemble(memoryMapReader(m.mem), pc);
            const auto written = memoryWrites(in, m.regs);
            if (written && breakpoints_.writeHits(*written))
                return stopWith(StopReason::writeBreakpoint, pc, written);
        }
    }
    if (kind_ == Kind::over || kind_ == Kind::out) {
        returning_ = isReturn(m, bytes);
        spBefore_ = m.regs.sp;
    }
    if (trace_) trace_->record(m);
    return false;
}

bool Stepper::returned(const Machine& m) const {
    return returning_ && m.regs.sp == static_cast<uint16_t>(spBefore_ + 2);
}

bool Stepper::stopAfter(const Machine& m) {
    const uint16_t pc = m.regs.pc;
    switch (kind_) {
        case Kind::into:
            return stopWith(StopReason::step, pc);
        case Kind::over:
            // Back at the next instruction, or returned past it (a routine that skips
            // data after its call), with the call's stack gone.
            if (depth(m.regs.sp, startSp_) >= 0 && (pc == next_ || returned(m)))
                return stopWith(StopReason::step, pc);
            return false;
        case Kind::out:
            if (returned(m) && depth(m.regs.sp, startSp_) > 0)
                return stopWith(StopReason::step, pc);
            return false;
        default:
            return false;
    }
}

void Stepper::stopped(const Machine&) {
    if (onStop) onStop(stop_);
}

std::optional<IllegalOpcodeAnswer> Stepper::illegalInstruction(const Machine&) {
    // With the break on, the debugger stopped on it, or the user stepped onto it: it has
    // been shown, and going on means going past it as the dialog's Yes does.
    if (breakpoints_.breakOnIllegal()) return IllegalOpcodeAnswer::carryOn;
    return std::nullopt;
}

}  // namespace vantrel
