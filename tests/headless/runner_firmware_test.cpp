// The runner's units on the demo firmware: scripts from the command line played
// through the real timer, keypad and link, and the LCD written as pictures.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "files/file_claim.h"
#include "hardware/lcd_picture.h"
#include "hardware/state_block.h"
#include "headless/command_line.h"
#include "headless/headless_front_end.h"
#include "headless/script_runner.h"
#include "link/variable_file.h"
#include "session/calculator/calculator.h"
#include "session/screenshots/lcd_image.h"
#include "session/screenshots/png_file.h"
#include "session/screenshots/screenshot.h"
#include "support/command_output.h"
#include "support/full_disk.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/variable_file_builder.h"

#ifdef VANTREL_FIRMWARE_ROM
#include "e2e/firmware_machine.h"
#include "support/firmware_symbols.h"
#endif

namespace vantrel::headless {
namespace {

using Bytes = std::vector<uint8_t>;
using test::commandOutput;
using test::TempDir;

uint32_t bigEndian(const Bytes& b, std::size_t at) {
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

struct PngChunk {
    std::string type;
    Bytes data;
};

// Splits a PNG into chunks, checking the signature and every chunk's CRC.
std::vector<PngChunk> pngChunks(const Bytes& png) {
    static const Bytes signature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<PngChunk> chunks;
    if (png.size() < 8 || !std::equal(signature.begin(), signature.end(), png.begin())) {
        ADD_FAILURE() << "no PNG signature";
        return chunks;
    }
    std::size_t at = 8;
    while (at + 12 <= png.size()) {
        const uint32_t length = bigEndian(png, at);
        if (at + 12 + length > png.size()) break;
        const uint8_t* typeAndData = png.data() + at + 4;
        EXPECT_EQ(crc32(typeAndData, 4 + length), bigEndian(png, at + 8 + length)) << "chunk CRC";
        chunks.push_back({std::string(reinterpret_cast<const char*>(typeAndData), 4),
                          Bytes(typeAndData + 4, typeAndData + 4 + length)});
        at += 12 + length;
    }
    EXPECT_EQ(at, png.size()) << "trailing bytes";
    return chunks;
}

// Inflates a zlib stream made of stored blocks only, checking lengths and Adler-32.
std::optional<Bytes> inflateStored(const Bytes& z) {
    if (z.size() < 6 || (z[0] * 256 + z[1]) % 31 != 0 || (z[0] & 0x0F) != 8) return std::nullopt;
    Bytes out;
    std::size_t at = 2;
    for (bool last = false; !last;) {
        if (at + 5 > z.size() || (z[at] & 0x06) != 0) return std::nullopt;  // stored only
        last = z[at] & 1;
        const unsigned length = z[at + 1] | z[at + 2] << 8;
        const unsigned inverse = z[at + 3] | z[at + 4] << 8;
        if ((length ^ 0xFFFF) != inverse || at + 5 + length > z.size()) return std::nullopt;
        out.insert(out.end(), z.begin() + static_cast<std::ptrdiff_t>(at + 5),
                   z.begin() + static_cast<std::ptrdiff_t>(at + 5 + length));
        at += 5 + length;
    }
    if (at + 4 != z.size() || bigEndian(z, at) != adler32(out.data(), out.size()))
        return std::nullopt;
    return out;
}

TEST(HeadlessPngTest, ChecksumsAndStoredBlocksDecode) {
    // The published check values of both sums.
    const char* digits = "123456789";
    EXPECT_EQ(crc32(reinterpret_cast<const uint8_t*>(digits), 9), 0xCBF43926u);
    const char* word = "Wikipedia";
    EXPECT_EQ(adler32(reinterpret_cast<const uint8_t*>(word), 9), 0x11E60398u);

    // Empty, one block, and more than one block's worth come back unchanged.
    for (std::size_t size :
         {std::size_t{0}, std::size_t{1088}, std::size_t{65535}, std::size_t{140000}}) {
        Bytes data(size);
        for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(i * 7 + i / 251);
        const auto back = inflateStored(zlibStored(data));
        ASSERT_TRUE(back) << size;
        EXPECT_EQ(*back, data) << size;
    }
}

TEST(HeadlessPngTest, LcdPictureHoldsThePixelsAndColours) {
    std::array<uint8_t, lcdBytes> lcd{};
    lcd[0] = 0x80;               // top-left pixel
    lcd[lcd.size() - 1] = 0x01;  // bottom-right pixel
    lcd[5 * 16 + 3] = 0x5A;
    const Bytes png = buildLcdPng(lcd.data(), 0x00112233, 0x00AABBCC);

    const auto chunks = pngChunks(png);
    ASSERT_EQ(chunks.size(), 4u);
    EXPECT_EQ(chunks[0].type, "IHDR");
    EXPECT_EQ(chunks[0].data, (Bytes{0, 0, 0, 128, 0, 0, 0, 64, 1, 3, 0, 0, 0}));
    EXPECT_EQ(chunks[1].type, "PLTE");
    // Entry 0 the background, red first (the settings keep blue in the high byte).
    EXPECT_EQ(chunks[1].data, (Bytes{0xCC, 0xBB, 0xAA, 0x33, 0x22, 0x11}));
    EXPECT_EQ(chunks[2].type, "IDAT");
    EXPECT_EQ(chunks[3].type, "IEND");
    EXPECT_TRUE(chunks[3].data.empty());

    const auto raw = inflateStored(chunks[2].data);
    ASSERT_TRUE(raw);
    ASSERT_EQ(raw->size(), 64u * 17u);
    for (int row = 0; row < 64; ++row) {
        EXPECT_EQ((*raw)[static_cast<std::size_t>(row * 17)], 0) << "filter of row " << row;
        EXPECT_TRUE(std::equal(lcd.begin() + row * 16, lcd.begin() + row * 16 + 16,
                               raw->begin() + row * 17 + 1))
            << "row " << row;
    }
}

// The runner program itself, its output (stdout and stderr) going to outPath.
[[noreturn]] void execRunner(const std::vector<std::string>& args, const std::string& outPath) {
    const std::string program =
        (std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() /
         "vantrel-headless")
            .string();
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ::dup2(out, 1);
    ::dup2(out, 2);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
}

int runRunner(const std::vector<std::string>& args, const std::string& outPath) {
    const pid_t child = ::fork();
    if (child == 0) execRunner(args, outPath);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Bytes of a ROM that passes the version test and is blank otherwise.
Bytes passingRom() {
    Bytes rom(romSize);
    std::memcpy(rom.data() + 0x328A, "10.0", 4);
    rom[0x0158] = 0x46;
    rom[0x0141] = 0x05;
    rom[0x0149] = 0x0E;
    return rom;
}

TEST(HeadlessProgram, InputsThatCannotBeUsedAreRefusedBeforeTheRun) {
    TempDir dir;
    const Bytes rom = passingRom();
    test::writeBytes(dir / "rom.bin", rom);
    const std::vector<std::string> files{"--rom", dir / "rom.bin", "--ram", dir / "state.bin"};
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), files.begin(), files.end());
        return runRunner(args, dir / "out.txt");
    };

