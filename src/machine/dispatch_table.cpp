#include "machine/dispatch_table.h"

#include <array>
#include <cstddef>
#include <utility>

#include "hardware/ports.h"
#include "machine/bus.h"
#include "machine/illegal_opcode.h"
#include "z80/instruction_table.h"

namespace vantrel {

namespace {

template <Personality P>
constexpr MachineTable buildDispatchTable() {
    MachineTable table{};
    for (auto& slot : table) slot = illegalOpcodeTrap;
    fillInstructionTable<P, Machine>(table);
    return table;
}

constexpr MachineTable classicTable = buildDispatchTable<Personality::classic>();

constexpr std::size_t countInMain(MachineHandler handler) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < 256; ++i) count += classicTable[mainTableBase + i] == handler;
    return count;
}

// Every unprefixed opcode is an instruction; NOP and the seven self-loads share one
// handler.
static_assert(countInMain(illegalOpcodeTrap) == 0);
static_assert(countInMain(nopHandler<Machine>) == 8);

// --- how often each slot is filled ---------------------------------------------------
// Counted on a shadow table that the same fill function marks, because comparing
// handler addresses is not a constant expression under every compiler setting.
struct SlotMark {
    int fills = 0;
    template <class Function>
    constexpr SlotMark& operator=(Function*) {
        ++fills;
        return *this;
    }
};
using Marks = std::array<SlotMark, instructionTableSize>;

template <Personality P>
constexpr Marks marksOf() {
    Marks marks{};
    fillInstructionTable<P, Machine>(marks);
    return marks;
}

constexpr bool filledAtMostOnce(const Marks& marks) {
    for (const SlotMark& mark : marks)
        if (mark.fills > 1) return false;
    return true;
}

constexpr std::size_t unfilled(const Marks& marks, std::size_t first) {
    std::size_t n = 0;
    for (std::size_t i = first; i < first + 256; ++i) n += marks[i].fills == 0 ? 1u : 0u;
    return n;
}

constexpr Marks classicMarks = marksOf<Personality::classic>();
static_assert(filledAtMostOnce(classicMarks));
static_assert(unfilled(classicMarks, mainTableBase) == 0, "main: no trap");
static_assert(unfilled(classicMarks, cbTableBase) == 8, "CB: only the eight SLL slots trap");
static_assert(unfilled(classicMarks, ddTableBase) == 182, "DD: 74 working slots");
static_assert(unfilled(classicMarks, edTableBase) == 200, "ED: 56 working slots");
static_assert(unfilled(classicMarks, fdTableBase) == 182, "FD: 74 working slots");

constexpr std::size_t classicIndexedCbTraps() {
    std::size_t n = 0;
    for (std::size_t op = 0; op < 256; ++op) n += indexedCbSet[op].classic ? 0u : 1u;
    return n;
}
static_assert(classicIndexedCbTraps() == 225, "DDCB/FDCB: 31 working final bytes");

constexpr Marks completeMarks = marksOf<Personality::complete>();
static_assert(filledAtMostOnce(completeMarks));
static_assert(unfilled(completeMarks, mainTableBase) + unfilled(completeMarks, cbTableBase) +
                      unfilled(completeMarks, ddTableBase) + unfilled(completeMarks, edTableBase) +
                      unfilled(completeMarks, fdTableBase) ==
                  0,
              "the complete Z80 has an instruction in every slot");

#ifdef VANTREL_CHAINED_DISPATCH
#if defined(__clang__)
#define VANTREL_TAIL_CALL [[clang::musttail]] return
#else
#define VANTREL_TAIL_CALL return
#endif

template <MachineHandler Handler>
void chained(Machine& m) {
    Handler(m);
    if (m.control.emuRequest.load(std::memory_order_relaxed) != 0) return;
    if (pageEndNear(m.fetchPointer)) return;  // the loop looks at the images
    const uint8_t opcode = fetchByte(m);
    VANTREL_TAIL_CALL chainedDispatchTable[opcode](m);
}

template <MachineHandler Handler>
void chainedComplete(Machine& m) {
    Handler(m);
    if (m.control.emuRequest.load(std::memory_order_relaxed) != 0) return;
    if (m.chip.clock() >= m.runUntil) return;
    if (pageEndNear(m.fetchPointer + 1)) return;  // the last four bytes: through the map
    const uint8_t opcode = fetchByte(m);
    VANTREL_TAIL_CALL chainedCompleteTable[opcode](m);
}

template <std::size_t... Op>
constexpr ChainedTable buildChainedTable(std::index_sequence<Op...>) {
    return {chained<classicTable[Op]>...};
}

// HALT goes back to the loop, which lets the clock run to the deadline.
constexpr MachineTable completeTable = buildDispatchTable<Personality::complete>();
template <std::size_t... Op>
constexpr ChainedTable buildChainedCompleteTable(std::index_sequence<Op...>) {
    return {(Op == 0x76 ? completeTable[Op] : chainedComplete<completeTable[Op]>)...};
}
#endif

}  // namespace

constinit const MachineTable dispatchTable = classicTable;
constinit const MachineTable completeDispatchTable = buildDispatchTable<Personality::complete>();
#ifdef VANTREL_CHAINED_DISPATCH
constinit const ChainedTable chainedDispatchTable =
    buildChainedTable(std::make_index_sequence<256>{});
constinit const ChainedTable chainedCompleteTable =
    buildChainedCompleteTable(std::make_index_sequence<256>{});
#endif

}  // namespace vantrel
