// The complete Z80's run loop against its single steps: the instructions that go on by
// themselves, the page ends taken through the map, HALT sleeping to the deadline and
// the interrupt line all end where stepping one boundary at a time ends.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "machine/complete_z80.h"
#include "support/test_machine.h"

namespace vantrel {
namespace {

// Two machines with the same random memory and registers.
struct Twins {
    std::unique_ptr<Machine> run = test::makeMachine();
    std::unique_ptr<Machine> stepped = test::makeMachine();

    explicit Twins(uint32_t seed) {
        std::mt19937 random(seed);
        for (auto& byte : run->mem.rom) byte = static_cast<uint8_t>(random());
        for (std::size_t i = 0; i < ramSize; ++i)
            run->mem.ram()[i] = static_cast<uint8_t>(random());
        auto* raw = reinterpret_cast<uint8_t*>(&run->regs);
        for (std::size_t i = 0; i < sizeof(CpuRegisters); ++i)
            raw[i] = static_cast<uint8_t>(random());
        run->regs.intFlags = intEnableBit | intMode1Bit;
        run->chip.iff2 = true;
        stepped->mem = run->mem;
        stepped->regs = run->regs;
        stepped->chip = run->chip;
        jumpTo(*stepped, stepped->regs.pc);
    }

    void runTo(uint64_t deadline) {
        runComplete(*run, deadline);
        while (stepped->chip.clock() < deadline) stepComplete(*stepped);
    }

    bool same() const {
        return std::memcmp(&run->regs, &stepped->regs, sizeof(CpuRegisters)) == 0 &&
               run->chip.counts == stepped->chip.counts && run->chip.wz == stepped->chip.wz &&
               run->chip.halted == stepped->chip.halted &&
               std::memcmp(&run->mem.state, &stepped->mem.state, sizeof(StateRecord)) == 0;
    }
};

TEST(CompleteLoop, RunningEndsWhereSteppingEnds) {
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        Twins twins(seed);
        // Code that starts just before a page end, now and then.
        if (seed % 4 == 0) twins.run->regs.pc = twins.stepped->regs.pc = 0x3FF0;
        jumpTo(*twins.stepped, twins.stepped->regs.pc);
        uint64_t deadline = 0;
        for (int round = 0; round < 20; ++round) {
            deadline += 997;
            // The line goes up and down between runs, as the hardware sets it.
            const bool line = round % 5 == 4;
            setInterruptLine(*twins.run, line);
            setInterruptLine(*twins.stepped, line);
            twins.runTo(deadline);
            ASSERT_TRUE(twins.same()) << "round " << round << " PC " << twins.run->regs.pc << " / "
                                      << twins.stepped->regs.pc;
        }
    }
}

}  // namespace
}  // namespace vantrel