    EXPECT_EQ(run({"--upload", dir / "missing.85g"}), 2);
    EXPECT_EQ(test::readText(dir / "out.txt"), "vantrel-headless: cannot read " +
                                                   dir / "missing.85g" +
                                                   " to upload: No such file or directory\n");
    EXPECT_EQ(run({"--upload", dir.path()}), 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "state.bin"));  // no run, no save

    EXPECT_EQ(run({"--ini", dir / "missing.ini"}), 2);
    EXPECT_NE(test::readText(dir / "out.txt").find("cannot read the settings file"),
              std::string::npos);

    std::filesystem::create_symlink("rom.bin", dir / "rom-link.bin");
    EXPECT_EQ(runRunner({"--rom", dir / "rom.bin", "--ram", dir / "rom-link.bin"}, dir / "out.txt"),
              2);
    EXPECT_NE(test::readText(dir / "out.txt").find("is the ROM image"), std::string::npos);
    EXPECT_EQ(test::readBytes(dir / "rom.bin"), rom);

    EXPECT_EQ(run({"--seconds", "0"}), 0);
    EXPECT_EQ(std::filesystem::file_size(dir / "state.bin"), stateFileSize);
}

// A state file that is none, or that another running Vantrel has, is never written
// over: the run is refused before it starts unless told what to do with it.
// Whether the process catches the signal (its mask of caught signals, as the system
// shows it), so that a test sends it only once it is caught.
bool catches(pid_t process, int signal) {
    std::ifstream status("/proc/" + std::to_string(process) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1;
    return false;
}

// Ctrl-C ends a long run at once, which then ends as a full run does: state saved.
TEST(HeadlessProgram, InterruptEndsTheRunEarlyAndTheStateIsSaved) {
    TempDir dir;
    test::writeBytes(dir / "rom.bin", passingRom());
    const pid_t child = ::fork();
    if (child == 0)
        execRunner({"--rom", dir / "rom.bin", "--ram", dir / "state.bin", "--seconds", "600"},
                   dir / "out.txt");
    for (int waited = 0; waited < 1000 && !catches(child, SIGINT); ++waited) ::usleep(10000);
    ::kill(child, SIGINT);
    int status = 0;
    ::waitpid(child, &status, 0);
    const std::string out = test::readText(dir / "out.txt");
    ASSERT_TRUE(WIFEXITED(status)) << out;
    EXPECT_EQ(WEXITSTATUS(status), 0) << out;
    EXPECT_NE(out.find("Run ended early on request."), std::string::npos) << out;
    EXPECT_NE(out.find("State file written: " + dir / "state.bin"), std::string::npos) << out;
    EXPECT_EQ(std::filesystem::file_size(dir / "state.bin"), stateFileSize);
}

TEST(HeadlessProgram, StateFilesThatAreNoneOrInUseAreNotWrittenOver) {
    TempDir dir;
    test::writeBytes(dir / "rom.bin", passingRom());
    auto run = [&](const std::string& ram, std::vector<std::string> args) {
        args.insert(args.begin(), {"--rom", dir / "rom.bin", "--ram", ram, "--seconds", "0"});
        return runRunner(args, dir / "out.txt");
    };
    const std::string notes = dir / "notes.txt";
    test::writeText(notes, "my notes\n");
    EXPECT_EQ(run(notes, {}), 2);
    EXPECT_EQ(test::readText(dir / "out.txt"),
              "vantrel-headless: the file " + notes +
                  " is not a state file. It has 9 bytes; a state file has exactly 32800 (32846 "
                  "when written in the hardware model). It is "
                  "not overwritten: name another with --ram, give --overwrite-state to replace "
                  "it, or run with --no-save.\n");
    EXPECT_EQ(run(notes, {"--no-save"}), 0);
    EXPECT_EQ(test::readText(notes), "my notes\n");
    EXPECT_EQ(run(notes, {"--overwrite-state"}), 0);
    EXPECT_EQ(std::filesystem::file_size(notes), stateFileSize);

    FileClaim window;
    ASSERT_EQ(window.claim(dir / "state.bin").outcome, FileClaim::Outcome::held);
    EXPECT_EQ(run(dir / "state.bin", {}), 2);
    EXPECT_NE(test::readText(dir / "out.txt")
                  .find("Another running Vantrel (process " + std::to_string(::getpid()) +
                        ") has the state file " + dir / "state.bin" + ". Leave it to that one"),
              std::string::npos)
        << test::readText(dir / "out.txt");
    EXPECT_EQ(run(dir / "state.bin", {"--no-save"}), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "state.bin"));
    window.release();
    EXPECT_EQ(run(dir / "state.bin", {}), 0);
    EXPECT_TRUE(std::filesystem::exists(dir / "state.bin"));
}

