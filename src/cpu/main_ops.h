// The unprefixed instruction set (main sub-table).
#pragma once

#include "cpu/dispatch_table.h"
#include "hardware/machine.h"

namespace vantrel {

inline void nopHandler(Machine&) {}

constexpr void fillMainTable(HandlerTable& table) {
    table[mainTableBase + 0x00] = nopHandler;
}

}  // namespace vantrel
