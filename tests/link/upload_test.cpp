// Uploads: the file's packets on the wire, following the calculator's answers.
#include <sys/stat.h>

#include "link/link_fixture.h"
#include "machine/bus.h"

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
    std::string fileWith(const std::vector<std::vector<uint8_t>>& entries,
                         const char* name = "up.85g") {
        const auto path = (dir / name).string();
        writeBytes(path, variableFile(entries));
        return path;
    }
    void upload(const std::string& path) {
        showWaiting();
        startUpload(path);
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
    EXPECT_TRUE(m->link.busy());
    EXPECT_EQ(calc.receiveAll(), pcPacket(cmdVar, h1));
    calc.sendBytes(calcPacket(cmdAck));
    EXPECT_TRUE(calc.pcSilent());
    calc.sendBytes(calcPacket(cmdCts));
    EXPECT_EQ(calc.receiveAll(), concat({ack, pcPacket(cmdData, d1)}));
    calc.sendBytes(calcPacket(cmdAck));
    EXPECT_EQ(calc.receiveAll(), eot);
    EXPECT_EQ(m->link.state(), LinkState::TxEot);
    calc.sendBytes(calcPacket(cmdAck));
    EXPECT_TRUE(engineAtRest());
    EXPECT_TRUE(calc.pcSilent());
    EXPECT_TRUE(calc.faults().empty()) << calc.faults().front();
    EXPECT_TRUE(front.filePrompts().empty());
    EXPECT_FALSE(m->link.busy());
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
    EXPECT_EQ(m->link.state(), LinkState::TxBackupHeader);
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
    startUpload(path);
    EXPECT_EQ(front.linkHints(), std::vector<LinkHint>{LinkHint::notWaiting});
    EXPECT_EQ(m->link.state(), LinkState::RxHeader);
    EXPECT_EQ(LinkEngineProbe(m->link).variables.count(), 1);
    EXPECT_EQ(LinkEngineProbe(m->link).variables.fileName, host.saveName);
    EXPECT_EQ(LinkEngineProbe(m->link).receiveMode, 1u);
    EXPECT_TRUE(calc.pcSilent());

    // " Waiting" in RAM is not enough while the calculator is off.
    showWaiting();
    m->mem.state.port3Value = 0;
    startUpload(path);
    EXPECT_EQ(front.linkHints().size(), 2u);
    EXPECT_EQ(LinkEngineProbe(m->link).receiveMode, 1u);
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
    ASSERT_EQ(front.filePrompts().size(), 1u);
    EXPECT_EQ(front.filePrompts()[0].kind, FilePrompt::cannotOpen);
    EXPECT_EQ(calc.receiveAll(), eot);
    EXPECT_TRUE(engineAtRest());

    auto bad = variableFile({h1, d1});
    bad[8] = 0x1B;
    writeBytes(dir / "bad.85g", bad);
    upload((dir / "bad.85g").string());
    ASSERT_EQ(front.filePrompts().size(), 2u);
    EXPECT_EQ(front.filePrompts()[1].kind, FilePrompt::badData);
    EXPECT_EQ(calc.receiveAll(), eot);
    EXPECT_TRUE(engineAtRest());

    // No whole variable, or one cut short: bad data, said why, and nothing but EOT.
    for (const auto& entries :
         {std::vector<std::vector<uint8_t>>{h1}, std::vector<std::vector<uint8_t>>{h1, d1, h2}}) {
        const std::size_t before = front.filePrompts().size();
        upload(fileWith(entries));
        ASSERT_EQ(front.filePrompts().size(), before + 1);
        EXPECT_EQ(front.filePrompts().back().kind, FilePrompt::badData);
        EXPECT_NE(front.filePrompts().back().reason, "");
        EXPECT_EQ(calc.receiveAll(), eot);
        EXPECT_TRUE(engineAtRest());
    }
    auto cut = variableFile({h1, d1, h2, d2});
    cut.resize(cut.size() - 5);  // inside the last data entry
    writeBytes(dir / "cut.85g", cut);
    upload((dir / "cut.85g").string());
    EXPECT_EQ(front.filePrompts().back().reason,
              "It ends inside a variable: it was cut short, or is damaged.");
    EXPECT_EQ(calc.receiveAll(), eot);
}

// A checksum that does not agree: the file goes only when the person says so.
TEST_F(LinkUploadTest, DamagedFileIsSentOnlyWhenConfirmed) {
    auto damaged = variableFile({h1, d1});
    damaged[55 + 2 + h1.size() + 2] ^= 0x40;  // a data byte, the checksum left as it was
    writeBytes(dir / "damaged.85g", damaged);
    upload((dir / "damaged.85g").string());
    ASSERT_EQ(front.filePrompts().size(), 1u);
    EXPECT_EQ(front.filePrompts()[0].kind, FilePrompt::damaged);
    EXPECT_EQ(calc.receiveAll(), eot);
    EXPECT_TRUE(engineAtRest());

    front.damagedAnswer = true;
    upload((dir / "damaged.85g").string());
    EXPECT_EQ(front.filePrompts().size(), 2u);
    EXPECT_EQ(calc.receiveAll(), pcPacket(cmdVar, h1));
}

TEST_F(LinkUploadTest, FilesThatCannotBeReadAreToldWithoutBlocking) {
    const auto fifo = dir / "pipe.85g";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const auto& path : {dir / "absent.85g", dir, fifo}) {
        upload(path.string());
        EXPECT_EQ(calc.receiveAll(), eot);
    }
    const auto prompts = front.filePrompts();
    ASSERT_EQ(prompts.size(), 3u);
    for (const auto& p : prompts) EXPECT_EQ(p.kind, FilePrompt::cannotOpen);
    EXPECT_EQ(prompts[0].reason, "No such file or directory");
    EXPECT_EQ(prompts[1].reason, "Is a directory");

    // A crafted 64 MB file is bad data, refused before it is read.
    const auto huge = dir / "huge.85g";
    writeBytes(huge, variableFile({h1, d1}));
    std::filesystem::resize_file(huge, 64u << 20);
    upload(huge.string());
    EXPECT_EQ(front.filePrompts().back().kind, FilePrompt::badData);
    EXPECT_EQ(calc.receiveAll(), eot);
}

TEST_F(LinkUploadTest, AcknowledgedEotOfAFailedUploadLeavesTheLinkIdle) {
    // The calculator acknowledges the EOT after the engine has already reset; the
    // window's flag must not stay set, or the timer would interrupt for ever.
    upload((dir / "absent.85g").string());
    EXPECT_EQ(calc.receiveAll(), eot);
    calc.sendBytes(calcPacket(cmdAck));
    EXPECT_TRUE(calc.pcSilent());
    EXPECT_TRUE(engineAtRest());
    EXPECT_FALSE(m->link.busy());
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

TEST_F(LinkUploadTest, ListThatEndsEarlyEndsTheUploadWithEot) {
    // Such a file is refused before it reaches the engine; the engine copes all the same.
    auto uploadEntries = [&](const std::vector<std::vector<uint8_t>>& entries) {
        VariableList list;
        decodeVariableFile(variableFile(entries), list);
        showWaiting();
        HoldGuard hold(m->control);
        m->link.startUpload(std::move(list));
    };
    // A header whose data entry is missing.
    uploadEntries({h1, d1, h2});
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
    uploadEntries({header, d1});
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
    EXPECT_EQ(host.linkAborts(), 1);
}

}  // namespace
}  // namespace vantrel::test
