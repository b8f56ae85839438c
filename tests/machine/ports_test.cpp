#include <gtest/gtest.h>

#include <cstring>

#include "machine/bus.h"
#include "support/test_machine.h"

namespace vantrel {
namespace {

using test::makeMachine;

TEST(KeyMatrixPort, NoLatchedKeyReadsAllOnesWhateverTheMask) {
    auto m = makeMachine();
    for (int mask = 0; mask < 256; ++mask) {
        portWrite(*m, 1, static_cast<uint8_t>(mask));
        EXPECT_EQ(portRead(*m, 1), 0xFF) << mask;
    }
}

TEST(KeyMatrixPort, LatchedKeyShowsOnlyWhenItsGroupIsSelected) {
    auto m = makeMachine();
    m->keyLatch = 54;  // [2nd]: group 6, bit 5
    portWrite(*m, 1, 0xBF);
    EXPECT_EQ(portRead(*m, 1), 0xDF);
    portWrite(*m, 1, 0xFF);
    EXPECT_EQ(portRead(*m, 1), 0xFF);
    portWrite(*m, 1, 0x00);
    EXPECT_EQ(portRead(*m, 1), 0xDF);

    for (uint32_t code = 1; code <= 56; ++code) {
        m->keyLatch = code;
        const unsigned group = (code - 1) / 8;
        const uint8_t pressed = static_cast<uint8_t>(~(1u << ((code - 1) % 8)));
        portWrite(*m, 1, static_cast<uint8_t>(~(1u << group)));  // only its group
        EXPECT_EQ(portRead(*m, 1), pressed) << code;
        portWrite(*m, 1, static_cast<uint8_t>(1u << group));  // all but its group
        EXPECT_EQ(portRead(*m, 1), 0xFF) << code;
    }
    // The latch stays readable however often the calculator scans.
    m->keyLatch = 1;
    portWrite(*m, 1, 0xFE);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(portRead(*m, 1), 0xFE);
}

TEST(KeyMatrixPort, OnKeyReadsLikeAnyKeyOfGroupFiveAndCodesOutOfRangeAreHarmless) {
    auto m = makeMachine();
    m->keyLatch = keyOn;
    portWrite(*m, 1, 0xDF);
    EXPECT_EQ(portRead(*m, 1), 0xFE);
    for (uint32_t code : {65u, 1000u, 0xFFFFFFFFu}) {
        m->keyLatch = code;
        portWrite(*m, 1, 0x00);
        EXPECT_EQ(portRead(*m, 1), 0xFF) << code;
    }
}

TEST(StatusPort, OnKeyReadsOneEverythingElseTen) {
    auto m = makeMachine();
    for (uint32_t code : {0u, 1u, 40u, 42u, 54u, 56u}) {
        m->keyLatch = code;
        EXPECT_EQ(portRead(*m, 3), 0x0A) << code;
    }
    m->keyLatch = keyOn;
    EXPECT_EQ(portRead(*m, 3), 0x01);
    portWrite(*m, 3, 0xFF);  // what was written plays no part
    EXPECT_EQ(portRead(*m, 3), 0x01);
    m->keyLatch = 0;
    EXPECT_EQ(portRead(*m, 3), 0x0A);
}

TEST(PlainPorts, RegistersStoreAndReadBack) {
    auto m = makeMachine();
    portWrite(*m, 2, 0xFF);
    EXPECT_EQ(m->mem.state.port2Value, 0xFF);
    EXPECT_EQ(portRead(*m, 2), 0x1F);
    portWrite(*m, 6, 0xA5);
    EXPECT_EQ(portRead(*m, 6), 0xA5);

    portWrite(*m, 5, 0x0D);
    EXPECT_EQ(m->mem.state.romBank, 5);
    EXPECT_EQ(portRead(*m, 5), 5);
    portWrite(*m, 5, 0x0F);
    EXPECT_EQ(portRead(*m, 5), 7);
    m->mem.state.romBank = 0x0B;  // as a state file may hold it
    EXPECT_EQ(portRead(*m, 5), 0x0B);

    portWrite(*m, 1, 0x3C);
    EXPECT_EQ(m->mem.state.keyGroupMask, 0x3C);
}

TEST(PlainPorts, DisplayBitOfPortThreeSwitchesTheCalculator) {
    auto m = makeMachine();
    portWrite(*m, 3, 0x0B);
    EXPECT_TRUE(calculatorOn(*m));
    portWrite(*m, 3, 0x00);
    EXPECT_FALSE(calculatorOn(*m));
    EXPECT_EQ(m->mem.state.port3Value, 0x00);
    portWrite(*m, 3, 0x08);
    EXPECT_TRUE(calculatorOn(*m));
    portWrite(*m, 3, 0xF7);
    EXPECT_FALSE(calculatorOn(*m));
}

TEST(PlainPorts, PortsWithoutAFunctionReadAllOnesAndIgnoreWrites) {
    auto m = makeMachine();
    m->keyLatch = 54;
    StateRecord before;
    std::memcpy(&before, &m->mem.state, sizeof before);
    for (int port = 0; port < 256; ++port) {
        if (port >= 1 && port <= 7 && port != 4) continue;
        EXPECT_EQ(portRead(*m, static_cast<uint8_t>(port)), 0xFF) << port;
        portWrite(*m, static_cast<uint8_t>(port), 0x5A);
    }
    EXPECT_EQ(std::memcmp(&before, &m->mem.state, sizeof before), 0);
}

}  // namespace
}  // namespace vantrel
