// The complete Z80 against libz80ex: every slot of the instruction set with its
// T-states (both ways of every condition, each block instruction repeating and ending),
// random instructions from random states, and the acceptance of interrupts. Registers,
// every flag bit, R, IFF1/IFF2, HALT, T-states, memory and ports are compared, and
// MEMPTR through the flags of a BIT n,(HL) run afterwards.
#include "machine/complete_z80.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/opcode_slots.h"
#include "support/test_machine.h"
#include "z80/instruction_set.h"
#include "z80/interrupt_response.h"
#include "z80ex_reference.h"

namespace vantrel {
namespace {

using test::ChipView;
using test::viewOf;

std::string hexBytes(const uint8_t* bytes, std::size_t count) {
    std::string text;
    char buffer[4];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(buffer, sizeof buffer, "%02X ", bytes[i]);
        text += buffer;
    }
    return text;
}

std::string describe(const ChipView& v) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "AF=%04X BC=%04X DE=%04X HL=%04X IX=%04X IY=%04X SP=%04X PC=%04X I=%02X "
                  "R=%02X IM%u IFF1=%d IFF2=%d halt=%d AF'=%04X BC'=%04X DE'=%04X HL'=%04X",
                  v.af, v.bc, v.de, v.hl, v.ix, v.iy, v.sp, v.pc, v.i, v.r, v.mode, v.iff1, v.iff2,
                  v.halted, v.afAlt, v.bcAlt, v.deAlt, v.hlAlt);
    return text;
}

// The machine under test and libz80ex on a copy of it.
class Bench {
public:
    explicit Bench(uint32_t seed) : random_(seed) {
        for (std::size_t i = 0; i < romSize; ++i) ours_->mem.rom[i] = byte();
        for (std::size_t i = 0; i < ramSize; ++i) ours_->mem.ram()[i] = byte();
        theirs_->mem = ours_->mem;
    }

    Machine& ours() { return *ours_; }
    Machine& theirs() { return *theirs_; }
    test::Z80exReference& reference() { return reference_; }
    uint8_t byte() { return static_cast<uint8_t>(random_()); }
    uint16_t word() { return static_cast<uint16_t>(random_()); }
    uint32_t below(uint32_t n) { return random_() % n; }