// A variable file without a whole variable in it, or cut inside one, is bad data; one
// whose checksum does not agree goes only with --force. Either is refused before the
// run, and a wrong --lcd name is told without the whole usage.
TEST(HeadlessProgram, FilesToUploadThatAreBadOrDamagedAreRefusedSayingWhy) {
    TempDir dir;
    test::writeBytes(dir / "rom.bin", passingRom());
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--rom", dir / "rom.bin", "--ram", dir / "state.bin",
                                   "--no-save", "--seconds", "0"});
        return runRunner(args, dir / "out.txt");
    };
    const Bytes header{10, 0, 0x00, 1, 'A'};
    const Bytes data{0, 0, 0x81, 0x42, 0, 0, 0, 0, 0, 0};
    test::writeBytes(dir / "one.85n", test::variableFile({header}));
    Bytes cut = test::variableFile({header, data, header, data});
    cut.resize(cut.size() - 4);  // inside the second variable
    test::writeBytes(dir / "cut.85n", cut);
    Bytes damaged = test::variableFile({header, data});
    damaged[70] ^= 1;
    test::writeBytes(dir / "damaged.85n", damaged);

    EXPECT_EQ(run({"--upload", dir / "one.85n"}), 2);
    EXPECT_EQ(
        test::readText(dir / "out.txt"),
        "vantrel-headless: cannot upload " + dir / "one.85n" + ": It holds no whole variable.\n");
    EXPECT_EQ(run({"--upload", dir / "cut.85n"}), 2);
    EXPECT_NE(test::readText(dir / "out.txt").find("It ends inside a variable"), std::string::npos);
    EXPECT_EQ(run({"--upload", dir / "damaged.85n"}), 2);
    EXPECT_NE(test::readText(dir / "out.txt")
                  .find("Its checksum does not match its data: it may be damaged. --force uploads "
                        "it all the same."),
              std::string::npos);

    EXPECT_EQ(run({"--lcd", dir / "screen.jpg"}), 2);
    EXPECT_EQ(test::readText(dir / "out.txt"),
              "vantrel-headless: --lcd writes .bmp or .png files, not \"" + dir / "screen.jpg" +
                  "\"\nTry 'vantrel-headless --help'.\n");
    EXPECT_EQ(run({"--lcd", dir / "no/such/screen.png"}), 4);
    EXPECT_NE(test::readText(dir / "out.txt")
                  .find("LCD picture could not be written: " + dir / "no/such/screen.png" +
                        " (No such file or directory)"),
              std::string::npos)
        << test::readText(dir / "out.txt");
}

