#include "debugger/trace_line.h"

#include <gtest/gtest.h>

#include <vector>

#include "debugger/disassembler.h"
#include "z80/cpu_registers.h"

namespace vantrel {
namespace {

Instruction decode(std::vector<uint8_t> bytes, uint16_t address) {
    bytes.resize(8, 0);
    return disassemble([&](uint16_t a) { return bytes[static_cast<uint16_t>(a - address)]; },
                       address);
}

TEST(TraceLine, ColumnsStayPutWhateverTheInstruction) {
    CpuRegisters r;
    r.setAF(0x12D5);  // S Z H P C, N clear
    r.setBC(0x3456);
    r.setDE(0x789A);
    r.setHL(0xBCDE);
    r.ix = 0x0001;
    r.iy = 0xFFFF;
    r.sp = 0xFBF0;
    EXPECT_EQ(traceLine(decode({0xDD, 0x36, 0xFE, 0x12}, 0x9ABC), r),
              "9ABC  DD 36 FE 12  AF=12D5 BC=3456 DE=789A HL=BCDE IX=0001 IY=FFFF SP=FBF0 "
              "SZHP-C  LD (IX-02h),12h");

    const std::string nop = traceLine(decode({0x00}, 0x0000), CpuRegisters{});
    const std::string trap = traceLine(decode({0xDD, 0xCB, 0x05, 0x00}, 0x0000), CpuRegisters{});
    const std::size_t column = nop.find("NOP");
    EXPECT_EQ(trap.find("DB 0DDh,0CBh,05h,00h ; trap"), column);
    EXPECT_EQ(nop.find("-------"), std::string::npos);
    EXPECT_NE(nop.find(" ------  NOP"), std::string::npos);
}

}  // namespace
}  // namespace vantrel
