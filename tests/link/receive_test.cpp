// The calculator sends: whole transfers through port 7, the answers on the wire and
// the file that results.
#include <unistd.h>

#include "files/file_io.h"
#include "link/link_fixture.h"
#include "machine/bus.h"
#include "support/full_disk.h"

namespace vantrel::test {
namespace {

using LinkReceiveTest = LinkFixture;
using test::FileSizeLimit;

const std::vector<uint8_t> ack = pcPacket(cmdAck);
const std::vector<uint8_t> cts = pcPacket(cmdCts);
const std::vector<uint8_t> eot = pcPacket(cmdEot);

std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST_F(LinkReceiveTest, OneVariableBecomesAFileWithTheExactBytes) {
    const auto header = varHeader(0x00, "A", 10);
    const std::vector<uint8_t> data{0x00, 0xFC, 0x31, 0x41, 0x59, 0x26, 0x53, 0x58, 0x97, 0x93};

    calc.sendBytes(calcPacket(cmdVar, header));
    EXPECT_EQ(calc.receiveAll(), concat({ack, cts}));
    EXPECT_EQ(host.saveNameRequests(), 1);
    calc.sendBytes(calcPacket(cmdAck));
    EXPECT_TRUE(calc.pcSilent());
    calc.sendBytes(calcPacket(cmdData, data));
    EXPECT_EQ(calc.receiveAll(), ack);
    EXPECT_FALSE(std::filesystem::exists(host.saveName));
    calc.sendBytes(calcPacket(cmdEot));
    EXPECT_EQ(calc.receiveAll(), ack);
    EXPECT_TRUE(calc.faults().empty()) << calc.faults().front();
    EXPECT_TRUE(engineAtRest());
    EXPECT_FALSE(m->link.busy());
    EXPECT_TRUE(host.filePrompts().empty());

    std::vector<uint8_t> expected;
    expected.reserve(128);
    expected.assign(variableFileSignature.begin(), variableFileSignature.end());
    const std::string comment = "Vantrel generated file: 05/03/2026, 09:07";
    expected.insert(expected.end(), comment.begin(), comment.end());
    expected.push_back(0);
    expected.insert(expected.end(), {19, 0, 5, 0, 0x0A, 0x00, 0x00, 0x01, 'A', 10, 0});
    expected.insert(expected.end(), data.begin(), data.end());
    uint16_t sum = 5 + 10;
    for (uint8_t b : header) sum = static_cast<uint16_t>(sum + b);
    for (uint8_t b : data) sum = static_cast<uint16_t>(sum + b);
    putWord(expected, sum);
    EXPECT_EQ(readBytes(host.saveName), expected);
    EXPECT_EQ(filesIn(), 1u);  // no temporary file left beside it
}

TEST_F(LinkReceiveTest, GroupOfTwoAsksOnceAndWritesOneFile) {
    const auto first = varHeader(0x00, "A", 10);
    const auto second = varHeader(0x0C, "STR", 4);
    const auto dataA = bytesOf(10, 1);
    const auto dataB = bytesOf(4, 0x40);
    for (const auto& [header, data] : {std::pair{first, dataA}, std::pair{second, dataB}}) {
        calc.sendBytes(calcPacket(cmdVar, header));
        EXPECT_EQ(calc.receiveAll(), concat({ack, cts}));
        calc.sendBytes(calcPacket(cmdAck));
        calc.sendBytes(calcPacket(cmdData, data));
        EXPECT_EQ(calc.receiveAll(), ack);
    }
    calc.sendBytes(calcPacket(cmdEot));
    EXPECT_EQ(calc.receiveAll(), ack);
    EXPECT_EQ(host.saveNameRequests(), 1);
    EXPECT_EQ(readBytes(host.saveName), variableFileWithComment({first, dataA, second, dataB}));
    EXPECT_TRUE(engineAtRest());
}

TEST_F(LinkReceiveTest, BackupEndsAfterItsThirdPartWithoutEot) {
    const auto header = varHeader(backupTypeId, "", 0);
    const std::vector<std::vector<uint8_t>> parts{bytesOf(300, 3), bytesOf(20, 9), bytesOf(1, 0)};
    calc.sendBytes(calcPacket(cmdVar, header));
    EXPECT_EQ(calc.receiveAll(), concat({ack, cts}));
    calc.sendBytes(calcPacket(cmdAck));
    for (const auto& part : parts) {
        EXPECT_FALSE(std::filesystem::exists(host.saveName));
        calc.sendBytes(calcPacket(cmdData, part));
        EXPECT_EQ(calc.receiveAll(), ack);
    }
    EXPECT_TRUE(engineAtRest());
    EXPECT_EQ(readBytes(host.saveName),
              variableFileWithComment({header, parts[0], parts[1], parts[2]}));
    EXPECT_EQ(host.backupFlags(), std::vector<bool>{true});  // the window names it ".85b"
}

TEST_F(LinkReceiveTest, RefusalsEndTheTransferWithEot) {
    // Save-As cancelled: EOT, and the engine is reset once it has gone out.
    host.giveSaveName = false;
    calc.sendBytes(calcPacket(cmdVar, varHeader(0, "A", 10)));
    EXPECT_EQ(calc.receiveAll(), eot);
    EXPECT_TRUE(engineAtRest());
    EXPECT_EQ(filesIn(), 0u);

    // CTS and SKIP are never sent to a sender.
    calc.sendBytes(calcPacket(cmdCts));
    EXPECT_EQ(calc.receiveAll(), eot);
    EXPECT_TRUE(engineAtRest());
    calc.sendBytes(calcPacket(cmdSkip, {1}));
    EXPECT_EQ(calc.receiveAll(), eot);
    calc.sendBytes(calcPacket(cmdErr));
    EXPECT_EQ(calc.receiveAll(), eot);
    EXPECT_TRUE(engineAtRest());
    EXPECT_TRUE(calc.faults().empty());
}

TEST_F(LinkReceiveTest, OverwriteAnsweredNoKeepsTheOldFile) {
    const std::vector<uint8_t> old{'o', 'l', 'd'};
    writeBytes(host.saveName, old);
    host.overwriteAnswer = 0;
    calc.sendBytes(calcPacket(cmdVar, varHeader(0, "A", 10)));
    calc.receiveAll();
    calc.sendBytes(calcPacket(cmdAck));
    calc.sendBytes(calcPacket(cmdData, bytesOf(10, 0)));
    calc.receiveAll();
    calc.sendBytes(calcPacket(cmdEot));
    EXPECT_EQ(calc.receiveAll(), eot);
    ASSERT_EQ(host.filePrompts().size(), 1u);
    EXPECT_EQ(host.filePrompts()[0].kind, FilePrompt::overwrite);
    EXPECT_EQ(readBytes(host.saveName), old);
    EXPECT_EQ(filesIn(), 1u);
    EXPECT_TRUE(engineAtRest());

    // Yes replaces it whole: nothing of the longer old contents remains.
    writeBytes(host.saveName, bytesOf(5000, 1));
    host.overwriteAnswer = 1;
    calc.sendBytes(calcPacket(cmdVar, varHeader(0, "A", 10)));
    calc.receiveAll();
    calc.sendBytes(calcPacket(cmdData, bytesOf(10, 0)));
    calc.receiveAll();
    calc.sendBytes(calcPacket(cmdEot));
    EXPECT_EQ(calc.receiveAll(), ack);
    EXPECT_EQ(readBytes(host.saveName).size(), 55u + 19u + 2u);
    EXPECT_EQ(filesIn(), 1u);
}

TEST_F(LinkReceiveTest, AbortMidTransferLosesNothingOnDisk) {
    writeBytes(host.saveName, {'k', 'e', 'e', 'p'});
    calc.sendBytes(calcPacket(cmdVar, varHeader(0, "A", 10)));
    calc.receiveAll();
    const auto data = calcPacket(cmdData, bytesOf(10, 0));
    calc.sendBytes({data.begin(), data.begin() + 7});
    portWrite(*m, 7, 0xFC);
    EXPECT_TRUE(engineAtRest());
    EXPECT_EQ(readBytes(host.saveName), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_TRUE(host.filePrompts().empty());
}

TEST_F(LinkReceiveTest, LoneAcknowledgementIsCompleteAndUnanswered) {
    calc.sendBytes(calcPacket(cmdAck));
    EXPECT_TRUE(calc.pcSilent());
    // Idle again once the packet is handled: nothing is owed to the calculator.
    EXPECT_FALSE(m->link.busy());
    // A header packet with 7 data bytes completes after 13 bytes.
    const auto packet = calcPacket(cmdVar, bytesOf(7, 0));
    ASSERT_EQ(packet.size(), 13u);
    calc.sendBytes({packet.begin(), packet.end() - 1});
    EXPECT_EQ(LinkEngineProbe(m->link).rxPacket.payload.size(), 9u);
    EXPECT_EQ(host.saveNameRequests(), 0);
    calc.sendByte(packet.back());
    EXPECT_EQ(host.saveNameRequests(), 1);
}

TEST_F(LinkReceiveTest, PacketsTheEngineDoesNotHoldAreSafelyPassedOver) {
    // An unknown command is given up once its length and checksum have gone by;
    // the engine goes on listening and the next packet is understood.
    calc.sendBytes({0x85, 0x77, 0x03, 0x00, 1, 2, 3, 6, 0});
    EXPECT_TRUE(calc.pcSilent());
    EXPECT_EQ(LinkEngineProbe(m->link).rxPacket.received, 0);
    calc.sendBytes(calcPacket(cmdVar, varHeader(0, "A", 10)));
    EXPECT_EQ(calc.receiveAll(), concat({ack, cts}));
    portWrite(*m, 7, 0xFC);

    // A header longer than a packet can count is refused without holding it.
    calc.sendBytes({0x85, cmdVar, 0xFA, 0xFF});
    EXPECT_TRUE(LinkEngineProbe(m->link).rxPacket.payload.empty());
    for (int i = 0; i < 65530 + 2 - 1; ++i) LinkEngineProbe(m->link).appendReceivedByte(0x55);
    EXPECT_TRUE(calc.pcSilent());
    calc.sendByte(0x55);
    EXPECT_EQ(calc.receiveAll(), eot);
    EXPECT_TRUE(engineAtRest());
    EXPECT_EQ(host.saveNameRequests(), 1);

    // Bytes beyond a complete packet have no place and change nothing.
    LinkEngineProbe(m->link).rxPacket.commandId = cmdAck;
    LinkEngineProbe(m->link).rxPacket.received = 4;
    for (int i = 0; i < 10; ++i) LinkEngineProbe(m->link).appendReceivedByte(0xAA);
    EXPECT_EQ(LinkEngineProbe(m->link).rxPacket.received, 4);
}

TEST_F(LinkReceiveTest, OddHeadersAndStrayPacketsAreHandledSoundly) {
    // A header of two bytes has no type byte: an ordinary variable.
    calc.sendBytes(calcPacket(cmdVar, {0x1D, 0x1D}));
    EXPECT_EQ(calc.receiveAll(), concat({ack, cts}));
    EXPECT_EQ(m->link.state(), LinkState::RxHeader);
    portWrite(*m, 7, 0xFC);

    // EOT before any header: acknowledged, no file, no prompt without a name.
    calc.sendBytes(calcPacket(cmdEot));
    EXPECT_EQ(calc.receiveAll(), ack);
    EXPECT_TRUE(host.filePrompts().empty());
    EXPECT_TRUE(engineAtRest());

    // Data without a header belongs to nothing and must not reach the next file.
    calc.sendBytes(calcPacket(cmdData, bytesOf(10, 0x10)));
    EXPECT_EQ(calc.receiveAll(), eot);
    EXPECT_TRUE(engineAtRest());
    const auto header = varHeader(0, "B", 3);
    calc.sendBytes(calcPacket(cmdVar, header));
    calc.receiveAll();
    calc.sendBytes(calcPacket(cmdData, {7, 8, 9}));
    calc.receiveAll();
    calc.sendBytes(calcPacket(cmdEot));
    EXPECT_EQ(calc.receiveAll(), ack);
    EXPECT_EQ(readBytes(host.saveName), variableFileWithComment({header, {7, 8, 9}}));
}

TEST(LinkPacketName, AHeaderNamesItsVariableWithinTheBytesItHolds) {
    auto packet = [](uint8_t command, const std::vector<uint8_t>& data) {
        return LinkPacket::withData(command, data.data(), static_cast<uint16_t>(data.size()));
    };
    EXPECT_EQ(packet(cmdVar, varHeader(0x0C, "STR", 4)).variableName(), "STR");
    EXPECT_EQ(packet(cmdVar, {10, 0, 0, 9, 'A', 'B'}).variableName(), "AB");  // cut short
    EXPECT_EQ(packet(cmdVar, {10, 0, 0}).variableName(), "");
    EXPECT_EQ(packet(cmdVar, varHeader(backupTypeId, "", 0)).variableName(), "");
    EXPECT_EQ(packet(cmdData, varHeader(0, "A", 1)).variableName(), "");
}

class LinkReceiveFailures : public LinkFixture {
protected:
    // One variable sent whole; what the PC answered to the EOT.
    std::vector<uint8_t> sendOneVariable() {
        calc.sendBytes(calcPacket(cmdVar, varHeader(0, "A", 100)));
        calc.receiveAll();
        calc.sendBytes(calcPacket(cmdData, bytesOf(100, 1)));
        calc.receiveAll();
        calc.sendBytes(calcPacket(cmdEot));
        return calc.receiveAll();
    }
    // The one prompt of the transfer: cannot open, an error box, with this reason.
    void expectCannotWrite(const std::string& reason) {
        ASSERT_EQ(host.filePrompts().size(), 1u);
        EXPECT_EQ(host.filePrompts()[0].kind, FilePrompt::cannotOpen);
        EXPECT_EQ(host.filePrompts()[0].fileName, host.saveName);
        EXPECT_EQ(host.filePrompts()[0].reason, reason);
        EXPECT_TRUE(engineAtRest());
    }
};

TEST_F(LinkReceiveFailures, MissingFolderSaysWhy) {
    host.saveName = (dir / "missing" / "x.85g").string();
    EXPECT_EQ(sendOneVariable(), eot);
    expectCannotWrite(errorText(ENOENT));
}

TEST_F(LinkReceiveFailures, FailedWriteReachesTheWindowAndKeepsTheOldFile) {
    writeBytes(host.saveName, {'o', 'l', 'd'});
    {
        FileSizeLimit quota(64);  // the new file is larger
        EXPECT_EQ(sendOneVariable(), eot);
    }
    ASSERT_EQ(host.filePrompts().size(), 2u);
    EXPECT_EQ(host.filePrompts()[0].kind, FilePrompt::overwrite);
    EXPECT_EQ(host.filePrompts()[1].kind, FilePrompt::cannotOpen);
    EXPECT_EQ(host.filePrompts()[1].reason, errorText(EFBIG));
    EXPECT_EQ(readBytes(host.saveName), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(filesIn(), 1u);
    EXPECT_TRUE(engineAtRest());
}

TEST_F(LinkReceiveFailures, LoopOfLinksIsRefusedWithoutAskingAndKept) {
    std::filesystem::create_symlink("loop-b.85g", dir / "loop-a.85g");
    std::filesystem::create_symlink("loop-a.85g", dir / "loop-b.85g");
    host.saveName = (dir / "loop-a.85g").string();
    EXPECT_EQ(sendOneVariable(), eot);
    expectCannotWrite(errorText(ELOOP));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "loop-a.85g"));
}

TEST_F(LinkReceiveFailures, LongNamesAreTakenWhole) {
    // Far beyond 259 characters, in folders of legal length.
    const auto folder = dir / std::string(200, 'f') / std::string(200, 'g');
    std::filesystem::create_directories(folder);
    host.saveName = (folder / (std::string(100, 'n') + ".85g")).string();
    EXPECT_EQ(sendOneVariable(), ack);
    EXPECT_TRUE(host.filePrompts().empty());
    EXPECT_EQ(readBytes(host.saveName).size(), 55u + 2 + 5 + 2 + 100 + 2);
}

}  // namespace
}  // namespace vantrel::test