#ifdef VANTREL_FIRMWARE_ROM  // builds without the assembled firmware leave these out

// --demo as in the window: the demo firmware in its own folder. The report says how
// long it ran, what went up the link and that nothing came back.
TEST(HeadlessProgramFirmware, DemoRunReportsWhatWasUploadedAndReceived) {
    TempDir dir;
    test::ScopedEnv data("XDG_DATA_HOME", (dir / "data").c_str());
    test::writeBytes(dir / "group.85g", test::variableFile({{10, 0, 0x00, 1, 'A'},
                                                            {0, 0, 0x81, 0x42, 0, 0, 0, 0, 0, 0}}));
    Bytes damaged = test::readBytes(dir / "group.85g");
    damaged[70] ^= 1;
    test::writeBytes(dir / "damaged.85g", damaged);
    ASSERT_EQ(runRunner({"--demo", "--no-save", "--upload", dir / "group.85g", "--receive",
                         dir / "back.85g", "--until-sleep"},
                        dir / "out.txt"),
              0);
    std::string out = test::readText(dir / "out.txt");
    EXPECT_NE(out.find("ROM: " + dir / "data/vantrel/demo/TI85Rom.bin\n"), std::string::npos)
        << out;
    EXPECT_NE(out.find("Stopped after "), std::string::npos) << out;
    EXPECT_EQ(out.find("Loop ended"), std::string::npos) << out;
    EXPECT_NE(out.find("Uploaded: " + dir / "group.85g" + " (1 variable)\n"), std::string::npos)
        << out;
    EXPECT_NE(out.find("Nothing was received from the calculator.\n"), std::string::npos) << out;

    ASSERT_EQ(runRunner({"--demo", "--no-save", "--force", "--upload", dir / "damaged.85g",
                         "--until-sleep"},
                        dir / "out.txt"),
              0);
    out = test::readText(dir / "out.txt");
    EXPECT_NE(out.find("Upload it all the same? Yes (--force)."), std::string::npos) << out;
    EXPECT_NE(out.find("Uploaded: " + dir / "damaged.85g" + " (1 variable)"), std::string::npos)
        << out;
}

