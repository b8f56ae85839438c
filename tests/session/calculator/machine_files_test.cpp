#include "session/calculator/machine_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "machine/bus.h"
#include "machine/emulation_thread.h"
#include "machine/hardware_state.h"
#include "machine/machine.h"
#include "session/calculator/messages.h"
#include "support/temp_dir.h"
#include "support/test_machine.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

// A ROM image that passes the version test; every other byte is a pattern that
// shows where it came from.
std::vector<uint8_t> makeRom(std::size_t size = romSize) {
    std::vector<uint8_t> rom(size);
    for (std::size_t i = 0; i < size; ++i) rom[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    if (size >= romSize) {
        std::memcpy(rom.data() + 0x328A, "10.0", 4);
        rom[0x0158] = 0x46;
        rom[0x0141] = 0x05;
        rom[0x0149] = 0x0E;
    }
    return rom;
}

// Every byte of a state file set, so that a lost or shifted field shows.
std::vector<uint8_t> makeStateFile(uint8_t bank = 3) {
    std::vector<uint8_t> file(stateFileSize);
    for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<uint8_t>(i * 13 + 5);
    file[0x801D] = bank;
    return file;
}

// The offsets whose content the patches set, and what they become.
const std::vector<std::pair<uint32_t, uint8_t>> patched = {
    {0x0158, 0x01},  {0x0149, 0x01},  {0x0141, 0x39},  {0x3FFF, 0xFF},
    {0x7FFF, 0xFF},  {0xBFFF, 0xFF},  {0xFFFF, 0xFF},  {0x13FFF, 0xFF},
    {0x17FFF, 0xFF}, {0x1BFFF, 0xFF}, {0x1FFFF, 0x35},
};

std::vector<uint8_t> expectPatched(std::vector<uint8_t> rom) {
    rom.resize(romSize);
    for (auto [offset, value] : patched) rom[offset] = value;
    return rom;
}

std::vector<uint8_t> romOf(const Machine& m) { return {m.mem.rom.begin(), m.mem.rom.end()}; }

TEST(RomImageTest, PassingRomLoadsAndIsPatched) {
    TempDir dir;
    const auto rom = makeRom();
    writeBytes(dir / "TI85Rom.bin", rom);
    auto m = test::makeMachine();
    EXPECT_EQ(loadRomImage(*m, dir / "TI85Rom.bin").outcome, RomLoad::loaded);
    EXPECT_EQ(romOf(*m), expectPatched(rom));
    EXPECT_EQ(m->mem.rom[0x0158], 0x01);
    EXPECT_EQ(m->mem.rom[0x0141], 0x39);
    EXPECT_EQ(m->mem.rom[0x0149], 0x01);

    // Seen from the processor: the last byte of page 0, and of the bank window.
    EXPECT_EQ(readByte(*m, 0x3FFF), 0xFF);
    for (uint8_t bank = 1; bank <= 6; ++bank) {
        m->mem.state.romBank = bank;
        EXPECT_EQ(readByte(*m, 0x7FFF), 0xFF) << "bank " << int(bank);
    }
    m->mem.state.romBank = 7;
    EXPECT_EQ(readByte(*m, 0x7FFF), 0x35);
}

TEST(RomImageTest, EachFailedVersionMarkGivesWrongVersionButSamePatches) {
    TempDir dir;
    struct Spoil {
        uint32_t offset;
        uint8_t value;
    };
    for (Spoil spoil : {Spoil{0x328A, '9'}, Spoil{0x328D, '1'}, Spoil{0x0158, 0x47},
                        Spoil{0x0141, 0x06}, Spoil{0x0149, 0x00}}) {
        auto rom = makeRom();
        rom[spoil.offset] = spoil.value;
        writeBytes(dir / "rom.bin", rom);
        auto m = test::makeMachine();
        EXPECT_EQ(loadRomImage(*m, dir / "rom.bin").outcome, RomLoad::wrongVersion)
            << std::hex << spoil.offset;
        EXPECT_EQ(romOf(*m), expectPatched(rom)) << std::hex << spoil.offset;
    }
}

TEST(RomImageTest, ShortOrMissingRomIsUnreadableAndUnpatched) {
    TempDir dir;
    const auto rom = makeRom();
    std::vector<uint8_t> shortRom(rom.begin(), rom.end() - 1);
    writeBytes(dir / "short.bin", shortRom);
    auto m = test::makeMachine();
    EXPECT_EQ(loadRomImage(*m, dir / "short.bin").outcome, RomLoad::tooShort);
    // The bytes that were read stay, unpatched.
    EXPECT_TRUE(std::equal(shortRom.begin(), shortRom.end(), m->mem.rom.begin()));
    EXPECT_EQ(m->mem.rom[0x0158], 0x46);

    fs::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    writeBytes(dir / "empty.bin", {});
    const std::pair<const char*, RomLoad> cases[] = {{"missing.bin", RomLoad::missing},
                                                     {"folder", RomLoad::unreadable},
                                                     {"fifo", RomLoad::unreadable},
                                                     {"empty.bin", RomLoad::tooShort}};
    for (const auto& [name, outcome] : cases) {
        auto fresh = test::makeMachine();
        const RomLoadResult result = loadRomImage(*fresh, dir / name);
        EXPECT_EQ(result.outcome, outcome) << name;
        EXPECT_FALSE(result.usable(false)) << name;
        EXPECT_EQ(fresh->mem.rom[0x3FFF], 0x00) << name;
    }
    EXPECT_EQ(loadRomImage(*m, dir / "folder").failure, Failure::system(EISDIR));
    EXPECT_EQ(loadRomImage(*m, "").outcome, RomLoad::missing);

    // What every front end says of them: the message, then the file and what is wrong.
    EXPECT_EQ(romProblemLines(loadRomImage(*m, dir / "folder"), "f"),
              "Loading romfile failed.\nf: The file cannot be read: Is a directory.");
    EXPECT_EQ(romProblemLines(loadRomImage(*m, dir / "empty.bin"), "e", " "),
              "Loading romfile failed. e: The file has 0 bytes; a TI-85 ROM image has 131072.");
}

TEST(RomImageTest, UnreadableRomFails) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads any file";
    TempDir dir;
    writeBytes(dir / "rom.bin", makeRom());
    ::chmod((dir / "rom.bin").c_str(), 0);
    auto m = test::makeMachine();
    EXPECT_EQ(loadRomImage(*m, dir / "rom.bin").outcome, RomLoad::unreadable);
}

