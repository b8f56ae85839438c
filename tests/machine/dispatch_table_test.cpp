#include "machine/dispatch_table.h"

#include <gtest/gtest.h>

#include "machine/illegal_opcode.h"
#include "z80/execute.h"

namespace vantrel {
namespace {

TEST(DispatchTable, MainSubTableHasNoTrapAndNopOnlyInItsEightSlots) {
    std::vector<int> nopSlots;
    for (int op = 0; op < 256; ++op) {
        EXPECT_NE(dispatchTable[mainTableBase + op], &illegalOpcodeTrap) << std::hex << op;
        EXPECT_NE(dispatchTable[mainTableBase + op], nullptr) << std::hex << op;
        if (dispatchTable[mainTableBase + op] == &nopHandler<Machine>) nopSlots.push_back(op);
    }
    EXPECT_EQ(nopSlots, (std::vector<int>{0x00, 0x40, 0x49, 0x52, 0x5B, 0x64, 0x6D, 0x7F}));
    // HALT and each prefix are handlers of their own.
    for (int a : {0x76, 0xCB, 0xDD, 0xED, 0xFD})
        for (int b : {0x76, 0xCB, 0xDD, 0xED, 0xFD}) {
            if (a != b) {
                EXPECT_NE(dispatchTable[a], dispatchTable[b]);
            }
        }
}

}  // namespace
}  // namespace vantrel
