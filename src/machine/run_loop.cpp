#include "machine/run_loop.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>

#include "machine/bus.h"
#include "machine/dispatch_table.h"

namespace vantrel {

namespace {

// Executes one instruction that starts in the last bytes of an image. Its bytes come
// from a small window: what is left of the image, then the map's bytes for the
// addresses that follow (RAM 0xFFFF is followed by ROM 0x0000, page 7 by RAM).
void stepAcrossImageEnd(Machine& m) {
    const uint8_t* start = m.fetchPointer;
    const std::less<const uint8_t*> before;
    // The end of the ROM image counts as ROM with nothing left (the RAM image may start
    // at that very address; the map's bytes are then the same).
    const uint8_t* romEnd = m.mem.rom.data() + romSize;
    const bool inRom = !before(start, m.mem.rom.data()) && !before(romEnd, start);
    const uint8_t* imageEnd = inRom ? romEnd : m.mem.ram() + ramSize;
    const auto left = static_cast<std::size_t>(imageEnd - start);

    std::array<uint8_t, 2 * longestInstruction> window{};
    std::memcpy(window.data(), start, left);
    for (std::size_t i = left; i < window.size(); ++i)
        window[i] = *m.mem.translateRead(static_cast<uint16_t>(m.regs.pc + i));

    m.fetchPointer = window.data();
    const uint8_t opcode = fetchByte(m);
    dispatchTable[opcode](m);

    const bool transferred = before(m.fetchPointer, window.data()) ||
                             !before(m.fetchPointer, window.data() + window.size());
    if (transferred) return;
    const auto used = static_cast<std::size_t>(m.fetchPointer - window.data());
    if (used < left)
        m.fetchPointer = start + used;
    else
        jumpTo(m, m.regs.pc);
}

}  // namespace

void executeOne(Machine& m) {
    if (fetchNearImageEnd(m)) {
        stepAcrossImageEnd(m);
        return;
    }
    const uint8_t opcode = fetchByte(m);
    dispatchTable[opcode](m);
}

void takeInterrupt(Machine& m) {
    pushWord(m, m.regs.pc);
    m.regs.pc = 0x0038;
    m.fetchPointer = m.mem.rom.data() + 0x0038;
}

namespace {

void repaint(Machine& m) {
    m.callHost([](HostInterface& h) { h.repaintLcd(); });
}

// Serves what the request word held: the loop's end for Stop and Abort. Out of line,
// since the loop pays for it only when a request is pending.
[[gnu::noinline]] std::optional<LoopEnd> serveRequest(Machine& m, uint32_t word) {
    ThreadControl& control = m.control;
    if (word & holdRequestBit) control.honourHold(word & requestCodeMask);
    switch (word & requestCodeMask) {
        case code(EmuRequest::Redraw):
            repaint(m);
            break;
        case code(EmuRequest::Stop):
            control.loopEnded();
            return LoopEnd::stopped;
        case code(EmuRequest::Abort):
            control.loopEnded();
            return LoopEnd::aborted;
        case code(EmuRequest::Pause):
            control.dropWakeToken();
            repaint(m);
            control.repostPause();
            control.haltEvent.pulse();
            control.suspendSelf();
            break;
        case code(EmuRequest::Interrupt):
        case code(EmuRequest::InterruptAlias):
            if (m.regs.interruptsEnabled()) takeInterrupt(m);
            repaint(m);
            break;
        default:
            break;
    }
    return std::nullopt;
}

// Rests for the debugger at an instruction boundary. A Stop or Abort that ends the
// rest is served at once, so that nothing runs after the place where it stopped.
std::optional<LoopEnd> parkForDebugger(Machine& m, Supervisor& supervisor) {
    ThreadControl& control = m.control;
    control.markDebugStop();
    supervisor.stopped(m);
    control.parkForDebugger();
    if (endsLoop(control.pendingCode()))
        return serveRequest(m, control.emuRequest.exchange(0, std::memory_order_acq_rel));
    return std::nullopt;
}

// The watched loop: the supervisor is asked before and after every instruction, and
// the request word is served as in the unwatched loop. Returns when the loop ends, or
// with nothing once the supervisor has been removed. served: a request was served and
// no instruction has run since, on entry and on return.
std::optional<LoopEnd> runSupervised(Machine& m, bool& served) {
    ThreadControl& control = m.control;
    for (;;) {
        if (!served && control.emuRequest.load(std::memory_order_relaxed) != 0) {
            const uint32_t word = control.emuRequest.exchange(0, std::memory_order_acq_rel);
            if (const auto end = serveRequest(m, word)) return end;
            served = true;
        }
        Supervisor* before = m.supervisor;
        if (!before) return std::nullopt;
        if (before->stopBefore(m)) {
            if (const auto end = parkForDebugger(m, *before)) return end;
            continue;  // the debugger may have changed anything meanwhile
        }
        executeOne(m);
        served = false;
        // Looked up again: a host call inside the instruction lets the loop be held.
        if (Supervisor* after = m.supervisor; after && after->stopAfter(m)) {
            if (const auto end = parkForDebugger(m, *after)) return end;
        }
    }
}

}  // namespace

LoopEnd runCpu(Machine& m) {
    ThreadControl& control = m.control;
    jumpTo(m, m.regs.pc);
    bool served = false;
    for (;;) {
        if (m.supervisor) {
            if (const auto end = runSupervised(m, served)) return *end;
            if (served) {
                executeOne(m);
                served = false;
            }
        }
        // Unwatched: nothing but the request word between instructions.
        for (;;) {
            if (control.emuRequest.load(std::memory_order_relaxed) != 0) [[unlikely]] {
                const uint32_t word = control.emuRequest.exchange(0, std::memory_order_acq_rel);
                if (const auto end = serveRequest(m, word)) return *end;
                if (m.supervisor) [[unlikely]] {
                    served = true;
                    break;
                }
            }
            if (fetchNearImageEnd(m)) [[unlikely]] {
                stepAcrossImageEnd(m);
                continue;
            }
            runFrom(m, Personality::classic, fetchByte(m));
        }
    }
}

}  // namespace vantrel