// The demo recorded while it boots and calculates, read back by ImageMagick: frames
// that each differ from the one before, delays that add up to the run, and the last
// frame the picture that --lcd writes at the end.
TEST(HeadlessProgramFirmware, RecordingOfTheDemoHoldsWhatTheLcdShowed) {
    TempDir dir;
    test::ScopedEnv data("XDG_DATA_HOME", (dir / "data").c_str());
    ASSERT_EQ(runRunner({"--demo", "--no-save", "--type", "12+30", "--key", "ENTER",
                         "--until-sleep", "--record", dir / "demo.gif", "--lcd", dir / "end.png"},
                        dir / "out.txt"),
              0);
    const std::string out = test::readText(dir / "out.txt");
    EXPECT_NE(out.find("Recording written: " + dir / "demo.gif\n"), std::string::npos) << out;

    std::istringstream frames(
        commandOutput("identify -format '%T %w %h\\n' '" + dir / "demo.gif" + "'"));
    int delay = 0, width = 0, height = 0, count = 0, total = 0;
    while (frames >> delay >> width >> height) {
        EXPECT_EQ(width, 128);
        EXPECT_EQ(height, 64);
        EXPECT_GE(delay, 2);
        total += delay;
        ++count;
    }
    EXPECT_GE(count, 6) << "the title, then 1 2 + 3 0 typed and the answer";
    const auto stopped = out.find("Stopped after ");
    ASSERT_NE(stopped, std::string::npos);
    const double seconds = std::stod(out.substr(stopped + 14));
    // The report gives tenths; the last frame lasts at least gifMinimumDelay.
    EXPECT_NEAR(total / 100.0, seconds, 0.05 + 0.02 + 0.001);

    const std::string rgb =
        commandOutput("convert '" + dir / "demo.gif" + "' -coalesce -depth 8 rgb:-");
    const std::size_t frameSize = 128 * 64 * 3;
    ASSERT_EQ(rgb.size(), frameSize * static_cast<std::size_t>(count));
    for (int i = 1; i < count; ++i)
        EXPECT_NE(rgb.compare(frameSize * static_cast<std::size_t>(i), frameSize, rgb,
                              frameSize * static_cast<std::size_t>(i - 1), frameSize),
                  0)
            << "frame " << i << " repeats the one before";
    EXPECT_EQ(rgb.substr(rgb.size() - frameSize),
              commandOutput("convert '" + dir / "end.png" + "' -depth 8 rgb:-"));

    // A folder that cannot take it: refused before the run, nothing left behind.
    EXPECT_EQ(
        runRunner({"--demo", "--no-save", "--record", dir / "no/such/demo.gif"}, dir / "out.txt"),
        4);
    EXPECT_NE(test::readText(dir / "out.txt")
                  .find("Recording could not be written: " + dir / "no/such/demo.gif" +
                        " (No such file or directory)"),
              std::string::npos)
        << test::readText(dir / "out.txt");
}

// In the hardware model the runner lets the loop on by its run limit and acts only at
// known clocks: the same run twice gives the same files, byte for byte, whatever the
// host did meanwhile. The state file carries the block; the report the emulated time.
TEST(HeadlessProgramFirmware, HardwareModelRunsGiveIdenticalFiles) {
    TempDir dir;
    test::ScopedEnv data("XDG_DATA_HOME", (dir / "data").c_str());
    auto run = [&](const std::string& n) {
        return runRunner(
            {"--demo", "--model", "hardware", "--ram", dir / ("state" + n), "--type", "12+30@100",
             "--key", "ENTER@600", "--inject", "CLEAR", "--seconds", "1.5", "--lcd",
             dir / ("lcd" + n + ".png"), "--trace", dir / ("trace" + n)},
            dir / ("out" + n));
    };
    ASSERT_EQ(run("1"), 0);
    ASSERT_EQ(run("2"), 0);
    for (const char* name : {"state", "lcd", "trace"}) {
        const std::string one = dir / (std::string(name) + "1");
        const std::string two = dir / (std::string(name) + "2");
        EXPECT_EQ(test::readBytes(name == std::string("lcd") ? one + ".png" : one),
                  test::readBytes(name == std::string("lcd") ? two + ".png" : two))
            << name;
    }
    EXPECT_EQ(std::filesystem::file_size(dir / "state1"), stateFileSize + stateBlockSize);
    const std::string out = test::readText(dir / "out1");
    EXPECT_NE(out.find("Model: hardware, speed unlimited\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Emulated time: 1.5 s"), std::string::npos) << out;
    // Each trace line carries the clock before its instruction.
    EXPECT_NE(test::readText(dir / "trace1").find("  T="), std::string::npos);

    // The classic model reads that file too (and an odd model is refused).
    EXPECT_EQ(runRunner({"--demo", "--ram", dir / "state1", "--seconds", "0.2"}, dir / "out3"), 0);
    EXPECT_EQ(std::filesystem::file_size(dir / "state1"), stateFileSize);
    EXPECT_EQ(runRunner({"--demo", "--model", "fast"}, dir / "out4"), 2);
    EXPECT_EQ(test::readText(dir / "out4"),
              "vantrel-headless: --model takes classic or hardware, not \"fast\"\n"
              "Try 'vantrel-headless --help'.\n");
}

