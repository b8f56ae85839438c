// The one machine object: everything the calculator is, held together so that the
// application owns one and each test can make its own.
//
// Ownership between the threads: regs, fetchPointer, memory and ports belong to the
// emulation thread while it runs. The user-interface thread posts requests, latches
// keys, resumes, holds, and reads the LCD memory, the display bit and the shift-flag
// byte without a lock (those reads are the only deliberate races).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "z80/cpu_registers.h"
#include "cpu/thread_control.h"
#include "hardware/host_interface.h"
#include "hardware/memory_map.h"
#include "link/link_engine.h"

namespace vantrel {

struct Machine {
    CpuRegisters regs{};
    const uint8_t* fetchPointer = nullptr;  // host byte at PC, re-derived at every transfer
    MemoryMap mem{};
    ThreadControl control;
    std::atomic<uint32_t> keyLatch{0};  // key code latched with the last interrupt request
    // The window's flag: the value of the last posted link-active message. Read by the
    // timer on the user-interface thread.
    std::atomic<uint32_t> linkActive{0};
    LinkEngine link;
    HostInterface* host = &noHost;
    // The ROM image's file as loaded (absolute): no state file is read from it or
    // written over it.
    std::string romFile;

    Machine() { fetchPointer = mem.rom.data(); }
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    void setHost(HostInterface* newHost) { host = newHost ? newHost : &noHost; }

    // A blocking call to the window from the emulation thread. A hold taken while the
    // loop waits here is granted at once, and the loop goes on only after its release.
    template <class Call>
    auto callHost(Call&& call) {
        control.enterHostCall();
        struct Leave {
            ThreadControl& control;
            ~Leave() { control.leaveHostCall(); }
        } leave{control};
        return call(*host);
    }

    static inline HostInterface noHost{};
};

}  // namespace vantrel
