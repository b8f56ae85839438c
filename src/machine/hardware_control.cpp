#include "machine/hardware_control.h"

#include "hardware/hardware_ports.h"
#include "machine/machine.h"

namespace vantrel {

void setHeldKeys(Machine& m, uint64_t keys) {
    const uint64_t before = m.hardware.heldKeys.exchange(keys, std::memory_order_acq_rel);
    if ((keys & onKeyBit) && !(before & onKeyBit)) {
        m.hardware.onPressed.store(true, std::memory_order_release);
        wakeHardware(m);
    }
}

bool typeKey(Machine& m, uint8_t code) {
    if (!m.hardware.typedKeys.push(code)) return false;
    wakeHardware(m);
    return true;
}

std::size_t typedKeyRoom(const Machine& m) { return m.hardware.typedKeys.room(); }

bool typingBusy(const Machine& m) {
    return !m.hardware.typedKeys.empty() || m.hardware.typing.busy();
}

void clearTypedKeys(Machine& m) {
    HoldGuard hold(m.control);
    m.hardware.typedKeys.clear();
    m.hardware.typing.release();
}

void setSpeed(Machine& m, SpeedFactor factor) {
    m.hardware.speed.store(factor, std::memory_order_relaxed);
    wakeHardware(m);
}

void setFastForward(Machine& m, bool on) {
    m.hardware.fastForward.store(on, std::memory_order_relaxed);
    wakeHardware(m);
}

uint64_t speedReached(const Machine& m) {
    return m.hardware.speedReached.load(std::memory_order_relaxed);
}

LcdFrames lcdFrames(const Machine& m) { return m.hardware.frames.read(); }

void setRunLimit(Machine& m, uint64_t clock) {
    m.hardware.runLimit.store(clock, std::memory_order_release);
    wakeHardware(m);
}

std::optional<uint64_t> restingAtLimit(const Machine& m) {
    const uint64_t at = m.hardware.restingAt.load(std::memory_order_acquire);
    if (at == 0) return std::nullopt;
    return at - 1;
}

bool waitForRunLimit(Machine& m, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    const uint64_t limit = m.hardware.runLimit.load(std::memory_order_acquire);
    for (;;) {
        // The pulses are counted before looking, so that the one of a rest that begins
        // meanwhile is not missed.
        const uint64_t seen = m.control.haltEvent.pulseCount();
        if (const auto at = restingAtLimit(m); at && *at >= limit) return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        m.control.haltEvent.waitForPulseAfter(seen, left);
    }
}

void wakeHardware(Machine& m) { m.control.resume(); }

}  // namespace vantrel
