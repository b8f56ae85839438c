// ED-prefixed instructions.
#pragma once

#include "cpu/dispatch_table.h"
#include "hardware/machine.h"

namespace vantrel {

constexpr void fillEdTable(HandlerTable&) {}

}  // namespace vantrel
