#include "cpu/dispatch_table.h"

#include <cstddef>

#include "cpu/cb_ops.h"
#include "cpu/ed_ops.h"
#include "cpu/illegal_opcode.h"
#include "cpu/index_ops.h"
#include "cpu/main_ops.h"

namespace vantrel {

namespace {

constexpr HandlerTable buildDispatchTable() {
    HandlerTable table{};
    for (auto& slot : table) slot = illegalOpcodeTrap;
    fillMainTable(table);
    fillCbTable(table);
    fillIndexTables(table);
    fillEdTable(table);
    return table;
}

constexpr HandlerTable builtTable = buildDispatchTable();

constexpr std::size_t countInMain(Handler handler) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < 256; ++i) count += builtTable[mainTableBase + i] == handler;
    return count;
}

// Every unprefixed opcode is an instruction; NOP and the seven self-loads share one
// handler.
static_assert(countInMain(illegalOpcodeTrap) == 0);
static_assert(countInMain(nopHandler) == 8);

// --- trap slots of the prefixed sub-tables ----------------------------------------
constexpr std::size_t trapSlots(std::size_t base) {
    std::size_t count = 0;
    for (std::size_t i = base; i < base + 256; ++i)
        if (builtTable[i] == illegalOpcodeTrap) ++count;
    return count;
}
static_assert(trapSlots(cbTableBase) == 8, "CB: only the eight SLL slots trap");
static_assert(trapSlots(ddTableBase) == 182, "DD: 74 working slots");
static_assert(trapSlots(edTableBase) == 200, "ED: 56 working slots");
static_assert(trapSlots(fdTableBase) == 182, "FD: 74 working slots");

constexpr std::size_t indexedCbTrapValues() {
    std::size_t count = 0;
    for (auto op : indexedCbOps)
        if (op == indexedCbTrap) ++count;
    return count;
}
static_assert(indexedCbTrapValues() == 225, "DDCB/FDCB: 31 working final bytes");

}  // namespace

constinit const HandlerTable dispatchTable = builtTable;

}  // namespace vantrel
