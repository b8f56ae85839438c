// Variables through the link cable between the link engine and the demo firmware,
// with the emulation thread running and the timer ticking.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "e2e/running_calculator.h"
#include "link/variable_file.h"
#include "session/link/receive_screen.h"
#include "session/link/upload.h"
#include "support/variable_file_builder.h"

namespace vantrel::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes variableHeader(uint16_t dataSize, uint8_t type, const std::string& name) {
    Bytes header;
    header.push_back(static_cast<uint8_t>(dataSize & 0xFF));
    header.push_back(static_cast<uint8_t>(dataSize >> 8));
    header.push_back(type);
    header.push_back(static_cast<uint8_t>(name.size()));
    for (char c : name) header.push_back(static_cast<uint8_t>(c));
    return header;
}

Bytes readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FirmwareLink : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("vantrel-e2e-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        ASSERT_TRUE(calc.settle());
    }
    void TearDown() override {
        calc.stop();
        std::filesystem::remove_all(dir);
    }

    // The Upload command with automatic linking: it types [2nd] [LINK] [F2] by key
    // injection, then the chosen file goes out once the calculator waits for it.
    void upload(const std::filesystem::path& file) {
        const int before = calc.front.openDialogs();
        calc.front.uploadFile = file.string();
        calc.calculator.upload(true);
        EXPECT_EQ(calc.front.openDialogs(), before + 1);
    }

    bool transferOver(int statusRow, const std::string& status) {
        return calc.tickUntil([&](const Machine& m) {
            return trimmedRow(m, statusRow) == status && !m.link.busy() &&
                   m.control.pendingCode() == code(EmuRequest::Pause);
        });
    }

    RunningCalculator calc;
    std::filesystem::path dir;
};

TEST_F(FirmwareLink, AnUploadedGroupComesBackByteForByte) {
    const Bytes real{0x00, 0x00, 0x81, 0x42, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    const Bytes text{0x05, 0x00, 'H', 'e', 'l', 'l', 'o'};
    const std::vector<Bytes> entries{variableHeader(10, 0x00, "A"), real,
                                     variableHeader(7, 0x0C, "MSG"), text};
    const auto source = dir / "group.85g";
    {
        const Bytes file = variableFile(entries);
        std::ofstream(source, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()),
                   static_cast<std::streamsize>(file.size()));
    }

    upload(source);
    ASSERT_TRUE(transferOver(1, "DONE")) << calc.row(1);
    EXPECT_EQ(calc.row(0), " Waiting");
    EXPECT_EQ(calc.row(2), "A");
    EXPECT_EQ(calc.row(3), "MSG");
    EXPECT_TRUE(calc.front.linkHints().empty());
    EXPECT_TRUE(calc.read([](const Machine& m) { return screenShowsWaiting(m); }));

    // Leaving the receive screen takes " Waiting" off the text screen.
    calc.click(key::exit);
    EXPECT_EQ(calc.row(0), "LINK");
    EXPECT_FALSE(calc.read([](const Machine& m) { return screenShowsWaiting(m); }));

    const auto target = dir / "back.85g";
    calc.front.saveName = target.string();
    calc.click(key::f1);
    ASSERT_TRUE(transferOver(6, "DONE")) << calc.row(6);
    EXPECT_TRUE(std::filesystem::exists(target));

    const Bytes sent = variableFile(entries);
    const Bytes received = readFile(target);
    ASSERT_EQ(received.size(), sent.size());
    EXPECT_TRUE(std::equal(sent.begin(), sent.begin() + 11, received.begin()));
    EXPECT_TRUE(std::equal(sent.begin() + 53, sent.end(), received.begin() + 53));
}

