#include "headless/session.h"

#include <gtest/gtest.h>

#include <cstring>

#include "hardware/rom_state.h"
#include "support/temp_dir.h"

namespace vantrel::headless {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

std::vector<uint8_t> passingRom() {
    std::vector<uint8_t> rom(romSize);
    std::memcpy(rom.data() + 0x328A, "10.0", 4);
    rom[0x0158] = 0x46;
    rom[0x0141] = 0x05;
    rom[0x0149] = 0x0E;
    rom[0x0000] = 0x18;  // JR -2: spins at 0 once the processor runs it
    rom[0x0001] = 0xFE;
    return rom;
}

TEST(HeadlessSessionTest, UnusableRomNeverRunsNorSaves) {
    TempDir dir;
    Session missing(dir / "none.bin", dir / "state.bin");
    EXPECT_EQ(missing.load(true), romUnreadable);
    EXPECT_FALSE(missing.usable());
    EXPECT_FALSE(missing.run(std::chrono::milliseconds(10)).stopped);
    EXPECT_FALSE(missing.save());

    auto rom = passingRom();
    rom[0x0141] = 0;
    writeBytes(dir / "old.bin", rom);
    Session wrong(dir / "old.bin", dir / "state.bin");
    EXPECT_EQ(wrong.load(true), romWrongVersion);
    EXPECT_FALSE(wrong.usable());
    Session allowed(dir / "old.bin", dir / "state.bin");
    EXPECT_EQ(allowed.load(false), romWrongVersion);
    EXPECT_TRUE(allowed.usable());
    EXPECT_FALSE(std::filesystem::exists(dir / "state.bin"));
}

TEST(HeadlessSessionThreadTest, RunStopsThreadAndSavesFullState) {
    TempDir dir;
    writeBytes(dir / "rom.bin", passingRom());
    Session session(dir / "rom.bin", dir / "state.bin");
    ASSERT_EQ(session.load(true), romLoaded);
    EXPECT_EQ(session.machine().regs.sp, 0xF000);  // cold start: no state file

    const RunResult run = session.run(std::chrono::milliseconds(200));
    ASSERT_TRUE(run.stopped);
    EXPECT_TRUE(run.exitCode == 2 || run.exitCode == 5) << run.exitCode;
    EXPECT_EQ(run.bank, 1);
    EXPECT_TRUE(run.calculatorOn);

    ASSERT_TRUE(session.save());
    const auto file = readBytes(dir / "state.bin");
    ASSERT_EQ(file.size(), stateFileSize);
    EXPECT_EQ(file[0x8000 + 12] | file[0x8000 + 13] << 8, run.pc);
    EXPECT_EQ(file[0x801F], 0x0B);

    // The next session picks the saved state up.
    Session again(dir / "rom.bin", dir / "state.bin");
    ASSERT_EQ(again.load(true), romLoaded);
    EXPECT_EQ(again.machine().regs.pc, run.pc);
    EXPECT_EQ(again.machine().regs.sp, run.sp);
}

TEST(HeadlessHostTest, ReceiveNamesFollowWhatIsSentAndFailedWritesAreKept) {
    auto m = std::make_unique<Machine>();
    HeadlessHost host(*m);
    host.out = nullptr;
    host.receivePath = "/data/v1.2/back";
    std::string name;
    ASSERT_TRUE(host.askSaveName(name, true));
    EXPECT_EQ(name, "/data/v1.2/back.85b");
    ASSERT_TRUE(host.askSaveName(name, false));
    EXPECT_EQ(name, "/data/v1.2/back.85g");

    host.filePrompt(promptCannotOpen, true, "/data/v1.2/back.85g", "No space left on device");
    EXPECT_EQ(host.messages().back(), "Can't open file /data/v1.2/back.85g. No space left on device.");
    EXPECT_EQ(host.failedWrites(), std::vector<std::string>{"/data/v1.2/back.85g (No space left on device)"});
    EXPECT_EQ(host.writtenNames(), std::vector<std::string>{"/data/v1.2/back.85b"});
}

}  // namespace
}  // namespace vantrel::headless
