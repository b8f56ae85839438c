// The bit layer of port 7: levels, acknowledgements, byte assembly and the queue.
#include "link/link_fixture.h"
#include "machine/bus.h"

namespace vantrel::test {
namespace {

using LinkLinesTest = LinkFixture;

TEST_F(LinkLinesTest, BitWritesAtRestAreAcknowledgedWithTheMaskedValue) {
    portWrite(*m, 7, 0xE8);
    EXPECT_EQ(portRead(*m, 7), 8);
    EXPECT_EQ(LinkEngineProbe(m->link).rxBitCount, 1);
    EXPECT_EQ(LinkEngineProbe(m->link).rxByte, 1);
    portWrite(*m, 7, 0xC0);
    portWrite(*m, 7, 0xD4);
    EXPECT_EQ(portRead(*m, 7), 4);
    portWrite(*m, 7, 0xC0);
    portWrite(*m, 7, 0x00);  // any other value is a 0 bit too
    EXPECT_EQ(portRead(*m, 7), 0);
    EXPECT_EQ(LinkEngineProbe(m->link).rxBitCount, 3);
    EXPECT_EQ(LinkEngineProbe(m->link).rxByte, 1);
}

TEST_F(LinkLinesTest, BytesTravelLeastSignificantBitFirst) {
    for (uint8_t value : {0xE8, 0xD4, 0xD4, 0xD4, 0xD4, 0xD4, 0xD4, 0xD4}) {
        portWrite(*m, 7, value);
        portWrite(*m, 7, 0xC0);
    }
    EXPECT_EQ(LinkEngineProbe(m->link).rxBitCount, 0);
    EXPECT_EQ(LinkEngineProbe(m->link).rxPacket.received, 1);
    EXPECT_EQ(LinkEngineProbe(m->link).rxPacket.machineId, 0x01);
}

TEST_F(LinkLinesTest, ReadAtRestPollsOnlyOnceAfterAWrite) {
    EXPECT_EQ(portRead(*m, 7), 3);
    EXPECT_EQ(LinkEngineProbe(m->link).lines.pollDue, 0u);
    portWrite(*m, 7, 0xC0);
    EXPECT_EQ(LinkEngineProbe(m->link).lines.pollDue, 1u);
    EXPECT_EQ(portRead(*m, 7), 3);
    EXPECT_EQ(LinkEngineProbe(m->link).lines.pollDue, 0u);
    EXPECT_EQ(portRead(*m, 7), 3);
    EXPECT_FALSE(m->link.busy());
}

TEST_F(LinkLinesTest, AnswersToAPresentedBitToggleTheLevel) {
    LinkEngineProbe(m->link).lines.lineLevel = 6;
    portWrite(*m, 7, 0xD4);
    EXPECT_EQ(portRead(*m, 7), 9);
    portWrite(*m, 7, 0x12);
    EXPECT_EQ(portRead(*m, 7), 6);
    portWrite(*m, 7, 0xC0);
    EXPECT_EQ(portRead(*m, 7), 3);
}

TEST_F(LinkLinesTest, AbortValueBeepsAndResetsEverything) {
    calc.sendBytes(calcPacket(cmdVar, varHeader(0, "A", 10)));
    calc.sendBytes({0x85, 0x15});  // a data packet begins
    portWrite(*m, 7, 0xE8);        // and a byte is half way
    portWrite(*m, 7, 0xFC);
    EXPECT_EQ(portRead(*m, 7), 3);
    EXPECT_TRUE(engineAtRest());
    EXPECT_EQ(LinkEngineProbe(m->link).rxBitCount, 0);
    EXPECT_EQ(host.linkAborts(), 1);
    EXPECT_FALSE(m->link.busy());
    EXPECT_EQ(filesIn(), 0u);
    // The next transfer starts afresh and asks for a name again.
    calc.sendBytes(calcPacket(cmdVar, varHeader(0, "B", 10)));
    EXPECT_EQ(host.saveNameRequests(), 2);
}

TEST(LinkSendQueue, BytesAreTakenBitByBitAcrossAppends) {
    SendQueue queue;
    const uint8_t bytes[] = {0x01, 0x80, 0xFF, 0x00};
    appendToSendQueue(queue, bytes, 2);
    EXPECT_EQ(queue.bitIndex, 0);
    EXPECT_EQ(queue.currentByte, 0x01);
    appendToSendQueue(queue, bytes + 2, 2);
    std::vector<int> bits;
    for (int i = 0; i < 32; ++i) bits.push_back(nextSendBit(queue));
    EXPECT_EQ(queue.bitIndex, 8);
    EXPECT_EQ(nextSendBit(queue), 0);
    EXPECT_EQ(queue.bitIndex, 8);
    const std::vector<int> expected{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,
                                    1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(bits, expected);
    // An append after the queue ran dry starts on the new byte at once.
    appendToSendQueue(queue, bytes + 1, 1);
    EXPECT_EQ(queue.bitIndex, 0);
    EXPECT_EQ(queue.currentByte, 0x80);
    clearSendQueue(queue);
    EXPECT_EQ(queue.bitIndex, 8);
    EXPECT_EQ(queue.length, 0u);
}

}  // namespace
}  // namespace vantrel::test
