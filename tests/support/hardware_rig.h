// A machine of the hardware model on its emulation thread, at unlimited speed, driven
// from one emulated clock to the next through the run limit: between runs the loop
// rests, and the test reads and changes the machine as a deterministic driver does.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <thread>

#include "machine/emulation_thread.h"
#include "machine/hardware_control.h"
#include "machine/hardware_state.h"
#include "support/test_machine.h"

namespace vantrel::test {

struct HardwareRig {
    std::unique_ptr<Machine> m = makeMachine();
    std::unique_ptr<EmulationThread> thread;

    HardwareRig() {
        m->model = MachineModel::hardware;
        m->regs = CpuRegisters{};
        powerOnHardware(*m);
        setSpeed(*m, SpeedFactor::unlimited);
        setRunLimit(*m, 0);
    }
    ~HardwareRig() {
        if (thread) thread->stop();
    }

    // Code at its address (ROM page 0, or RAM), as placeProgram puts it.
    void place(uint16_t address, std::initializer_list<uint8_t> bytes) {
        placeProgram(*m, address, bytes);
    }

    // Starts the thread at PC 0 (once), runs to the clock and waits for the loop to
    // rest there.
    [[nodiscard]] bool runTo(uint64_t clock) {
        if (!thread) {
            m->regs.pc = 0;
            thread = std::make_unique<EmulationThread>(*m);
            m->control.resume();
        }
        setRunLimit(*m, clock);
        return waitForRunLimit(*m, std::chrono::seconds(20));
    }

    uint64_t clock() const { return m->chip.clock(); }
    uint8_t ram(uint16_t address) const { return *m->mem.ramAt(address); }
};

// For what the loop does on its own time: true once done() holds (within 10 s).
inline bool waitUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return true;
}

// The interrupt routine most tests use, at 0x0038 (IM 1): counts its runs at 0x8001,
// keeps the status port as it found it at 0x8000 and as it reads after acknowledging
// at 0x8002, then enables the sources of `enables` again.
// (Programs are laid out an instruction or a few a line.)
// clang-format off
inline void placeCountingRoutine(HardwareRig& rig, uint8_t enables) {
    const auto lcdOnly = static_cast<uint8_t>(enables & 0x08);
    rig.place(0x0038, {0xF5, 0xDB, 0x03, 0x32, 0x00, 0x80,     // PUSH AF; IN A,(3); LD (0x8000),A
                       0x3A, 0x01, 0x80, 0x3C, 0x32, 0x01, 0x80,  // count at 0x8001
                       0x3E, lcdOnly, 0xD3, 0x03,                // acknowledge: OUT (3) without sources
                       0xDB, 0x03, 0x32, 0x02, 0x80,             // IN A,(3); LD (0x8002),A
                       0x3E, enables, 0xD3, 0x03,                // LD A,enables; OUT (3),A
                       0xF1, 0xFB, 0xC9});                       // POP AF; EI; RET
}

// The start most tests use, at 0x0000: stack, IM 1, port 3 = enables, EI, then HALT
// in a loop.
inline void placeHaltingStart(HardwareRig& rig, uint8_t enables) {
    rig.place(0x0000, {0x31, 0x00, 0xF0, 0xED, 0x56,  // LD SP,0xF000; IM 1
                       0x3E, enables, 0xD3, 0x03,     // LD A,enables; OUT (3),A
                       0xFB, 0x76, 0x18, 0xFD});      // EI; HALT; JR back to HALT
}
// clang-format on

}  // namespace vantrel::test