    // The same bytes at an address of both machines, through the map.
    void place(uint16_t at, const std::vector<uint8_t>& bytes) {
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const auto address = static_cast<uint16_t>(at + i);
            *const_cast<uint8_t*>(ours_->mem.translateRead(address)) = bytes[i];
            *const_cast<uint8_t*>(theirs_->mem.translateRead(address)) = bytes[i];
        }
    }

    // Both processors from the registers and chip state set on ours.
    void start() {
        reference_.load(*ours_);
        jumpTo(*ours_, ours_->regs.pc);
    }

    // One instruction on both (with the prefixes that the chip drops before it); gives
    // the T-states each counted.
    std::pair<uint64_t, unsigned> step() {
        const uint64_t before = ours_->chip.clock();
        for (int prefixes = 0; prefixes < 64; ++prefixes) {
            const auto bytes = readBytes<4>(*ours_, ours_->regs.pc);
            const bool dropped =
                describeInstruction(bytes).op == Operation::droppedPrefix && !ours_->chip.halted;
            stepComplete(*ours_);
            if (!dropped) break;
        }
        return {ours_->chip.clock() - before, reference_.step()};
    }

    // Everything both can be compared on; empty when they agree.
    std::string differences() {
        std::string found;
        const ChipView mine = viewOf(*ours_);
        const ChipView reference = reference_.view();
        if (!(mine == reference))
            found += "\n  ours:    " + describe(mine) + "\n  z80ex:   " + describe(reference);
        if (std::memcmp(&ours_->mem.state, &theirs_->mem.state, sizeof(StateRecord)) != 0) {
            for (std::size_t i = 0; i < ramSize; ++i)
                if (ours_->mem.ram()[i] != theirs_->mem.ram()[i]) {
                    char text[64];
                    std::snprintf(text, sizeof text, "\n  memory at %04zX: %02X, z80ex %02X",
                                  0x8000 + i, ours_->mem.ram()[i], theirs_->mem.ram()[i]);
                    found += text;
                    break;
                }
            if (std::memcmp(&ours_->mem.state.savedRegisters, &theirs_->mem.state.savedRegisters,
                            sizeof(StateRecord) - ramSize) != 0)
                found += "\n  port registers differ";
        }
        return found;
    }

    // MEMPTR shows in bits 5 and 3 after BIT 0,(HL): run it on both and compare F. (A
    // halted chip would not run it, and HALT leaves MEMPTR alone.)
    std::string memptrDifference() {
        if (ours_->chip.halted) return {};
        const uint16_t probe = 0x3E00;
        place(probe, {0xCB, 0x46});
        ours_->regs.pc = probe;
        jumpTo(*ours_, probe);
        reference_.setPC(probe);
        step();
        const auto theirs = static_cast<uint8_t>(reference_.view().af);
        if (ours_->regs.f == theirs) return {};
        char text[64];
        std::snprintf(text, sizeof text, "\n  MEMPTR: F after BIT 0,(HL) %02X, z80ex %02X",
                      ours_->regs.f, theirs);
        return text;
    }

    void randomRegisters() {
        CpuRegisters& r = ours_->regs;
        auto* raw = reinterpret_cast<uint8_t*>(&r);
        for (std::size_t i = 0; i < sizeof r; ++i) raw[i] = byte();
        r.intFlags =
            static_cast<uint8_t>((byte() & intEnableBit) | (below(3) == 1 ? intMode1Bit : 0) |
                                 (below(3) == 2 ? intMode2Bit : 0));
        if ((r.intFlags & (intMode1Bit | intMode2Bit)) == (intMode1Bit | intMode2Bit))
            r.intFlags &= static_cast<uint8_t>(~intMode1Bit);
        ChipState& chip = ours_->chip;
        chip = ChipState{.counts = chip.counts};
        chip.setR(byte());
        chip.iff2 = (byte() & 1) != 0;
        chip.wz = word();
        ours_->mem.state.romBank = theirs_->mem.state.romBank = static_cast<uint8_t>(byte() & 7);
    }

    // Instruction bytes that reach every sub-table often.
    std::vector<uint8_t> randomInstruction() {
        std::vector<uint8_t> bytes = {byte(), byte(), byte(), byte(), byte()};
        switch (below(8)) {
            case 0:
                bytes[0] = 0xCB;
                break;
            case 1:
            case 2:
                bytes[0] = 0xED;
                if (below(4) != 0) bytes[1] = static_cast<uint8_t>(0x40 + below(0x80));
                break;
            case 3:
            case 4: {
                bytes[0] = below(2) ? 0xDD : 0xFD;
                if (below(3) == 0) bytes[1] = 0xCB;
                break;
            }
            default:
                break;
        }
        return bytes;
    }

private:
    std::mt19937 random_;
    std::unique_ptr<Machine> ours_ = test::makeMachine();
    std::unique_ptr<Machine> theirs_ = test::makeMachine();
    test::Z80exReference reference_{*theirs_};
};

// --- every slot ----------------------------------------------------------------------

