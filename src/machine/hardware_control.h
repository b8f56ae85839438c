// How a front end drives the hardware model (Machine::model is MachineModel::hardware).
//
//   start     Before the thread starts: set Machine::model; load the ROM image unpatched
//             (romVersionMatches of hardware/rom_image.h, not patchRomImage, and not
//             coldStart, which patches it too); then the state file's 32800 bytes and
//             its block, or powerOnHardware (hardware_state.h). A cold start is the
//             registers and the state record's ports at 0, then powerOnHardware: the
//             calculator's software sets up the rest. EmulationThread runs runHardware.
//             Interrupts come from the emulated clock: the classic model's timer tick,
//             key latch and injectKey are not used, a posted Interrupt only repaints.
//   keys      setHeldKeys with every key held now (PC keys, mouse; [ON] too): port 1
//             reads them at once, [ON] newly held raises its interrupt (a press that
//             is let go before the loop looks still counts). typeKey queues a key that
//             the loop presses in emulated time after the ones before it. A key held
//             for less than a keypad scan (5 ms of emulated time) may be missed, as on
//             the calculator: short taps are better typed.
//   speed     setSpeed and setFastForward (unlimited while set); speedReached for the
//             status line (a calculator switched off keeps the last figure).
//   LCD       lcdFrames gives the last frames whole; lcdShades (hardware/lcd_shades.h)
//             makes the picture. The host's repaintLcd is called when a frame comes
//             and the frames were read since the last call.
//   runs      setRunLimit makes the loop rest at the first instruction boundary at or
//             past a clock until the limit is raised; waitForRunLimit waits for that
//             rest. Input given only while the loop rests there (and the same state
//             and script) makes runs byte-identical: the deterministic runner, tests,
//             rewind.
//   debugger  The supervisor works as in the classic model; instructions run one at a
//             time through stepComplete. A halted processor is not stepped HALT round
//             by round: it sleeps unwatched until an interrupt can wake it.
//   rests     LoopState::paused means waiting for the wall clock or switched off, and
//             held also resting at the run limit; the calculator is asleep when
//             chip.halted. Anything else (registers, memory, a restored state) is
//             changed under a HoldGuard; the loop looks again once it is released.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "hardware/lcd_frames.h"
#include "machine/real_speed.h"

namespace vantrel {

class Machine;

// --- keys -------------------------------------------------------------------------
// Every key held now, bit (code - 1) for each (keyBit in hardware/hardware_ports.h).
void setHeldKeys(Machine& m, uint64_t keys);
// False when the queue is full (typedKeyCapacity) or the code is no key.
bool typeKey(Machine& m, uint8_t code);
std::size_t typedKeyRoom(const Machine& m);
// Typed keys not yet pressed, released and through their gap.
bool typingBusy(const Machine& m);
// Forgets the typed keys and lets go of one held now (takes a hold).
void clearTypedKeys(Machine& m);

// --- speed --------------------------------------------------------------------------
void setSpeed(Machine& m, SpeedFactor factor);
void setFastForward(Machine& m, bool on);
// Emulated T-states per wall second over about the last second (cpuClockHz is real speed).
uint64_t speedReached(const Machine& m);

// --- the LCD --------------------------------------------------------------------------
LcdFrames lcdFrames(const Machine& m);

// --- runs ------------------------------------------------------------------------------
// noRunLimit (hardware_model.h) lets it run freely.
void setRunLimit(Machine& m, uint64_t clock);
// True once the loop rests at the limit set now (false when the time ran out first).
bool waitForRunLimit(Machine& m, std::chrono::milliseconds timeout);
// The clock where the loop rests at its run limit; nothing while it does not.
std::optional<uint64_t> restingAtLimit(const Machine& m);

// Makes a resting loop look again at once (the calls above do it themselves).
void wakeHardware(Machine& m);

}  // namespace vantrel
