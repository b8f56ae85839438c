// The one machine object: everything the calculator is, held together so that the
// session owns one and each test can make its own.
//
// Ownership between the threads: regs, chip, fetchPointer, memory and ports belong to
// the emulation thread while it runs. The user-interface thread posts requests, latches
// keys, resumes, holds, and reads the LCD memory, the display bit and the shift-flag
// byte without a lock (those reads are the only deliberate races).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "hardware/machine_model.h"
#include "hardware/memory_map.h"
#include "link/link_engine.h"
#include "machine/hardware_model.h"
#include "machine/host_interface.h"
#include "machine/supervisor.h"
#include "machine/thread_control.h"
#include "z80/cpu_registers.h"
#include "z80/personality.h"

namespace vantrel {

class Machine {
public:
    CpuRegisters regs{};
    // What the complete Z80 keeps beyond the register file (R, IFF2, HALT, MEMPTR, its
    // T-state clock, the interrupt input); this machine's own processor leaves it alone.
    ChipState chip{};
    // Where runComplete's instructions go back to it: its deadline, or 0 to look at the
    // interrupt line at every boundary (see setInterruptLine).
    uint64_t runUntil = 0;
    const uint8_t* fetchPointer = nullptr;  // host byte at PC, re-derived at every transfer
    // Aligned to a 16 KiB page, so that the stream's host address shows where in a page
    // it is (see pageEndNear in bus.h).
    alignas(0x4000) MemoryMap mem{};
    ThreadControl control;
    std::atomic<uint32_t> keyLatch{0};  // key code latched with the last interrupt request
    // Which calculator runs (set before the emulation thread starts), and the hardware
    // around the complete Z80 in the hardware model, which the classic model leaves alone.
    MachineModel model = MachineModel::classic;
    HardwareModel hardware;
    LinkEngine link;
    // The ROM image's file as loaded (absolute): no state file is read from it or
    // written over it.
    std::string romFile;
    // Watches every instruction while set (a debugger's breakpoints, steps, trace).
    // Changed only while the loop rests.
    Supervisor* supervisor = nullptr;

    Machine() {
        fetchPointer = mem.rom.data();
        link.setPeer(&linkPeer_);
    }
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    void setHost(HostInterface* host) { host_ = host ? host : &noHost_; }

    // A call to the host from the emulation thread. A hold taken while the loop waits
    // here is granted at once, and the loop goes on only after its release.
    template <class Call>
    auto callHost(Call&& call) {
        control.enterHostCall();
        struct Leave {
            ThreadControl& control;
            ~Leave() { control.leaveHostCall(); }
        } leave{control};
        return call(*host_);
    }

private:
    // The link's questions go to the host like every other call of the loop.
    class LinkToHost : public LinkPeer {
    public:
        explicit LinkToHost(Machine& m) : m_(m) {}
        std::optional<std::string> askSaveName(bool backup) override {
            return m_.callHost([&](HostInterface& h) { return h.askSaveName(backup); });
        }
        bool storeReceivedFile(const std::string& name,
                               const std::vector<uint8_t>& bytes) override {
            return m_.callHost([&](HostInterface& h) { return h.storeReceivedFile(name, bytes); });
        }
        void transferAborted() override {
            m_.callHost([](HostInterface& h) { h.linkAborted(); });
        }

    private:
        Machine& m_;
    };

    static inline HostInterface noHost_{};
    HostInterface* host_ = &noHost_;
    LinkToHost linkPeer_{*this};
};

}  // namespace vantrel
