// libz80ex, the independent Z80 that the complete personality is checked against. It
// runs on a machine of its own (memory map, ports, link) that starts as a copy of the
// machine under test, so that both meet the same bytes and the same port behaviour, and
// both memories can be compared afterwards.
#pragma once

extern "C" {
#include <z80ex/z80ex.h>
}

#include <cstdint>

#include "machine/bus.h"
#include "machine/machine.h"

namespace vantrel::test {

// What both processors can be compared on (MEMPTR shows only through BIT n,(HL)).
struct ChipView {
    uint16_t af, bc, de, hl, afAlt, bcAlt, deAlt, hlAlt, ix, iy, sp, pc;
    uint8_t i, r, mode;
    bool iff1, iff2, halted;
    bool operator==(const ChipView&) const = default;
};

inline uint8_t interruptModeOf(const CpuRegisters& r) {
    return static_cast<uint8_t>(r.interruptMode());
}

inline ChipView viewOf(const Machine& m) {
    const CpuRegisters& r = m.regs;
    return ChipView{r.af(),
                    r.bc(),
                    r.de(),
                    r.hl(),
                    r.afAlt,
                    r.bcAlt,
                    r.deAlt,
                    r.hlAlt,
                    r.ix,
                    r.iy,
                    r.sp,
                    r.pc,
                    r.i,
                    m.chip.r(),
                    interruptModeOf(r),
                    r.interruptsEnabled(),
                    m.chip.iff2,
                    m.chip.halted};
}

class Z80exReference {
public:
    explicit Z80exReference(Machine& memory) : memory_(memory) {
        cpu_ = z80ex_create(readMemory, this, writeMemory, this, readPort, this, writePort, this,
                            readVector, this);
    }
    ~Z80exReference() { z80ex_destroy(cpu_); }
    Z80exReference(const Z80exReference&) = delete;
    Z80exReference& operator=(const Z80exReference&) = delete;

    Machine& memory() { return memory_; }
    uint8_t dataBus = floatingDataBus;

    // Takes the registers, flip-flops, mode, R and MEMPTR of m; not halted, and no EI
    // just before. MEMPTR is set by running JP nn at PC first (its bytes then give way
    // to what m holds there).
    void load(const Machine& m) {
        z80ex_reset(cpu_);
        const uint16_t pc = m.regs.pc;
        const std::array<uint8_t, 3> kept = readBytes<3>(memory_, pc);
        const std::array<uint8_t, 3> jump = {0xC3, static_cast<uint8_t>(m.chip.wz),
                                             static_cast<uint8_t>(m.chip.wz >> 8)};
        place(pc, jump);
        z80ex_set_reg(cpu_, regPC, pc);
        z80ex_step(cpu_);
        place(pc, kept);

        const CpuRegisters& r = m.regs;
        const std::pair<Z80_REG_T, uint16_t> values[] = {{regAF, r.af()},
                                                         {regBC, r.bc()},
                                                         {regDE, r.de()},
                                                         {regHL, r.hl()},
                                                         {regAF_, r.afAlt},
                                                         {regBC_, r.bcAlt},
                                                         {regDE_, r.deAlt},
                                                         {regHL_, r.hlAlt},
                                                         {regIX, r.ix},
                                                         {regIY, r.iy},
                                                         {regSP, r.sp},
                                                         {regPC, r.pc},
                                                         {regI, r.i},
                                                         {regR, m.chip.r()},
                                                         {regR7, m.chip.r()},
                                                         {regIM, interruptModeOf(r)},
                                                         {regIFF1, r.interruptsEnabled()},
                                                         {regIFF2, m.chip.iff2}};
        for (const auto& [reg, value] : values) z80ex_set_reg(cpu_, reg, value);
    }

    // One whole instruction, its prefixes included; gives its T-states.
    unsigned step() {
        unsigned cycles = 0;
        do cycles += static_cast<unsigned>(z80ex_step(cpu_));
        while (z80ex_last_op_type(cpu_) != 0);
        return cycles;
    }
    // One prefix or instruction, as z80ex counts them.
    unsigned stepOnce() { return static_cast<unsigned>(z80ex_step(cpu_)); }
    unsigned interrupt() { return static_cast<unsigned>(z80ex_int(cpu_)); }
    void setPC(uint16_t pc) { z80ex_set_reg(cpu_, regPC, pc); }

    ChipView view() const {
        const auto get = [&](Z80_REG_T reg) { return z80ex_get_reg(cpu_, reg); };
        return ChipView{get(regAF), get(regBC), get(regDE), get(regHL), get(regAF_), get(regBC_),
                        get(regDE_), get(regHL_), get(regIX), get(regIY), get(regSP), get(regPC),
                        static_cast<uint8_t>(get(regI)),
                        // z80ex counts in regR freely and keeps bit 7 in regR7.
                        static_cast<uint8_t>((get(regR) & 0x7F) | (get(regR7) & 0x80)),
                        static_cast<uint8_t>(get(regIM)), get(regIFF1) != 0, get(regIFF2) != 0,
                        z80ex_doing_halt(cpu_) != 0};
    }

private:
    template <std::size_t N>
    void place(uint16_t at, const std::array<uint8_t, N>& bytes) {
        for (std::size_t i = 0; i < N; ++i)
            *const_cast<uint8_t*>(memory_.mem.translateRead(static_cast<uint16_t>(at + i))) =
                bytes[i];
    }

    static Machine& machineOf(void* self) { return static_cast<Z80exReference*>(self)->memory_; }
    static Z80EX_BYTE readMemory(Z80EX_CONTEXT*, Z80EX_WORD address, int, void* self) {
        return readByte(machineOf(self), address);
    }
    static void writeMemory(Z80EX_CONTEXT*, Z80EX_WORD address, Z80EX_BYTE value, void* self) {
        writeByte(machineOf(self), address, value);
    }
    // The calculator decodes the low byte of the port address only.
    static Z80EX_BYTE readPort(Z80EX_CONTEXT*, Z80EX_WORD port, void* self) {
        return portRead(machineOf(self), static_cast<uint8_t>(port));
    }
    static void writePort(Z80EX_CONTEXT*, Z80EX_WORD port, Z80EX_BYTE value, void* self) {
        portWrite(machineOf(self), static_cast<uint8_t>(port), value);
    }
    static Z80EX_BYTE readVector(Z80EX_CONTEXT*, void* self) {
        return static_cast<Z80exReference*>(self)->dataBus;
    }

    Machine& memory_;
    Z80EX_CONTEXT* cpu_ = nullptr;
};

}  // namespace vantrel::test