TEST(RomImageTest, LongerRomUsesOnlyFirst128K) {
    TempDir dir;
    auto rom = makeRom(romSize + 5000);
    std::memcpy(rom.data() + 0x328A, "10.0", 4);
    rom[0x0158] = 0x46;
    rom[0x0141] = 0x05;
    rom[0x0149] = 0x0E;
    writeBytes(dir / "rom.bin", rom);
    auto m = test::makeMachine();
    EXPECT_EQ(loadRomImage(*m, dir / "rom.bin").outcome, RomLoad::loaded);
    EXPECT_EQ(romOf(*m), expectPatched(rom));
}

TEST(StateFileTest, FullFileRestoresEverythingAndSavesIdentically) {
    TempDir dir;
    const auto file = makeStateFile();
    writeBytes(dir / "TI85Stat.bin", file);
    auto m = test::makeMachine();
    m->regs.a = 0x99;  // overwritten by the file
    EXPECT_TRUE(loadStateFile(*m, dir / "TI85Stat.bin"));

    EXPECT_TRUE(std::equal(m->mem.state.ram.begin(), m->mem.state.ram.end(), file.begin()));
    CpuRegisters expected{};
    std::memcpy(&expected, file.data() + 0x8000, sizeof expected);
    EXPECT_EQ(std::memcmp(&m->regs, &expected, sizeof expected), 0);
    EXPECT_EQ(m->regs.intFlags, file[0x8018]);
    EXPECT_EQ(m->regs.i, file[0x8019]);
    EXPECT_EQ(m->mem.state.port6Value, file[0x801A]);
    EXPECT_EQ(m->mem.state.port2Value, file[0x801B]);
    EXPECT_EQ(m->mem.state.reservedStateByte, file[0x801C]);
    EXPECT_EQ(m->mem.state.romBank, 3);
    EXPECT_EQ(m->mem.state.keyGroupMask, file[0x801E]);
    EXPECT_EQ(m->mem.state.port3Value, file[0x801F]);
    // No cold start: the ROM keeps its own bytes at 0x0D01.
    EXPECT_EQ(m->mem.rom[0x0D01], 0x00);

    // The staging copy is refreshed from the live registers even when it is stale.
    m->mem.state.savedRegisters = CpuRegisters{};
    m->mem.state.savedRegisters.pc = 0xABAB;
    EXPECT_TRUE(saveStateFile(*m, dir / "again.bin"));
    EXPECT_EQ(readBytes(dir / "again.bin"), file);
}

