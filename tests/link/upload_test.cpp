// Uploads: the file's packets on the wire, following the calculator's answers.
#include "hardware/ports.h"
#include "link/link_fixture.h"

namespace vantrel::test {
namespace {

const std::vector<uint8_t> ack = pcPacket(cmdAck);
const std::vector<uint8_t> eot = pcPacket(cmdEot);

std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

class LinkUploadTest : public LinkFixture {
protected:
    std::string fileWith(const std::vector<std::vector<uint8_t>>& entries, const char* name = "up.85g") {
        const auto path = (dir / name).string();
        writeBytes(path, variableFile(entries));
        return path;
    }
    void upload(const std::string& path) {
        showWaiting();
        m->link.startUpload(*m, path);
    }

    const std::vector<uint8_t> h1 = varHeader(0x00, "A", 10);
    const std::vector<uint8_t> d1 = bytesOf(10, 1);
    const std::vector<uint8_t> h2 = varHeader(0x0C, "STR", 4);
    const std::vector<uint8_t> d2 = bytesOf(4, 0x61);
    const std::vector<uint8_t> h3 = varHeader(0x12, "PRG", 6);
    const std::vector<uint8_t> d3 = bytesOf(6, 0xF0);
};

TEST_F(LinkUploadTest, OneVariableFollowsTheCalculatorsAnswers) {
    upload(fileWith({h1, d1}));
    EXPECT_EQ(host.linkActivePosts(), std::vector<uint32_t>{1});
    EXPECT_EQ(calc.receiveAll(), pcPacket(cmdVar, h1));
    calc.sendBytes(calcPacket(cmdAck));
    EXPECT_TRUE(calc.pcSilent());
    calc.sendBytes(calcPacket(cmdCts));
    EXPECT_EQ(calc.receiveAll(), concat({ack, pcPacket(cmdData, d1)}));
    calc.sendBytes(calcPacket(cmdAck));
    EXPECT_EQ(calc.receiveAll(), eot);
    EXPECT_EQ(m->link.state, LinkState::TxEot);
    calc.sendBytes(calcPacket(cmdAck));
    EXPECT_TRUE(engineAtRest());
    EXPECT_TRUE(calc.pcSilent());
    EXPECT_TRUE(calc.faults().empty()) << calc.faults().front();
    EXPECT_TRUE(host.filePrompts().empty());
    EXPECT_EQ(host.linkActivePosts().back(), 0u);
}

TEST_F(LinkUploadTest, SkippedVariableIsPassedOverInAGroup) {
    upload(fileWith({h1, d1, h2, d2, h3, d3}));
    EXPECT_EQ(calc.receiveAll(), pcPacket(cmdVar, h1));
    calc.sendBytes(calcPacket(cmdAck));
    calc.sendBytes(calcPacket(cmdCts));
    EXPECT_EQ(calc.receiveAll(), concat({ack, pcPacket(cmdData, d1)}));
    calc.sendBytes(calcPacket(cmdAck));
    EXPECT_EQ(calc.receiveAll(), pcPacket(cmdVar, h2));
    calc.sendBytes(calcPacket(cmdSkip, {2}));
    EXPECT_EQ(calc.receiveAll(), concat({ack, pcPacket(cmdVar, h3)}));
    calc.sendBytes(calcPacket(cmdAck));
    calc.sendBytes(calcPacket(cmdCts));
    EXPECT_EQ(calc.receiveAll(), concat({ack, pcPacket(cmdData, d3)}));
    calc.sendBytes(calcPacket(cmdAck));
    EXPECT_EQ(calc.receiveAll(), eot);
    calc.sendBytes(calcPacket(cmdAck));
    EXPECT_TRUE(engineAtRest());
}

TEST_F(LinkUploadTest, SkippingTheLastVariableEndsWithEot) {
    upload(fileWith({h1, d1, h2, d2}));
    calc.receiveAll();
    calc.sendBytes(calcPacket(cmdAck));
    calc.sendBytes(calcPacket(cmdCts));
    calc.receiveAll();
    calc.sendBytes(calcPacket(cmdAck));
    EXPECT_EQ(calc.receiveAll(), pcPacket(cmdVar, h2));
    calc.sendBytes(calcPacket(cmdSkip, {2}));
    EXPECT_EQ(calc.receiveAll(), concat({ack, eot}));
    EXPECT_TRUE(engineAtRest());
}

TEST_F(LinkUploadTest, BackupGoesAsThreePartsAndEndsOnTheLastAcknowledgement) {
    const auto header = varHeader(backupTypeId, "", 0);
    const auto p1 = bytesOf(500, 2), p2 = bytesOf(30, 5), p3 = bytesOf(2, 8);
    upload(fileWith({header, p1, p2, p3}));
    EXPECT_EQ(m->link.state, LinkState::TxBackupHeader);
    EXPECT_EQ(calc.receiveAll(), pcPacket(cmdVar, header));
    calc.sendBytes(calcPacket(cmdAck));
    calc.sendBytes(calcPacket(cmdCts));
    EXPECT_EQ(calc.receiveAll(), concat({ack, pcPacket(cmdData, p1)}));
    calc.sendBytes(calcPacket(cmdAck));
    EXPECT_EQ(calc.receiveAll(), pcPacket(cmdData, p2));
    calc.sendBytes(calcPacket(cmdAck));
    EXPECT_EQ(calc.receiveAll(), pcPacket(cmdData, p3));
    calc.sendBytes(calcPacket(cmdAck));
    EXPECT_TRUE(engineAtRest());
    EXPECT_TRUE(calc.pcSilent());
}

TEST_F(LinkUploadTest, CalculatorNotWaitingOnlyGetsTheHint) {
    const auto path = fileWith({h1, d1});
    // A receive under way stays exactly as it was.
    calc.sendBytes(calcPacket(cmdVar, varHeader(0, "R", 10)));
    calc.receiveAll();
    m->link.startUpload(*m, path);
    EXPECT_EQ(host.uploadHints(), std::vector<int>{hintNotWaiting});
    EXPECT_EQ(m->link.state, LinkState::RxHeader);
    EXPECT_EQ(m->link.variables.count(), 1);
    EXPECT_EQ(m->link.variables.fileName, host.saveName);
    EXPECT_EQ(m->link.receiveMode, 1u);
    EXPECT_TRUE(calc.pcSilent());

    // " Waiting" in RAM is not enough while the calculator is off.
    showWaiting();
    m->mem.state.port3Value = 0;
    m->link.startUpload(*m, path);
    EXPECT_EQ(host.uploadHints().size(), 2u);
    EXPECT_EQ(m->link.receiveMode, 1u);
}

TEST_F(LinkUploadTest, ReceivedFileUploadsTheSameDataPackets) {
    const auto first = varHeader(0x00, "A", 10);
    const auto second = varHeader(0x0C, "S", 3);
    const auto dataA = bytesOf(10, 0x33), dataB = bytesOf(3, 0x90);
    for (const auto& [header, data] : {std::pair{first, dataA}, std::pair{second, dataB}}) {
        calc.sendBytes(calcPacket(cmdVar, header));
        calc.receiveAll();
        calc.sendBytes(calcPacket(cmdAck));
        calc.sendBytes(calcPacket(cmdData, data));
        calc.receiveAll();
    }
    calc.sendBytes(calcPacket(cmdEot));
    calc.receiveAll();
    ASSERT_TRUE(engineAtRest());

    upload(host.saveName);
    EXPECT_EQ(calc.receiveAll(), pcPacket(cmdVar, first));
    calc.sendBytes(calcPacket(cmdCts));
    EXPECT_EQ(calc.receiveAll(), concat({ack, pcPacket(cmdData, dataA)}));
    calc.sendBytes(calcPacket(cmdAck));
    EXPECT_EQ(calc.receiveAll(), pcPacket(cmdVar, second));
    calc.sendBytes(calcPacket(cmdCts));
    EXPECT_EQ(calc.receiveAll(), concat({ack, pcPacket(cmdData, dataB)}));
    EXPECT_TRUE(calc.faults().empty());
}

TEST_F(LinkUploadTest, FilesThatCannotBeSentEndWithEot) {
    upload((dir / "absent.85g").string());
    ASSERT_EQ(host.filePrompts().size(), 1u);
    EXPECT_EQ(host.filePrompts()[0].kind, promptCannotOpen);
    EXPECT_TRUE(host.filePrompts()[0].isError);
    EXPECT_EQ(calc.receiveAll(), eot);
    EXPECT_TRUE(engineAtRest());

    auto bad = variableFile({h1, d1});
    bad[8] = 0x1B;
    writeBytes(dir / "bad.85g", bad);
    upload((dir / "bad.85g").string());
    ASSERT_EQ(host.filePrompts().size(), 2u);
    EXPECT_EQ(host.filePrompts()[1].kind, promptBadData);
    EXPECT_EQ(calc.receiveAll(), eot);
    EXPECT_TRUE(engineAtRest());

    // A good signature with a single entry: no message, nothing but EOT.
    upload(fileWith({h1}));
    EXPECT_EQ(host.filePrompts().size(), 2u);
    EXPECT_EQ(calc.receiveAll(), eot);
    EXPECT_TRUE(engineAtRest());
}

TEST_F(LinkUploadTest, AcknowledgedEotOfAFailedUploadLeavesTheLinkIdle) {
    // The calculator acknowledges the EOT after the engine has already reset; the
    // window's flag must not stay set, or the timer would interrupt for ever.
    upload((dir / "absent.85g").string());
    EXPECT_EQ(calc.receiveAll(), eot);
    calc.sendBytes(calcPacket(cmdAck));
    EXPECT_TRUE(calc.pcSilent());
    EXPECT_TRUE(engineAtRest());
    EXPECT_EQ(host.linkActivePosts().back(), 0u);
}

TEST_F(LinkUploadTest, AnswersTheUploadCannotFollowEndItWithEot) {
    struct Case {
        const char* what;
        std::vector<uint8_t> answer;
    };
    const std::vector<Case> afterHeader{
        {"exit", calcPacket(cmdSkip, {1})},
        {"out of memory", calcPacket(cmdSkip, {3})},
        {"skip without a reason", calcPacket(cmdSkip)},
        {"error", calcPacket(cmdErr)},
        {"a header", calcPacket(cmdVar, h2)},
    };
    for (const auto& c : afterHeader) {
        upload(fileWith({h1, d1, h2, d2}));
        calc.receiveAll();
        calc.sendBytes(c.answer);
        EXPECT_EQ(calc.receiveAll(), eot) << c.what;
        EXPECT_TRUE(engineAtRest()) << c.what;
    }
    // A skip after the data was sent.
    upload(fileWith({h1, d1, h2, d2}));
    calc.receiveAll();
    calc.sendBytes(calcPacket(cmdCts));
    calc.receiveAll();
    calc.sendBytes(calcPacket(cmdSkip, {2}));
    EXPECT_EQ(calc.receiveAll(), eot);
    EXPECT_TRUE(engineAtRest());
    // A skip of a backup header.
    upload(fileWith({varHeader(backupTypeId, "", 0), d1, d2, d3}));
    calc.receiveAll();
    calc.sendBytes(calcPacket(cmdSkip, {2}));
    EXPECT_EQ(calc.receiveAll(), eot);
    EXPECT_TRUE(engineAtRest());
    EXPECT_TRUE(calc.faults().empty());
}

TEST_F(LinkUploadTest, FileThatEndsEarlyEndsTheUploadWithEot) {
    // A header whose data entry is missing.
    upload(fileWith({h1, d1, h2}));
    calc.receiveAll();
    calc.sendBytes(calcPacket(cmdCts));
    calc.receiveAll();
    calc.sendBytes(calcPacket(cmdAck));
    EXPECT_EQ(calc.receiveAll(), pcPacket(cmdVar, h2));
    calc.sendBytes(calcPacket(cmdCts));
    EXPECT_EQ(calc.receiveAll(), concat({ack, eot}));
    EXPECT_TRUE(engineAtRest());

    // A backup with one part of three.
    const auto header = varHeader(backupTypeId, "", 0);
    upload(fileWith({header, d1}));
    calc.receiveAll();
    calc.sendBytes(calcPacket(cmdCts));
    EXPECT_EQ(calc.receiveAll(), concat({ack, pcPacket(cmdData, d1)}));
    calc.sendBytes(calcPacket(cmdAck));
    EXPECT_EQ(calc.receiveAll(), eot);
    EXPECT_TRUE(engineAtRest());
}

TEST_F(LinkUploadTest, NewUploadDropsWhatAnAbandonedOneLeft) {
    upload(fileWith({h1, d1, h2, d2}, "first.85g"));
    calc.receiveAll();  // the calculator never answers, and leaves its receive screen
    upload(fileWith({h3, d3}, "second.85g"));
    EXPECT_EQ(calc.receiveAll(), pcPacket(cmdVar, h3));
    calc.sendBytes(calcPacket(cmdCts));
    EXPECT_EQ(calc.receiveAll(), concat({ack, pcPacket(cmdData, d3)}));
    calc.sendBytes(calcPacket(cmdAck));
    EXPECT_EQ(calc.receiveAll(), eot);
}

TEST_F(LinkUploadTest, AbortDuringAnUploadResetsAtOnce) {
    upload(fileWith({h1, d1}));
    calc.receiveBit();
    calc.receiveBit();
    portWrite(*m, 7, 0xFC);
    EXPECT_TRUE(engineAtRest());
    EXPECT_TRUE(calc.pcSilent());
    EXPECT_EQ(host.uploadHints(), std::vector<int>{hintAbortBeep});
}

}  // namespace
}  // namespace vantrel::test
