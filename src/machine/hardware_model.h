// The hardware model's parts beside the processor (Machine::hardware): the registers
// that its ports add, the keys from the front end, the typed keys, the LCD frames,
// real speed and the run limit. What the front end calls is in hardware_control.h;
// the loop that runs it all is runHardware (hardware_loop.h).
//
// Ownership between the threads: regs and typing belong to the emulation thread while
// it runs (read or change them only while the loop rests); the atomics and the typed
// queue take the front end's calls at any time; frames are read whole at any time.
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>

#include "hardware/hardware_ports.h"
#include "hardware/lcd_frames.h"
#include "hardware/typed_keys.h"
#include "machine/real_speed.h"

namespace vantrel {

inline constexpr uint64_t noRunLimit = std::numeric_limits<uint64_t>::max();

struct HardwareModel {
    // The ports' registers (saved in the state block with the chip's state).
    HardwareRegisters regs;
    TypedKeyPlayer typing;

    // From the front end's thread.
    std::atomic<uint64_t> heldKeys{0};   // bit (code - 1) for every held key, [ON] too
    std::atomic<bool> onPressed{false};  // [ON] went down since the loop last looked
    TypedKeyQueue typedKeys;
    std::atomic<SpeedFactor> speed{SpeedFactor::normal};
    std::atomic<bool> fastForward{false};  // unlimited while set, whatever the speed
    std::atomic<uint64_t> runLimit{noRunLimit};

    // To the front end's thread.
    LcdFrameRing frames;
    std::atomic<uint64_t> speedReached{0};  // emulated T-states per wall second
    std::atomic<uint64_t> restingAt{0};     // 1 + the clock while resting at the run limit
};

}  // namespace vantrel