TEST(StateFileTest, BytesRoundTripAndOtherSizesLeaveTheMachineAlone) {
    const auto file = makeStateFile();
    auto m = test::makeMachine();
    ASSERT_TRUE(decodeStateFile(*m, file).restored());
    m->mem.state.savedRegisters = CpuRegisters{};  // stale: the live registers count
    EXPECT_EQ(encodeStateFile(*m), file);

    const auto before = encodeStateFile(*m);
    for (const std::size_t size : {std::size_t{0}, stateFileSize - 1}) {
        const std::vector<uint8_t> other(size, 0x5A);
        const auto refused = decodeStateFile(*m, other);
        EXPECT_EQ(refused.outcome, StateLoad::wrongSize);
        EXPECT_EQ(refused.size, size);
        EXPECT_EQ(encodeStateFile(*m), before);
    }
}

TEST(StateFileTest, BankAboveSevenKeptAsStoredAndMaskedForReads) {
    TempDir dir;
    writeBytes(dir / "rom.bin", makeRom());
    const auto file = makeStateFile(0x0D);
    writeBytes(dir / "state.bin", file);
    auto m = test::makeMachine();
    loadRomImage(*m, dir / "rom.bin");
    loadStateFile(*m, dir / "state.bin");
    EXPECT_EQ(m->mem.state.romBank, 0x0D);
    EXPECT_EQ(readByte(*m, 0x4000), m->mem.rom[5 * romPageSize]);
    EXPECT_TRUE(saveStateFile(*m, dir / "out.bin"));
    EXPECT_EQ(readBytes(dir / "out.bin"), file);
}

TEST(StateFileTest, ShortFileColdStartsKeepingTheBytesRead) {
    TempDir dir;
    auto file = makeStateFile();
    file.pop_back();  // 32799 bytes
    writeBytes(dir / "short.bin", file);
    auto m = test::makeMachine();
    m->regs.a = 0x42;
    EXPECT_FALSE(loadStateFile(*m, dir / "short.bin"));

    EXPECT_TRUE(std::equal(m->mem.state.ram.begin(), m->mem.state.ram.end(), file.begin()));
    EXPECT_EQ(m->regs.pc, 0x0000);
    EXPECT_EQ(m->regs.sp, 0xF000);
    EXPECT_EQ(m->regs.a, 0x42);  // other registers keep what they had
    EXPECT_EQ(m->mem.state.romBank, 1);
    EXPECT_EQ(m->mem.state.port3Value, 0x0B);
    EXPECT_EQ(m->mem.state.keyGroupMask, 0x00);
    EXPECT_EQ(m->mem.state.port2Value, 0x00);
    EXPECT_EQ(m->mem.state.port6Value, 0x00);
    EXPECT_EQ(m->mem.state.reservedStateByte, 0x0F);

    // Whatever was loaded, the file written is always the full record.
    EXPECT_TRUE(saveStateFile(*m, dir / "short.bin"));
    EXPECT_EQ(readBytes(dir / "short.bin").size(), stateFileSize);
}

TEST(StateFileTest, MissingFileColdStartsAtZeroWithCallPatch) {
    TempDir dir;
    writeBytes(dir / "rom.bin", makeRom());
    auto m = test::makeMachine();
    ASSERT_EQ(loadRomImage(*m, dir / "rom.bin").outcome, RomLoad::loaded);
    EXPECT_FALSE(loadStateFile(*m, dir / "none.bin"));
    EXPECT_EQ(m->regs.pc, 0x0000);
    EXPECT_EQ(m->regs.sp, 0xF000);
    for (uint8_t byte : m->mem.state.ram) ASSERT_EQ(byte, 0);
    EXPECT_EQ(readByte(*m, 0x0D01), 0xCD);
    EXPECT_EQ(readByte(*m, 0x0D02), 0x15);
    EXPECT_EQ(readByte(*m, 0x0D03), 0x0B);
    EXPECT_EQ(readByte(*m, 0x0D04), 0x00);

    // The patch stays for the run, also after a later successful load.
    writeBytes(dir / "state.bin", makeStateFile());
    loadStateFile(*m, dir / "state.bin");
    EXPECT_EQ(readByte(*m, 0x0D01), 0xCD);
}

