#include "machine/dispatch_table.h"

#include <array>
#include <cstddef>

#include "hardware/ports.h"
#include "machine/bus.h"
#include "machine/illegal_opcode.h"
#include "z80/instruction_table.h"

namespace vantrel {

namespace {

using MachineTable = HandlerTable<Machine>;

constexpr MachineTable buildDispatchTable() {
    MachineTable table{};
    for (auto& slot : table) slot = illegalOpcodeTrap;
    fillInstructionTable<Machine>(table);
    return table;
}

constexpr MachineTable builtTable = buildDispatchTable();

constexpr std::size_t countInMain(MachineHandler handler) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < 256; ++i) count += builtTable[mainTableBase + i] == handler;
    return count;
}

// Every unprefixed opcode is an instruction; NOP and the seven self-loads share one
// handler.
static_assert(countInMain(illegalOpcodeTrap) == 0);
static_assert(countInMain(nopHandler<Machine>) == 8);

// --- trap slots of the prefixed sub-tables ----------------------------------------
// Counted on a shadow table that the same fill functions mark, because comparing
// handler addresses is not a constant expression under every compiler setting.
struct SlotMark {
    bool filled = false;
    template <class Function>
    constexpr SlotMark& operator=(Function*) {
        filled = true;
        return *this;
    }
};

template <std::size_t Size>
constexpr std::size_t unfilled(const std::array<SlotMark, Size>& marks, std::size_t first,
                               std::size_t count) {
    std::size_t n = 0;
    for (std::size_t i = first; i < first + count; ++i) n += marks[i].filled ? 0u : 1u;
    return n;
}

constexpr std::array<SlotMark, 1280> prefixedMarks = [] {
    std::array<SlotMark, 1280> marks{};
    fillCbTable<Machine>(marks);
    fillIndexTables<Machine>(marks);
    fillEdTable<Machine>(marks);
    return marks;
}();
static_assert(unfilled(prefixedMarks, cbTableBase, 256) == 8, "CB: only the eight SLL slots trap");
static_assert(unfilled(prefixedMarks, ddTableBase, 256) == 182, "DD: 74 working slots");
static_assert(unfilled(prefixedMarks, edTableBase, 256) == 200, "ED: 56 working slots");
static_assert(unfilled(prefixedMarks, fdTableBase, 256) == 182, "FD: 74 working slots");

constexpr std::array<SlotMark, 256> indexedCbMarks = [] {
    std::array<SlotMark, 256> marks{};
    fillIndexedCbOps<Machine>(marks);
    return marks;
}();
static_assert(unfilled(indexedCbMarks, 0, 256) == 225, "DDCB/FDCB: 31 working final bytes");

}  // namespace

constinit const std::array<MachineHandler, instructionTableSize> dispatchTable = builtTable;

}  // namespace vantrel
