// Calculator: the whole state as bytes, for save slots, rewind and their undo.
#include "machine/bus.h"
#include "session/calculator/calculator.h"

namespace vantrel {

std::vector<uint8_t> Calculator::captureState() {
    if (abandoned_) return {};
    HoldGuard hold(machine_->control);
    return encodeStateFile(*machine_);
}

StateLoadResult Calculator::restoreState(std::span<const uint8_t> bytes) {
    if (abandoned_) return {};
    keypad_.clear();
    StateLoadResult result;
    {
        HoldGuard hold(machine_->control);
        result = decodeStateFile(*machine_, bytes);
        if (!result.restored()) return result;
        jumpTo(*machine_, machine_->regs.pc);
    }
    // A state taken while it ran goes on running, even where the calculator slept
    // before; one taken asleep goes back to sleep at its HALT.
    if (running()) {
        machine_->control.post(EmuRequest::Redraw);
        machine_->control.resume();
    }
    return result;
}

uint64_t Calculator::emulatedClock() const {
    if (abandoned_) return 0;
    HoldGuard hold(machine_->control);
    return machine_->chip.clock();
}

}  // namespace vantrel