TEST(StateFileTest, RelativePathFollowsCurrentDirectoryAtEachCall) {
    TempDir a, b;
    writeBytes(a / "TI85Stat.bin", makeStateFile(2));
    writeBytes(b / "TI85Stat.bin", makeStateFile(4));
    const auto cwd = fs::current_path();
    auto m = test::makeMachine();
    fs::current_path(a.path());
    loadStateFile(*m, "TI85Stat.bin");
    EXPECT_EQ(m->mem.state.romBank, 2);
    fs::current_path(b.path());
    loadStateFile(*m, "TI85Stat.bin");
    EXPECT_EQ(m->mem.state.romBank, 4);
    fs::current_path(cwd);
}

TEST(StateFileTest, StatePathNamingTheRomImageIsNeitherReadNorWritten) {
    TempDir dir;
    const auto rom = makeRom();
    writeBytes(dir / "dump.bin", rom);
    fs::create_symlink("dump.bin", dir / "state.bin");
    auto m = test::makeMachine();
    ASSERT_EQ(loadRomImage(*m, dir / "dump.bin").outcome, RomLoad::loaded);
    m->regs.sp = 0x1234;

    // Read as a state file, the ROM's bytes would become RAM and registers.
    EXPECT_FALSE(loadStateFile(*m, dir / "state.bin"));
    EXPECT_EQ(m->regs.sp, 0xF000);
    EXPECT_EQ(m->mem.state.port3Value, 0x0B);

    EXPECT_EQ(saveStateFile(*m, dir / "state.bin").failure(), Failure::decline(romImageText));
    // A relative spelling of the same file from its own folder, too.
    const auto cwd = fs::current_path();
    fs::current_path(dir.path());
    EXPECT_FALSE(saveStateFile(*m, "./dump.bin"));
    fs::current_path(cwd);
    EXPECT_EQ(readBytes(dir / "dump.bin"), rom);

    EXPECT_TRUE(saveStateFile(*m, dir / "other.bin"));
    EXPECT_EQ(readBytes(dir / "other.bin").size(), stateFileSize);
}

TEST(StateFileHoldTest, ReloadIntoPausedMachineKeepsItPausedAtNewPc) {
    TempDir dir;
    auto m = test::makeMachine();
    auto file = makeStateFile(1);
    file[0x8000 + 12] = 0x34;  // PC 0x9234
    file[0x8000 + 13] = 0x92;
    writeBytes(dir / "state.bin", file);

    // A Pause waiting before the first instruction: the loop pauses as it does in
    // HALT, before it runs anything.
    EmulationThread thread(*m);
    const uint64_t pulses = m->control.haltEvent.pulseCount();
    m->control.post(EmuRequest::Pause);
    m->control.resume();
    for (int i = 0; i < 1000 && m->control.state() != LoopState::paused; ++i)
        m->control.haltEvent.waitFor(std::chrono::milliseconds(10));
    ASSERT_EQ(m->control.state(), LoopState::paused);
    EXPECT_GT(m->control.haltEvent.pulseCount(), pulses);

    EXPECT_TRUE(reloadStateFile(*m, dir / "state.bin").restored());
    EXPECT_EQ(m->control.state(), LoopState::paused);  // no wake token used or added
    EXPECT_EQ(m->regs.pc, 0x9234);
    EXPECT_EQ(m->fetchPointer, m->mem.translateRead(0x9234));
    EXPECT_EQ(m->mem.state.romBank, 1);
    EXPECT_TRUE(thread.stop());
}

TEST(StateFileHoldTest, ReloadBeforeStartSetsFetchPointer) {
    TempDir dir;
    auto m = test::makeMachine();
    EmulationThread thread(*m);  // waits for its first resume
    EXPECT_FALSE(reloadStateFile(*m, dir / "missing.bin").restored());
    EXPECT_EQ(m->regs.pc, 0x0000);
    EXPECT_EQ(m->fetchPointer, m->mem.rom.data());
    EXPECT_EQ(m->mem.state.port3Value, 0x0B);
    EXPECT_TRUE(thread.stop());
}

// The hardware model's state in flight: a clock, R, a halt and ports that power-on
// would not give, so that a block lost or left unread shows.
std::unique_ptr<Machine> hardwareMachineWithState() {
    auto m = test::makeMachine();
    m->model = MachineModel::hardware;
    const auto file = makeStateFile(2);
    EXPECT_TRUE(decodeStateFile(*m, file).restored());
    HardwareSnapshot s = captureHardware(*m);
    s.clock = 123456789;
    s.r = 0x5A;
    s.halted = true;
    s.ports.lcdBase = 0x30;
    s.ports.nextPeriodic = s.clock + 1000;
    s.ports.nextFrame = s.clock + 2000;
    restoreHardware(*m, s);
    return m;
}

