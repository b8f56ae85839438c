#include "cpu/dispatch_table.h"

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

}  // namespace

constinit const HandlerTable dispatchTable = builtTable;

}  // namespace vantrel
