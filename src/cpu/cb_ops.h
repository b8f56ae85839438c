// CB-prefixed rotates, shifts, BIT, RES and SET.
#pragma once

#include "cpu/dispatch_table.h"
#include "hardware/machine.h"

namespace vantrel {

constexpr void fillCbTable(HandlerTable&) {}

}  // namespace vantrel