TEST(HeadlessProgramFirmware, ReceivedVariablesThatCannotBeWrittenEndTheRunNonZero) {
    TempDir dir;
    const std::string disk = dir / "disk";
    std::filesystem::create_directory(disk);
    test::writeBytes(dir / "group.85g", test::variableFile({{10, 0, 0x00, 1, 'A'},
                                                            {0, 0, 0x81, 0x42, 0, 0, 0, 0, 0, 0}}));
    const auto full = test::runOnFullDisk(
        disk, [&] { test::writeText(disk + "/back.85g", "old"); },
        [&]() -> int {
            execRunner({"--rom", VANTREL_FIRMWARE_ROM, "--ram", dir / "state.bin", "--no-save",
                        "--upload", dir / "group.85g", "--key", "EXIT", "--key", "F1", "--receive",
                        disk + "/back", "--overwrite", "--until-sleep"},
                       dir / "out.txt");
        });
    if (full.expectedError != ENOSPC) GTEST_SKIP() << "no file system can be filled here";
    const std::string out = test::readText(dir / "out.txt");
    EXPECT_EQ(full.status, 4) << out;
    EXPECT_NE(out.find("Received variables could not be written: " + disk +
                       "/back.85g (No space left on device)"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find("Received variables written"), std::string::npos) << out;
}

// A session on the demo firmware, scripted by command-line arguments.
class FirmwareRunnerThread : public ::testing::Test {
protected:
    RunResult run(const std::vector<std::string>& args) {
        const Result<Options> parsed = parseCommandLine(args);
        EXPECT_TRUE(parsed) << parsed.failure().reason;
        const Options o = parsed ? *parsed : Options{};
        frontEnd.out = nullptr;
        frontEnd.receivePath = o.receivePath;
        frontEnd.overwrite = o.overwrite;
        RunOptions options;
        options.duration = std::chrono::milliseconds(static_cast<int64_t>(o.seconds * 1000));
        options.untilSleep = o.untilSleep;
        options.events = o.events;
        options.autoLinkOnUpload = o.autoLink;
        return runScript(calculator, frontEnd, options);
    }

    std::string row(int r) { return test::trimmedRow(calculator.machine(), r); }

    TempDir dir;
    HeadlessFrontEnd frontEnd;
    Calculator calculator{frontEnd};
    void SetUp() override {
        ASSERT_EQ(calculator.load(VANTREL_FIRMWARE_ROM, dir / "state.bin", true).outcome,
                  RomLoad::loaded);
    }
};

TEST_F(FirmwareRunnerThread, KeysByNameAndTypedTextBothGive42) {
    RunResult result = run({"--key", "1", "--key", "2", "--key", "plus", "--key", "3", "--key", "0",
                            "--key", "enter", "--until-sleep"});
    ASSERT_TRUE(result.stopped);
    EXPECT_TRUE(result.asleep);
    EXPECT_EQ(result.eventsDone, 6u);
    EXPECT_EQ(row(3), "12+30");
    EXPECT_EQ(row(5), "              42");
    const Machine& m = calculator.machine();
    EXPECT_EQ(test::lcdBytes(m), test::expectedPicture(m));

    // The next run goes on from the same machine, typing through the character map.
    result = run({"--key", "CLEAR", "--type", "6*7", "--key", "ENTER", "--until-sleep"});
    EXPECT_TRUE(result.asleep);
    EXPECT_EQ(row(3), "6*7");
    EXPECT_EQ(row(5), "              42");
    EXPECT_EQ(test::lcdBytes(m), test::expectedPicture(m));
    EXPECT_TRUE(frontEnd.messages().empty());
}

TEST_F(FirmwareRunnerThread, LcdFilesShowWhatTheCalculatorShows) {
    ASSERT_TRUE(run({"--type", "12+30", "--key", "ENTER", "--until-sleep"}).asleep);
    const auto lcd = calculator.lcd();

    ASSERT_TRUE(
        writeLcdPicture(shadesOfLcdBytes(lcd.data()), dir / "shot.bmp", 0x00FFFFFF, 0x00000000));
    const Bytes bmp = test::readBytes(dir / "shot.bmp");
    ASSERT_EQ(bmp.size(), bitmapFileSize);
    EXPECT_EQ(bmp, bitmapFileBytes(buildLcdDib(lcd.data(), 0x00FFFFFF, 0x00000000)));
    // Bottom row first in the file: its last row holds the LCD's top row.
    const std::size_t pixels = bitmapFileHeaderSize + dibHeaderSize + dibColourTableSize;
    EXPECT_TRUE(std::equal(lcd.begin(), lcd.begin() + 16, bmp.begin() + pixels + 63 * 16));

    ASSERT_TRUE(
        writeLcdPicture(shadesOfLcdBytes(lcd.data()), dir / "shot.PNG", 0x00FFFFFF, 0x00000000));
    const auto chunks = pngChunks(test::readBytes(dir / "shot.PNG"));
    ASSERT_EQ(chunks.size(), 4u);
    const auto raw = inflateStored(chunks[2].data);
    ASSERT_TRUE(raw);
    for (int r = 0; r < 64; ++r)
        EXPECT_TRUE(
            std::equal(lcd.begin() + r * 16, lcd.begin() + r * 16 + 16, raw->begin() + r * 17 + 1));
    EXPECT_NE(std::count(lcd.begin(), lcd.end(), 0), static_cast<long>(lcd.size()));

    EXPECT_FALSE(writeLcdPicture(shadesOfLcdBytes(lcd.data()), dir / "shot.gif", 0, 0));
    EXPECT_FALSE(writeLcdPicture(shadesOfLcdBytes(lcd.data()), dir / "no-such-dir/shot.png", 0, 0));
}

TEST_F(FirmwareRunnerThread, UploadedGroupComesBackThroughReceive) {
    const Bytes real{0x00, 0x00, 0x81, 0x42, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    const Bytes text{0x05, 0x00, 'H', 'e', 'l', 'l', 'o'};
    const Bytes file =
        test::variableFile({{10, 0, 0x00, 1, 'A'}, real, {7, 0, 0x0C, 3, 'M', 'S', 'G'}, text});
    test::writeBytes(dir / "group.85g", file);

    RunResult result = run({"--upload", dir / "group.85g", "--until-sleep"});
    ASSERT_TRUE(result.asleep);
    EXPECT_EQ(row(0), " Waiting");
    EXPECT_EQ(row(2), "A");
    EXPECT_EQ(row(3), "MSG");

    // Back to the link menu, then F1 sends everything to the name given.
    result = run({"--key", "EXIT", "--key", "F1", "--receive", dir / "back", "--until-sleep"});
    ASSERT_TRUE(result.asleep);
    const Bytes back = test::readBytes(dir / "back.85g");  // the Save-As dialog's extension
    ASSERT_EQ(back.size(), file.size());
    EXPECT_TRUE(std::equal(file.begin() + 53, file.end(), back.begin() + 53));
    EXPECT_EQ(frontEnd.savedNames(), std::vector<std::string>{dir / "back.85g"});

    // Sent again without --overwrite: the file stays as it was and the answer shows.
    test::writeText(dir / "back.85g", "keep me");
    ASSERT_TRUE(run({"--key", "F1", "--receive", dir / "back.85g", "--until-sleep"}).asleep);
    EXPECT_EQ(test::readText(dir / "back.85g"), "keep me");
    const auto messages = frontEnd.messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), "Overwrite file " + dir / "back.85g" + "? No (no --overwrite).");
    EXPECT_EQ(frontEnd.writtenNames(),
              std::vector<std::string>{dir / "back.85g"});  // the first send

    ASSERT_TRUE(
        run({"--key", "F1", "--receive", dir / "back.85g", "--overwrite", "--until-sleep"}).asleep);
    EXPECT_EQ(test::readBytes(dir / "back.85g").size(), file.size());
}