// Two settings per slot: every flag clear with B = 0 and BC = 1, then every flag set
// with B = 1 and BC = 0x0102, so each conditional instruction goes each way once, DJNZ
// jumps once, and each block instruction repeats once and ends once.
TEST(CompleteZ80AgainstZ80ex, EverySlotWithItsTStatesBothWays) {
    Bench bench(20);
    int compared = 0;
    for (const auto& slot : test::allOpcodeSlots()) {
        const std::array<uint8_t, 4> head = {slot[0], slot.size() > 1 ? slot[1] : uint8_t{0},
                                             slot.size() > 2 ? slot[2] : uint8_t{0},
                                             slot.size() > 3 ? slot[3] : uint8_t{0}};
        const OpcodeInfo& info = describeInstruction(head);
        uint64_t cycles[2] = {};
        for (int setting = 0; setting < 2; ++setting) {
            CpuRegisters& r = bench.ours().regs;
            r = CpuRegisters{};
            r.setBC(setting == 0 ? 0x0001 : 0x0102);
            r.f = setting == 0 ? 0x00 : 0xFF;
            r.a = 0x3C;
            r.setDE(0xB000);
            r.setHL(0xA000);
            r.sp = 0xF000;
            r.ix = 0xC000;
            r.iy = 0xD000;
            r.pc = 0x9000;
            bench.ours().chip = ChipState{.counts = bench.ours().chip.counts, .wz = 0x1234};
            bench.place(0xA000, {0xC3});  // not A, so that CPIR repeats
            std::vector<uint8_t> bytes(slot.begin(), slot.end());
            bytes.resize(6, 0x00);
            bench.place(0x9000, bytes);
            bench.start();
            const auto [ours, theirs] = bench.step();
            cycles[setting] = ours;
            SCOPED_TRACE(hexBytes(slot.data(), slot.size()));
            ASSERT_EQ(ours, theirs);
            ASSERT_EQ(bench.differences(), "");
            ++compared;
        }
        // The description's two counts are the two that ran.
        if (info.conditional) {
            EXPECT_EQ(std::min(cycles[0], cycles[1]), info.cycles)
                << hexBytes(slot.data(), slot.size());
            EXPECT_EQ(std::max(cycles[0], cycles[1]), info.cyclesTaken)
                << hexBytes(slot.data(), slot.size());
        }
    }
    EXPECT_GT(compared, 2000);
}

// --- random instructions from random states -------------------------------------------

// How many random instructions a run compares: a fixed number with a fixed seed in the
// ordinary run; the soak run (VANTREL_SOAK set) runs for a time, by default 20 seconds,
// from a fresh seed.
struct RandomRun {
    uint32_t seed = 1;
    long instructions = 300000;
    double seconds = 0;
};

RandomRun randomRun() {
    RandomRun run;
    if (std::getenv("VANTREL_SOAK")) {
        const char* seconds = std::getenv("VANTREL_SOAK_SECONDS");
        run.seconds = seconds ? std::atof(seconds) : 20.0;
        run.instructions = -1;
        run.seed =
            static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }
    return run;
}

TEST(CompleteZ80Random, InstructionByInstructionAgainstZ80ex) {
    const RandomRun run = randomRun();
    std::printf("seed %u\n", run.seed);
    Bench bench(run.seed);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(run.seconds);
    int failures = 0;
    long done = 0;
    for (; failures < 10; ++done) {
        if (run.instructions >= 0 ? done >= run.instructions
                                  : (done % 4096 == 0 && std::chrono::steady_clock::now() > end))
            break;
        bench.randomRegisters();
        const std::vector<uint8_t> bytes = bench.randomInstruction();
        bench.place(bench.ours().regs.pc, bytes);
        const CpuRegisters before = bench.ours().regs;
        bench.start();
        const auto [ours, theirs] = bench.step();
        std::string found = bench.differences();
        if (ours != theirs)
            found += "\n  T-states " + std::to_string(ours) + ", z80ex " + std::to_string(theirs);
        if (found.empty()) found = bench.memptrDifference();
        if (!found.empty()) {
            ++failures;
            ADD_FAILURE() << hexBytes(bytes.data(), 4) << "at PC " << before.pc << " F "
                          << +before.f << found;
            bench.theirs().mem = bench.ours().mem;
        }
    }
    std::printf("%ld instructions compared\n", done);
}

// --- interrupts ------------------------------------------------------------------------

