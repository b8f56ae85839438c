// The Calculator's parts that only the hardware model has, or does its own way: the
// model chosen, real speed, and keys held on the matrix or typed in emulated time.
#include "hardware/hardware_clock.h"
#include "machine/hardware_control.h"
#include "machine/machine.h"
#include "session/calculator/calculator.h"

namespace vantrel {

void Calculator::setModel(MachineModel model) {
    if (!thread_) machine_->model = model;
}

void Calculator::takeMachineSettings(const Settings& settings) {
    setModel(settings.model);
    setSpeed(settings.speed);
    setSmoothGreyscale(settings.smoothGreyscale);
}

MachineModel Calculator::model() const { return machine_->model; }

void Calculator::setSpeed(SpeedFactor factor) { vantrel::setSpeed(*machine_, factor); }

void Calculator::setFastForward(bool on) { vantrel::setFastForward(*machine_, on); }

std::optional<int> Calculator::speedPercent() const {
    if (!hardwareModel() || abandoned_) return std::nullopt;
    const uint64_t reached = speedReached(*machine_);
    if (reached == 0) return std::nullopt;
    return static_cast<int>((reached * 100 + cpuClockHz / 2) / cpuClockHz);
}

void Calculator::setRunLimit(uint64_t clock) { vantrel::setRunLimit(*machine_, clock); }
void Calculator::clearRunLimit() { vantrel::setRunLimit(*machine_, noRunLimit); }
bool Calculator::waitForRunLimit(std::chrono::milliseconds timeout) {
    return vantrel::waitForRunLimit(*machine_, timeout);
}
std::optional<uint64_t> Calculator::restingAtLimit() const {
    return vantrel::restingAtLimit(*machine_);
}
std::optional<uint64_t> Calculator::lcdFrameMs() const {
    if (abandoned_ || !hardwareModel()) return std::nullopt;
    const LcdFrames frames = lcdFrames(*machine_);
    if (frames.count == 0) return std::nullopt;
    return frames.newestFirst[0].clock / tStatesPerMs;
}

// Held keys need no calculator that is on: the calculator's own software decides what
// to make of them, as it does of [ON].
PressOutcome Calculator::holdKey(int32_t source, std::optional<int> index) {
    if (!index || *index < 0 || *index >= keyCount) return PressOutcome::ignored;
    const uint8_t code = skinKeys[static_cast<std::size_t>(*index)].code;
    // A key pressed again by its own source (the platform's auto-repeat) is no new press.
    if (heldKeys_.shownKey() != index) keyDelivered(code, keypad_.shifts());
    heldKeys_.press(source, *index, code);
    return PressOutcome::queued;
}

// Mapped under the calculator's shifts as they are when the text is typed (a [2nd] or
// [ALPHA] typed just before it is not pressed yet).
PressOutcome Calculator::typeHardwareCharacter(char32_t character) {
    std::optional<int> index;
    if (character == U'\n')
        index = keyForPcKey(PcKey::enter, keypad_.shifts());
    else if (character == U'^')
        index = keyForPcKey(PcKey::caret, keypad_.shifts());
    else
        index = keypad_.mapPcChar(character);
    if (!index) return PressOutcome::ignored;
    const uint8_t code = skinKeys[static_cast<std::size_t>(*index)].code;
    if (!typeKey(*machine_, code)) return PressOutcome::dropped;
    keyDelivered(code, keypad_.shifts());
    return PressOutcome::queued;
}

}  // namespace vantrel