TEST_F(FirmwareRunnerThread, UploadWithoutAutoLinkEndsInTheHint) {
    test::writeBytes(dir / "x.85n", Bytes(60, 0));
    const RunResult result = run({"--upload", dir / "x.85n", "--no-auto-link", "--until-sleep"});
    EXPECT_TRUE(result.asleep);
    const auto messages = frontEnd.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "To upload a file first press [2nd] [LINK] [F2] on the calculator.");
    EXPECT_EQ(row(0), "  VANTREL DEMO");
}

TEST_F(FirmwareRunnerThread, KeypadSwitchesOffWithSecondOnAndOnWithOn) {
    RunResult result = run({"--key", "2ND", "--key", "ON", "--until-sleep"});
    EXPECT_TRUE(result.asleep);
    EXPECT_FALSE(result.calculatorOn);

    // While off only [ON] is taken; the refused key is noted.
    result = run({"--key", "5", "--type", "o", "--until-sleep"});
    EXPECT_TRUE(result.asleep);
    EXPECT_TRUE(result.calculatorOn);
    EXPECT_EQ(frontEnd.messages().size(), 1u);
}

TEST_F(FirmwareRunnerThread, UntilSleepGivesUpAtTheLimitAndTimedStepsWait) {
    // A step at 300 ms keeps a run going at least that long, and runs then.
    const auto start = std::chrono::steady_clock::now();
    RunResult result = run({"--key", "7@300", "--until-sleep"});
    EXPECT_TRUE(result.asleep);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_EQ(row(3), "7");

    // A step beyond the limit is never reached.
    result = run({"--key", "8@5000", "--until-sleep", "--seconds", "0.3"});
    EXPECT_FALSE(result.asleep);
    EXPECT_EQ(result.eventsDone, 0u);
    EXPECT_EQ(row(3), "7");
}