TEST_F(FirmwareLink, ARefusedSaveNameCancelsTheSendAndLeavesTheCableQuiet) {
    const auto source = dir / "one.85n";
    {
        const Bytes file = variableFile({variableHeader(10, 0x00, "X"), Bytes(10, 0x11)});
        std::ofstream(source, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()),
                   static_cast<std::streamsize>(file.size()));
    }
    upload(source);
    ASSERT_TRUE(transferOver(1, "DONE"));
    calc.click(key::exit);

    calc.front.saveName.reset();
    calc.click(key::f1);
    ASSERT_TRUE(transferOver(6, "CANCELLED")) << calc.row(6);
    // The firmware went back to sleep: no acknowledgement of the closing EOT keeps
    // the link marked active.
    for (int i = 0; i < 5; ++i) calc.tick();
    EXPECT_FALSE(calc.calculator.linkBusy());
    EXPECT_TRUE(calc.asleep());

    // The menu still works: a second try is written.
    calc.front.saveName = (dir / "again.85n").string();
    calc.click(key::f1);
    ASSERT_TRUE(transferOver(6, "DONE")) << calc.row(6);
    EXPECT_TRUE(std::filesystem::exists(dir / "again.85n"));
}

TEST_F(FirmwareLink, AVariableUploadedAgainReplacesTheStoredOne) {
    const auto writeFile = [](const std::filesystem::path& path,
                              const std::vector<Bytes>& entries) {
        const Bytes file = variableFile(entries);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()),
                   static_cast<std::streamsize>(file.size()));
    };
    const Bytes msg{0x02, 0x00, 'h', 'i'};
    writeFile(dir / "first.85g", {variableHeader(10, 0x00, "A"), Bytes(10, 0x01),
                                  variableHeader(4, 0x0C, "MSG"), msg});
    upload(dir / "first.85g");
    ASSERT_TRUE(transferOver(1, "DONE"));
    const Bytes newer(10, 0x09);
    writeFile(dir / "again.85n", {variableHeader(10, 0x00, "A"), newer});
    upload(dir / "again.85n");
    ASSERT_TRUE(transferOver(1, "DONE"));
    EXPECT_EQ(calc.row(2), "MSG");
    EXPECT_EQ(calc.row(3), "A");
    EXPECT_EQ(calc.row(4), "");

    calc.click(key::exit);
    const auto target = dir / "back.85g";
    calc.front.saveName = target.string();
    calc.click(key::f1);
    ASSERT_TRUE(transferOver(6, "DONE")) << calc.row(6);
    const Bytes expected =
        variableFile({variableHeader(4, 0x0C, "MSG"), msg, variableHeader(10, 0x00, "A"), newer});
    const Bytes received = readFile(target);
    ASSERT_EQ(received.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin() + 53, expected.end(), received.begin() + 53));
}

TEST_F(FirmwareLink, WhatDoesNotFitIsSkippedAndTheRestKept) {
    const auto writeFile = [](const std::filesystem::path& path,
                              const std::vector<Bytes>& entries) {
        const Bytes file = variableFile(entries);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()),
                   static_cast<std::streamsize>(file.size()));
    };
    // More data than the store holds, then a variable that fits.
    const auto group = dir / "big.85g";
    writeFile(group, {variableHeader(30000, 0x0C, "BIG"), Bytes(30000, 0x55),
                      variableHeader(10, 0x00, "B"), Bytes(10, 0x22)});
    upload(group);
    ASSERT_TRUE(transferOver(1, "SKIPPED SOME")) << calc.row(1);
    EXPECT_EQ(calc.row(2), "B");
    EXPECT_EQ(calc.row(3), "");

    // A memory backup is refused as a whole; the store keeps what it had.
    const auto backup = dir / "backup.85b";
    writeFile(backup, {Bytes{0x09, 0x00, 0x1D, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, Bytes(9, 1),
                       Bytes(4, 2), Bytes(4, 3)});
    upload(backup);
    ASSERT_TRUE(transferOver(1, "SKIPPED SOME")) << calc.row(1);
    EXPECT_EQ(calc.row(2), "B");
    EXPECT_EQ(calc.row(3), "");
    for (int i = 0; i < 3; ++i) calc.tick();
    EXPECT_FALSE(calc.calculator.linkBusy());
    EXPECT_TRUE(calc.asleep());
}

}  // namespace
}  // namespace vantrel::test