// Interrupt acceptance on both: each mode, from a running and from a halted chip, the
// delay after EI, a disabled chip, and the flags of LD A,I just before.
TEST(CompleteZ80AgainstZ80ex, InterruptsAreTakenAsTheChipTakesThem) {
    Bench bench(7);
    for (unsigned mode = 0; mode < 3; ++mode) {
        for (int halted = 0; halted < 2; ++halted) {
            // IM 0 runs the byte as an instruction: the floating bus's RST 38h.
            for (uint8_t data : {uint8_t{0xFF}, uint8_t{0x36}}) {
                if (mode == 0 && data != floatingDataBus) continue;
                SCOPED_TRACE("IM " + std::to_string(mode) + (halted ? " halted" : "") + " data " +
                             std::to_string(data));
                bench.randomRegisters();
                CpuRegisters& r = bench.ours().regs;
                r.intFlags = static_cast<uint8_t>(intEnableBit | (mode == 1 ? intMode1Bit : 0) |
                                                  (mode == 2 ? intMode2Bit : 0));
                bench.ours().chip.iff2 = true;
                r.pc = 0x9000;
                bench.place(0x9000, {0x76, 0x00});
                if (mode == 2) bench.place(static_cast<uint16_t>(r.i << 8 | data), {0x34, 0x92});
                bench.start();
                if (halted) {
                    bench.step();
                    for (int round = 0; round < 3; ++round) {
                        stepComplete(bench.ours());
                        bench.reference().stepOnce();
                    }
                }
                bench.reference().dataBus = data;
                const unsigned theirs = bench.reference().interrupt();
                const unsigned ours = interruptComplete(bench.ours(), data);
                EXPECT_NE(ours, 0u);
                EXPECT_EQ(ours, theirs);
                EXPECT_EQ(bench.differences(), "");
                EXPECT_EQ(bench.memptrDifference(), "");
            }
        }
    }

    // EI, then one instruction before an interrupt is taken; none while disabled.
    bench.randomRegisters();
    bench.ours().regs.intFlags = intMode1Bit;
    bench.ours().regs.pc = 0x9000;
    bench.place(0x9000, {0xFB, 0xFB, 0x00});  // EI; EI; NOP
    bench.start();
    EXPECT_EQ(interruptComplete(bench.ours()), 0u);
    EXPECT_EQ(bench.reference().interrupt(), 0u);
    for (int i = 0; i < 2; ++i) {
        bench.step();
        EXPECT_EQ(interruptComplete(bench.ours()), 0u);
        EXPECT_EQ(bench.reference().interrupt(), 0u);
    }
    bench.step();
    EXPECT_EQ(interruptComplete(bench.ours()), interruptCyclesMode1);
    EXPECT_EQ(bench.reference().interrupt(), interruptCyclesMode1);
    EXPECT_EQ(bench.differences(), "");

    // LD A,I with IFF2 set, and the interrupt right after it.
    bench.randomRegisters();
    bench.ours().regs.intFlags = intEnableBit | intMode1Bit;
    bench.ours().chip.iff2 = true;
    bench.ours().regs.pc = 0x9000;
    bench.place(0x9000, {0xED, 0x57});
    bench.start();
    bench.step();
    EXPECT_EQ(interruptComplete(bench.ours()), bench.reference().interrupt());
    EXPECT_EQ(bench.differences(), "");
}

// The run loop: HALT moves the clock straight to the deadline, with R counting the
// HALTs the chip runs meanwhile; the interrupt line wakes it.
TEST(CompleteZ80AgainstZ80ex, HaltSleepsToTheDeadlineAndTheLineWakesIt) {
    Bench bench(9);
    bench.randomRegisters();
    Machine& m = bench.ours();
    m.regs.intFlags = intEnableBit | intMode1Bit;
    m.chip.iff2 = true;
    m.regs.pc = 0x9000;
    bench.place(0x9000, {0xFB, 0x76});  // EI; HALT
    bench.start();
    m.chip.setClock(1000);
    EXPECT_EQ(runComplete(m, 1000 + 4 + 4 + 4 * 5000 + 1), RunStop::deadline);
    bench.reference().step();  // EI
    bench.reference().step();  // HALT
    for (int round = 0; round < 5001; ++round) bench.reference().stepOnce();
    EXPECT_EQ(m.chip.clock(), 1000u + 8 + 4 * 5001);
    EXPECT_EQ(bench.differences(), "");

    setInterruptLine(m, true);
    EXPECT_EQ(runComplete(m, m.chip.clock() + interruptCyclesMode1), RunStop::deadline);
    bench.reference().interrupt();
    EXPECT_EQ(bench.differences(), "");
    EXPECT_EQ(m.regs.pc, 0x0038);

    // A request ends the run at once.
    m.control.post(EmuRequest::Redraw);
    const uint64_t clock = m.chip.clock();
    EXPECT_EQ(runComplete(m, clock + 1000), RunStop::request);
    EXPECT_EQ(m.chip.clock(), clock);
}

}  // namespace
}  // namespace vantrel
