// DD- and FD-prefixed instructions on IX and IY, and the DDCB/FDCB forms.
#pragma once

#include "cpu/dispatch_table.h"
#include "hardware/machine.h"

namespace vantrel {

constexpr void fillIndexTables(HandlerTable&) {}

}  // namespace vantrel