// The program stops where a breakpoint names, says so, and leaves the instructions
// that led there in the trace; the ROM's own symbol file gives the names.
TEST(HeadlessProgramFirmware, BreakStopsTheRunAndTheTraceEndsThere) {
    TempDir dir;
    const auto symbols = test::readFirmwareSymbols();
    std::filesystem::copy_file(VANTREL_FIRMWARE_ROM, dir / "demo.rom");
    std::filesystem::copy_file(VANTREL_FIRMWARE_SYMBOLS, dir / "demo.sym");
    const std::vector<std::string> start{"--rom", dir / "demo.rom", "--ram", dir / "state.bin",
                                         "--no-save"};
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), start.begin(), start.end());
        return runRunner(args, dir / "out.txt");
    };
    char add32[8];
    std::snprintf(add32, sizeof add32, "%04X", symbols.at("add32"));

    ASSERT_EQ(run({"--break", "add32", "--break", "C000", "--trace", dir / "trace.txt",
                   "--trace-count", "40", "--type", "12+30", "--key", "ENTER", "--until-sleep"}),
              0);
    std::string out = test::readText(dir / "out.txt");
    EXPECT_NE(
        out.find("Stopped: Breakpoint at " + std::string(add32) + " (add32)\n  " + add32 + "  "),
        std::string::npos)
        << out;
    EXPECT_NE(out.find("Trace written: " + dir / "trace.txt" + " (the last 40 of "),
              std::string::npos)
        << out;
    std::istringstream trace(test::readText(dir / "trace.txt"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(trace, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 40u);
    EXPECT_NE(lines.back().find("CALL add32"), std::string::npos) << lines.back();
    EXPECT_NE(lines.back().find(" SP="), std::string::npos);

    // An address of nothing known is refused before the run; without a hit, the run
    // says so.
    EXPECT_EQ(run({"--break", "nosuchname"}), 2);
    EXPECT_NE(test::readText(dir / "out.txt").find("--break nosuchname: no such address"),
              std::string::npos);
    EXPECT_EQ(run({"--break", "$C000", "--seconds", "0.2"}), 0);
    out = test::readText(dir / "out.txt");
    EXPECT_NE(out.find("No breakpoint was reached."), std::string::npos) << out;
}

#endif  // VANTREL_FIRMWARE_ROM

}  // namespace
}  // namespace vantrel::headless

namespace vantrel::headless {
namespace {

// A slot saved at the end of one run is the state the next run starts from.
TEST(HeadlessProgramFirmware, SaveSlotThenLoadSlotInTheNextRun) {
    TempDir dir;
    test::ScopedEnv data("XDG_DATA_HOME", (dir / "data").c_str());
    ASSERT_EQ(
        runRunner({"--demo", "--no-save", "--type", "7*6", "--until-sleep", "--save-slot", "4"},
                  dir / "out.txt"),
        0);
    std::string out = test::readText(dir / "out.txt");
    ASSERT_NE(out.find("Slot 4 saved: "), std::string::npos) << out;
    ASSERT_EQ(runRunner({"--demo", "--ram", dir / "other.bin", "--load-slot", "4", "--key", "ENTER",
                         "--until-sleep"},
                        dir / "out.txt"),
              0);
    out = test::readText(dir / "out.txt");
    EXPECT_NE(out.find("Slot 4 loaded: "), std::string::npos) << out;
    EXPECT_EQ(test::readBytes(dir / "other.bin")[0xDF + 5 * 16 + 14], '4');  // "42", result row

    EXPECT_EQ(runRunner({"--demo", "--no-save", "--load-slot", "9"}, dir / "out.txt"), 2);
    EXPECT_EQ(test::readText(dir / "out.txt"), "vantrel-headless: Slot 9 is empty.\n");
}

}  // namespace
}  // namespace vantrel::headless
