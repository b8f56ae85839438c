#include "machine/interrupts.h"

#include <algorithm>
#include <chrono>

#include "machine/hardware_control.h"
#include "machine/machine.h"

namespace vantrel {

namespace {

// The minimum time injectKey gives the calculator to reach its next HALT.
constexpr uint16_t minimumInjectWaitMs = 100;

}  // namespace

void latchAndInterrupt(Machine& m, uint32_t code) {
    m.keyLatch.exchange(code & 0xFF, std::memory_order_acq_rel);
    m.control.post(EmuRequest::Interrupt);
    m.control.resume();
}

void requestInterrupt(Machine& m) { latchAndInterrupt(m, 0); }

void injectKey(Machine& m, uint32_t code, uint16_t waitMs) {
    // The hardware model presses it in emulated time, after the keys typed before it.
    if (m.model == MachineModel::hardware) {
        typeKey(m, static_cast<uint8_t>(code));
        return;
    }
    // Count pulses from before the resumption: a paused loop runs one instruction and
    // may pause again before this thread starts to wait.
    const uint64_t seen = m.control.haltEvent.pulseCount();
    m.control.resume();
    const auto wait = std::chrono::milliseconds(std::max(waitMs, minimumInjectWaitMs));
    m.control.haltEvent.waitForPulseAfter(seen, wait);
    latchAndInterrupt(m, code);
}

}  // namespace vantrel
