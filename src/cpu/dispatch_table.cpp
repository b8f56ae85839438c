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

}  // namespace

constinit const HandlerTable dispatchTable = buildDispatchTable();

}  // namespace vantrel
