// The decoder's claims about each instruction checked by running it on a machine, with
// this machine's processor and with the complete Z80: whether it traps, how long it is,
// where control goes, and what memory it writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "debugger/disassembler.h"
#include "machine/complete_z80.h"
#include "support/opcode_slots.h"
#include "support/scripted_host.h"
#include "support/test_machine.h"

namespace vantrel {
namespace {

constexpr uint16_t codeAddress = 0x0100;  // in ROM, out of reach of the stores
constexpr uint16_t returnAddress = 0x4321;

std::string hexBytes(const std::vector<uint8_t>& bytes) {
    std::string text;
    char buffer[4];
    for (uint8_t b : bytes) {
        std::snprintf(buffer, sizeof buffer, "%02X ", b);
        text += buffer;
    }
    return text;
}

constexpr Personality personalities[] = {Personality::classic, Personality::complete};

const char* nameOf(Personality p) { return p == Personality::classic ? "classic" : "complete"; }

struct Trial {
    std::unique_ptr<Machine> machine = test::makeMachine();
    test::ScriptedHost host;
    Instruction decoded;
    Personality personality;

    Trial(const std::vector<uint8_t>& slot, const CpuRegisters& start,
          Personality p = Personality::classic)
        : personality(p) {
        host.illegalOpcodeAnswer = IllegalOpcodeAnswer::carryOn;  // go on after the trap
        machine->setHost(&host);
        std::copy(slot.begin(), slot.end(), machine->mem.rom.begin() + codeAddress);
        machine->regs = start;
        jumpTo(*machine, codeAddress);
        decoded = disassemble(memoryMapReader(machine->mem), codeAddress, nullptr, p);
    }
    void step() {
        if (personality == Personality::complete)
            stepComplete(*machine);
        else
            test::step(*machine);
    }
};

CpuRegisters registers(uint16_t bc, uint16_t de, uint16_t hl, uint16_t sp, uint16_t ix, uint16_t iy,
                       uint8_t f) {
    CpuRegisters r;
    r.setBC(bc);
    r.setDE(de);
    r.setHL(hl);
    r.sp = sp;
    r.ix = ix;
    r.iy = iy;
    r.f = f;
    r.a = 0x3C;
    return r;
}

// --- trap slots, lengths and control flow --------------------------------------------

bool isConditional(FlowKind flow) {
    return flow == FlowKind::conditionalJump || flow == FlowKind::conditionalRelativeJump ||
           flow == FlowKind::conditionalCall || flow == FlowKind::conditionalReturn;
}

// Every flag clear and B about to reach 0, then every flag set and B not, so that each
// conditional transfer goes one way in one run and the other way in the other. A return
// finds returnAddress on the stack.
// The complete Z80 stays on HALT, and on a block instruction that repeats.
TEST(DisassemblerExecution, TrapsLengthsAndTargetsMatchWhatRuns) {
    const CpuRegisters settings[2] = {
        registers(0x0103, 0xB000, 0xA000, 0xF000, 0xC000, 0xD000, 0x00),
        registers(0x0203, 0xB000, 0xA000, 0xF000, 0xC000, 0xD000, 0xFF)};
    for (const Personality personality : personalities)
        for (const auto& slot : test::allOpcodeSlots()) {
            SCOPED_TRACE(nameOf(personality));
            const bool chip = personality == Personality::complete;
            bool taken[2] = {};
            FlowKind flow = FlowKind::plain;
            for (int s = 0; s < 2; ++s) {
                Trial run(slot, settings[s], personality);
                const CpuRegisters start = run.machine->regs;
                run.machine->mem.ram()[start.sp - 0x8000] = returnAddress & 0xFF;
                run.machine->mem.ram()[start.sp - 0x8000 + 1] = returnAddress >> 8;
                run.step();
                const Instruction& in = run.decoded;
                const uint16_t pc = run.machine->regs.pc;
                flow = in.flow;
                SCOPED_TRACE(hexBytes(slot) + "| " + in.text);
                ASSERT_EQ(run.host.illegalOpcodeCalls(), in.traps ? 1 : 0);

                switch (in.flow) {
                    case FlowKind::plain:
                        EXPECT_EQ(pc, in.next());
                        break;
                    case FlowKind::halt:
                        EXPECT_EQ(pc, chip ? in.address : in.next());
                        break;
                    case FlowKind::repeatingBlock:
                        if (!chip || pc != in.address) {
                            EXPECT_EQ(pc, in.next());
                        }
                        break;
                    case FlowKind::jump:
                        if (in.target) {
                            EXPECT_EQ(pc, *in.target);
                        } else {
                            EXPECT_EQ(pc, slot[0] == 0xDD   ? start.ix
                                          : slot[0] == 0xFD ? start.iy
                                                            : start.hl());
                        }
                        break;
                    case FlowKind::relativeJump:
                    case FlowKind::restart:
                        EXPECT_EQ(pc, in.target.value());
                        break;
                    case FlowKind::call:
                        EXPECT_EQ(pc, in.target.value());
                        EXPECT_EQ(readWord(*run.machine, run.machine->regs.sp), in.next());
                        break;
                    case FlowKind::ret:
                        EXPECT_EQ(pc, returnAddress);
                        break;
                    case FlowKind::conditionalJump:
                    case FlowKind::conditionalRelativeJump:
                    case FlowKind::conditionalCall:
                        taken[s] = pc == in.target.value();
                        if (!taken[s]) {
                            EXPECT_EQ(pc, in.next());
                        }
                        break;
                    case FlowKind::conditionalReturn:
                        taken[s] = pc == returnAddress;
                        if (!taken[s]) {
                            EXPECT_EQ(pc, in.next());
                        }
                        break;
                }
            }
            if (isConditional(flow)) {
                EXPECT_NE(taken[0], taken[1]) << hexBytes(slot);
            }
        }
}

TEST(DisassemblerExecution, RepeatedPrefixIsOneByteAndOnlyTheLastCounts) {
    Trial run({0xDD, 0xFD, 0x21, 0x34, 0x12}, CpuRegisters{});
    EXPECT_EQ(run.decoded.length, 1);
    EXPECT_FALSE(run.decoded.traps);
    run.step();
    EXPECT_EQ(run.machine->regs.pc, codeAddress + 1);
    const Instruction second = disassemble(memoryMapReader(run.machine->mem), codeAddress + 1);
    EXPECT_EQ(second.text, "LD IY,1234h");
    EXPECT_EQ(second.length, 4);
}

TEST(DisassemblerExecution, DecodingWrapsAtTheTopOfTheAddressSpace) {
    std::vector<uint8_t> memory(0x10000, 0);
    memory[0xFFFE] = 0xDD;
    memory[0xFFFF] = 0x36;
    memory[0x0000] = 0xFE;
    memory[0x0001] = 0x77;
    const Instruction in = disassemble([&](uint16_t a) { return memory[a]; }, 0xFFFE);
    EXPECT_EQ(in.text, "LD (IX-02h),77h");
    EXPECT_EQ(in.length, 4);
    EXPECT_EQ(in.next(), 0x0002);
    memory[0xFFFF] = 0x18;  // JR 0FFFEh+2+7Fh
    memory[0x0000] = 0x7F;
    EXPECT_EQ(disassemble([&](uint16_t a) { return memory[a]; }, 0xFFFF).target, 0x0080);
}

// --- memory writes -------------------------------------------------------------------

// Three fillings of RAM: a pattern, its complement and a third, so that any store of a
// computed value changes its byte in at least one of them.
std::vector<std::vector<uint8_t>> ramFillings() {
    std::vector<std::vector<uint8_t>> fillings(3, std::vector<uint8_t>(ramSize));
    for (unsigned i = 0; i < ramSize; ++i) {
        const unsigned a = 0x8000 + i;
        const auto base = static_cast<uint8_t>(a * 7 + (a >> 8) * 13);
        fillings[0][i] = base;
        fillings[1][i] = static_cast<uint8_t>(~base);
        fillings[2][i] = base ^ 0x5A;
    }
    return fillings;
}

TEST(DisassemblerExecution, PredictedWritesAreWhatChanges) {
    // Ordinary addresses; stores crossing from ROM into RAM; wrapping at 0xFFFF; the
    // repeating forms at full length (BC = 0, B = 0).
    const CpuRegisters settings[] = {
        registers(0x0003, 0xB000, 0xA000, 0xF000, 0xC000, 0xD000, 0x00),
        registers(0x0004, 0x8001, 0xFFFE, 0x8001, 0x7FF8, 0xFFF0, 0xFF),
        registers(0x0100, 0xFFFF, 0x7FFF, 0x0001, 0x0040, 0x8040, 0x41),
        registers(0x0000, 0xD000, 0xC000, 0x0000, 0xFFFF, 0x8000, 0x84)};
    const auto fillings = ramFillings();
    int storing = 0;
    for (const Personality personality : personalities)
        for (const auto& slot : test::allOpcodeSlots()) {
            SCOPED_TRACE(nameOf(personality));
            for (const CpuRegisters& start : settings) {
                std::vector<bool> changed(ramSize, false);
                bool anyChanged = false;
                std::optional<AddressRange> predicted;
                for (const auto& filling : fillings) {
                    Trial run(slot, start, personality);
                    uint8_t* ram = run.machine->mem.ram();
                    std::copy(filling.begin(), filling.end(), ram);
                    predicted = memoryWrites(run.decoded, run.machine->regs);
                    run.step();
                    if (std::equal(filling.begin(), filling.end(), ram)) continue;
                    anyChanged = true;
                    for (unsigned i = 0; i < ramSize; ++i)
                        changed[i] = changed[i] || ram[i] != filling[i];
                }
                SCOPED_TRACE(hexBytes(slot));
                storing += predicted ? 1 : 0;
                if (!predicted && !anyChanged) continue;
                for (unsigned i = 0; i < ramSize; ++i) {
                    const auto address = static_cast<uint16_t>(0x8000 + i);
                    const bool inside = predicted && predicted->contains(address);
                    if (changed[i]) {
                        ASSERT_TRUE(inside) << "unpredicted write at " << address;
                    } else if (predicted && predicted->length <= 0x100) {
                        // A long block copy overwrites its own source, so equal bytes arrive.
                        ASSERT_FALSE(inside) << "predicted but unchanged at " << address;
                    }
                }
            }
        }
    EXPECT_GT(storing, 0);
}

TEST(DisassemblerExecution, ConditionalCallWritesOnlyWhenTaken) {
    CpuRegisters r = registers(0, 0, 0, 0xF000, 0, 0, flagZ);
    const Instruction callZ =
        disassemble([](uint16_t a) { return a == 0 ? uint8_t{0xCC} : uint8_t{0}; }, 0);
    EXPECT_EQ(memoryWrites(callZ, r), (AddressRange{0xEFFE, 2}));
    r.f = 0;
    EXPECT_FALSE(memoryWrites(callZ, r));
}

TEST(DisassemblerExecution, BlockCopiesDownwardEndAtDe) {
    const uint8_t lddr[] = {0xED, 0xB8};
    const Instruction in = disassemble([&](uint16_t a) { return lddr[a & 1]; }, 0);
    EXPECT_EQ(in.flow, FlowKind::repeatingBlock);
    const CpuRegisters r = registers(0x0010, 0x8005, 0x9000, 0, 0, 0, 0);
    EXPECT_EQ(memoryWrites(in, r), (AddressRange{0x7FF6, 0x10}));
}

}  // namespace
}  // namespace vantrel