TEST(StateFileModelsTest, EachModelReadsTheOthersFiles) {
    const auto hw = hardwareMachineWithState();
    const auto withBlock = encodeStateFile(*hw);
    ASSERT_EQ(withBlock.size(), stateFileSize + stateBlockSize);
    const auto plain = makeStateFile(2);
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), withBlock.begin()));

    // The hardware model gets everything back, and writes the same bytes again.
    auto again = test::makeMachine();
    again->model = MachineModel::hardware;
    ASSERT_TRUE(decodeStateFile(*again, withBlock).restored());
    EXPECT_EQ(captureHardware(*again), captureHardware(*hw));
    EXPECT_EQ(encodeStateFile(*again), withBlock);

    // The classic model reads the 32800 bytes, leaves the chip alone and writes no block.
    auto classic = test::makeMachine();
    ASSERT_TRUE(decodeStateFile(*classic, withBlock).restored());
    EXPECT_EQ(classic->chip.clock(), 0u);
    EXPECT_EQ(encodeStateFile(*classic), plain);

    // A classic file in the hardware model: its registers and memory, the rest at power-on.
    auto fresh = test::makeMachine();
    fresh->model = MachineModel::hardware;
    ASSERT_TRUE(decodeStateFile(*fresh, plain).restored());
    EXPECT_EQ(fresh->regs.pc, hw->regs.pc);
    EXPECT_EQ(fresh->chip.clock(), 0u);
    EXPECT_FALSE(fresh->chip.halted);
    EXPECT_EQ(fresh->hardware.regs.lcdBase, powerOnLcdBase);
}

TEST(StateFileModelsTest, DamagedBlockIsRefusedWithItsReasonAndTheFileKept) {
    TempDir dir;
    auto file = encodeStateFile(*hardwareMachineWithState());
    file[stateFileSize + 20] ^= 0x01;
    writeBytes(dir / "state.bin", file);
    for (MachineModel model : {MachineModel::hardware, MachineModel::classic}) {
        auto m = test::makeMachine();
        m->model = model;
        m->mem.state.ram[5] = 0x77;
        EXPECT_EQ(decodeStateFile(*m, file).outcome, StateLoad::badBlock);
        EXPECT_EQ(m->mem.state.ram[5], 0x77);  // refused before anything was changed

        const StateLoadResult read = readStateFile(*m, dir / "state.bin");
        EXPECT_EQ(read.outcome, StateLoad::badBlock);
        EXPECT_TRUE(read.notAStateFile());
        EXPECT_EQ(stateFileProblemText(read),
                  "The hardware state after the calculator's memory is damaged (its checksum "
                  "does not match).");
    }
    EXPECT_EQ(readBytes(dir / "state.bin"), file);

    // Bytes after the 32800 that are no block at all: no state file, by its size.
    auto other = makeStateFile();
    other.insert(other.end(), {'n', 'o', 't', 'e', 's', ' ', 'h', 'e', 'r', 'e', '.', '.'});
    auto m = test::makeMachine();
    EXPECT_EQ(decodeStateFile(*m, other).outcome, StateLoad::wrongSize);
    // A file too large to be one is not read at all.
    writeBytes(dir / "large.bin", std::vector<uint8_t>(stateFileReadLimit + 1));
    EXPECT_EQ(readStateFile(*m, dir / "large.bin").outcome, StateLoad::wrongSize);
}

TEST(StateFileModelsTest, HardwareColdStartLeavesTheRomImageUnpatched) {
    TempDir dir;
    const auto rom = makeRom();
    writeBytes(dir / "rom.bin", rom);
    auto m = test::makeMachine();
    m->model = MachineModel::hardware;
    ASSERT_EQ(loadRomImage(*m, dir / "rom.bin").outcome, RomLoad::loaded);
    m->mem.state.ram[9] = 0x42;
    EXPECT_FALSE(loadStateFile(*m, dir / "none.bin"));
    EXPECT_EQ(romOf(*m), rom);
    EXPECT_EQ(m->regs.pc, 0x0000);
    EXPECT_EQ(m->mem.state.port3Value, 0x00);
    EXPECT_EQ(m->mem.state.ram[9], 0x42);
    EXPECT_EQ(m->chip.clock(), 0u);
}

}  // namespace
}  // namespace vantrel
