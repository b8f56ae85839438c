#include "files/file_io.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <numeric>
#include <random>

#include "support/full_disk.h"
#include "support/temp_dir.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using test::FileSizeLimit;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

std::vector<uint8_t> pattern(std::size_t size, uint8_t start = 0) {
    std::vector<uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), start);
    return bytes;
}

constexpr std::size_t stateSize = 32800;

mode_t modeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

// Only the named files: a temporary file left behind would show up here.
std::vector<std::string> entries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The count of bytes read, or the error number of a failure.
template <class T>
int64_t countOr(const Result<T>& read) {
    return read ? static_cast<int64_t>(*read) : -read.failure().code;
}

TEST(ReadFileStartTest, ReadsAtMostCountAndSaysHowMany) {
    TempDir dir;
    writeBytes(dir / "exact", pattern(100));
    writeBytes(dir / "longer", pattern(150));
    writeBytes(dir / "short", pattern(60, 1));
    writeBytes(dir / "empty", {});

    std::vector<uint8_t> buffer(100, 0xEE);
    EXPECT_EQ(countOr(readFileStart(dir / "exact", buffer.data(), 100)), 100);
    EXPECT_EQ(buffer, pattern(100));

    std::fill(buffer.begin(), buffer.end(), 0xEE);
    EXPECT_EQ(countOr(readFileStart(dir / "longer", buffer.data(), 100)), 100);
    EXPECT_EQ(buffer, pattern(100));

    // The bytes of a shorter file are read; the rest of the buffer is untouched.
    std::fill(buffer.begin(), buffer.end(), 0xEE);
    EXPECT_EQ(countOr(readFileStart(dir / "short", buffer.data(), 100)), 60);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 60, pattern(60, 1).begin()));
    EXPECT_EQ(buffer[60], 0xEE);
    EXPECT_EQ(buffer[99], 0xEE);

    EXPECT_EQ(countOr(readFileStart(dir / "empty", buffer.data(), 100)), 0);
    EXPECT_EQ(countOr(readFileStart(dir / "missing", buffer.data(), 100)), -ENOENT);
}

TEST(ReadFileStartTest, FileOfSizeGivesTheSizeAndReadsNothingOfALongerOne) {
    TempDir dir;
    writeBytes(dir / "exact", pattern(100));
    writeBytes(dir / "longer", pattern(150, 5));
    writeBytes(dir / "short", pattern(60, 1));

    std::vector<uint8_t> buffer(100, 0xEE);
    EXPECT_EQ(countOr(readFileOfSize(dir / "exact", buffer.data(), 100)), 100);
    EXPECT_EQ(buffer, pattern(100));

    std::fill(buffer.begin(), buffer.end(), 0xEE);
    EXPECT_EQ(countOr(readFileOfSize(dir / "longer", buffer.data(), 100)), 150);
    EXPECT_EQ(buffer, std::vector<uint8_t>(100, 0xEE));

    EXPECT_EQ(countOr(readFileOfSize(dir / "short", buffer.data(), 100)), 60);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 60, pattern(60, 1).begin()));
    EXPECT_EQ(buffer[60], 0xEE);
    EXPECT_EQ(countOr(readFileOfSize(dir / "missing", buffer.data(), 100)), -ENOENT);
}

TEST(ReadFileStartTest, RefusesWhatIsNotARegularFileWithoutBlocking) {
    TempDir dir;
    std::vector<uint8_t> buffer(16);
    fs::create_directory(dir / "folder");
    EXPECT_EQ(countOr(readFileStart(dir / "folder", buffer.data(), 16)), -EISDIR);
    EXPECT_EQ(checkReadable(dir / "folder").failure(), Failure::system(EISDIR));

    // Opening a FIFO for reading would wait for a writer if it blocked.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(readFileStart(dir / "fifo", buffer.data(), 16));
    EXPECT_FALSE(checkReadable(dir / "fifo"));

    EXPECT_FALSE(readFileStart("/dev/zero", buffer.data(), 16));
    EXPECT_FALSE(readFileStart("", buffer.data(), 16));
    EXPECT_FALSE(readFileStart(dir / "x", nullptr, 16));
}

TEST(ReadFileStartTest, PathWithNulByteDoesNotOpenItsPrefix) {
    TempDir dir;
    writeBytes(dir / "rom", pattern(8));
    std::vector<uint8_t> buffer(8);
    std::string sneaky = dir / "rom";
    sneaky += std::string("\0.bak", 5);
    EXPECT_TRUE(checkReadable(dir / "rom"));
    EXPECT_FALSE(checkReadable(sneaky));
    EXPECT_FALSE(readFileStart(sneaky, buffer.data(), 8));
    EXPECT_FALSE(writeWholeFile(sneaky, buffer.data(), 8));
    EXPECT_EQ(readBytes(dir / "rom"), pattern(8));
}

TEST(ReadFileStartTest, UnreadableFileFails) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads any file";
    TempDir dir;
    writeBytes(dir / "locked", pattern(8));
    ::chmod((dir / "locked").c_str(), 0);
    std::vector<uint8_t> buffer(8);
    EXPECT_EQ(countOr(readFileStart(dir / "locked", buffer.data(), 8)), -EACCES);
    EXPECT_EQ(checkReadable(dir / "locked").failure(), Failure::system(EACCES));
}

TEST(WriteWholeFileTest, CreatesAndReplacesWithoutLeftovers) {
    TempDir dir;
    const auto first = pattern(300);
    ASSERT_TRUE(writeWholeFile(dir / "state.bin", first.data(), first.size()));
    EXPECT_EQ(readBytes(dir / "state.bin"), first);

    const auto shorter = pattern(10, 7);
    ASSERT_TRUE(writeWholeFile(dir / "state.bin", shorter.data(), shorter.size()));
    EXPECT_EQ(readBytes(dir / "state.bin"), shorter);
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"state.bin"});

    // A bare relative name lands in the current directory.
    const auto cwd = fs::current_path();
    fs::current_path(dir.path());
    EXPECT_TRUE(writeWholeFile("relative.bin", first.data(), first.size()));
    fs::current_path(cwd);
    EXPECT_EQ(readBytes(dir / "relative.bin"), first);
}

TEST(WriteWholeFileTest, PermissionBitsKeptOrTakenFromUmask) {
    TempDir dir;
    const auto bytes = pattern(32);
    const mode_t oldMask = ::umask(027);
    EXPECT_TRUE(writeWholeFile(dir / "new.bin", bytes.data(), bytes.size()));
    ::umask(oldMask);
    EXPECT_EQ(modeOf(dir / "new.bin"), 0640u);

    writeBytes(dir / "shared.bin", pattern(4));
    ::chmod((dir / "shared.bin").c_str(), 0664);
    EXPECT_TRUE(writeWholeFile(dir / "shared.bin", bytes.data(), bytes.size()));
    EXPECT_EQ(modeOf(dir / "shared.bin"), 0664u);
}

TEST(WriteWholeFileTest, ReadOnlyFileIsNotReplaced) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write any file";
    TempDir dir;
    writeBytes(dir / "kept.bin", pattern(4));
    ::chmod((dir / "kept.bin").c_str(), 0444);
    const auto bytes = pattern(8, 1);
    EXPECT_FALSE(writeWholeFile(dir / "kept.bin", bytes.data(), bytes.size()));
    EXPECT_EQ(readBytes(dir / "kept.bin"), pattern(4));
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"kept.bin"});
}

TEST(WriteWholeFileTest, SymbolicLinkKeptAndItsTargetReplaced) {
    TempDir dir;
    fs::create_directory(dir / "real");
    writeBytes(dir / "real/state.bin", pattern(4));
    fs::create_symlink("real/state.bin", dir / "link.bin");  // relative to the link's folder
    fs::create_symlink("link.bin", dir / "link2.bin");       // a chain of two

    const auto bytes = pattern(64, 3);
    ASSERT_TRUE(writeWholeFile(dir / "link2.bin", bytes.data(), bytes.size()));
    EXPECT_TRUE(fs::is_symlink(dir / "link.bin"));
    EXPECT_TRUE(fs::is_symlink(dir / "link2.bin"));
    EXPECT_EQ(readBytes(dir / "real/state.bin"), bytes);

    // A dangling link gets its target created.
    fs::create_symlink("real/new.bin", dir / "dangling.bin");
    ASSERT_TRUE(writeWholeFile(dir / "dangling.bin", bytes.data(), bytes.size()));
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.bin"));
    EXPECT_EQ(readBytes(dir / "real/new.bin"), bytes);

    // A loop of links is refused rather than replaced.
    fs::create_symlink("loopB", dir / "loopA");
    fs::create_symlink("loopA", dir / "loopB");
    EXPECT_FALSE(writeWholeFile(dir / "loopA", bytes.data(), bytes.size()));
    EXPECT_TRUE(fs::is_symlink(dir / "loopA"));
}

TEST(WriteWholeFileTest, NeverReplacesFifoDeviceOrFolder) {
    TempDir dir;
    const auto bytes = pattern(8);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(writeWholeFile(dir / "fifo", bytes.data(), bytes.size()));
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));

    fs::create_directory(dir / "folder");
    EXPECT_FALSE(writeWholeFile(dir / "folder", bytes.data(), bytes.size()));
    EXPECT_FALSE(writeWholeFile(dir / "folder/", bytes.data(), bytes.size()));
    EXPECT_TRUE(fs::is_directory(dir / "folder"));

    EXPECT_FALSE(writeWholeFile("/dev/full", bytes.data(), bytes.size()));
    EXPECT_FALSE(writeWholeFile(dir / "no/such/folder/file", bytes.data(), bytes.size()));
    EXPECT_FALSE(writeWholeFile("", bytes.data(), bytes.size()));
    EXPECT_FALSE(writeWholeFile(dir / "x", nullptr, 8));
}

TEST(WriteWholeFileTest, FailedWriteLeavesOldFileWholeAndNoTemporary) {
    TempDir dir;
    const auto old = pattern(1000);
    writeBytes(dir / "state.bin", old);
    const auto big = pattern(64 * 1024);
    int error = 0;
    {
        FileSizeLimit limit(16 * 1024);
        const Result<> written = writeWholeFile(dir / "state.bin", big.data(), big.size());
        ASSERT_FALSE(written);
        error = written.failure().code;
    }
    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(readBytes(dir / "state.bin"), old);
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"state.bin"});
}

TEST(WriteWholeFileTest, FullDiskFailsSayingWhyAndKeepsTheOldFileAlone) {
    TempDir dir;
    const std::string disk = dir / "disk";
    fs::create_directory(disk);
    const auto old = pattern(1000);
    const auto bytes = pattern(stateSize, 3);
    const auto run = test::runOnFullDisk(
        disk, [&] { writeBytes(disk + "/state.bin", old); },
        [&] {
            const Result<> written =
                writeWholeFile(disk + "/state.bin", bytes.data(), bytes.size());
            if (written) return 100;
            if (readBytes(disk + "/state.bin") != old) return 101;
            for (const std::string& name : entries(disk))
                if (name != "state.bin" && name != ".filler") return 102;  // a temporary left
            if (written.failure().reason != errorText(written.failure().code)) return 103;
            return written.failure().code;
        });
    EXPECT_EQ(run.status, run.expectedError);
    EXPECT_EQ(errorText(ENOSPC), "No space left on device");
    EXPECT_EQ(errorText(0), "");
}

TEST(WriteWholeFileTest, FailuresSayWhyAndAreFoundBeforeWriting) {
    TempDir dir;
    const auto bytes = pattern(8);
    auto why = [&](const std::string& path) {
        const Result<> written = writeWholeFile(path, bytes.data(), bytes.size());
        EXPECT_FALSE(written) << path;
        const Result<WriteTarget> target = checkWriteTarget(path);
        EXPECT_FALSE(target) << path;
        if (written || target) return 0;
        EXPECT_EQ(target.failure(), written.failure()) << path;
        EXPECT_EQ(written.failure().reason, errorText(written.failure().code)) << path;
        return written.failure().code;
    };
    fs::create_directory(dir / "folder");
    EXPECT_EQ(why(dir / "folder"), EISDIR);
    fs::create_symlink("loopB", dir / "loopA");
    fs::create_symlink("loopA", dir / "loopB");
    EXPECT_EQ(why(dir / "loopA"), ELOOP);
    EXPECT_EQ(why(dir / "no/such/file"), ENOENT);
    EXPECT_EQ(why(""), ENOENT);

    ASSERT_TRUE(checkWriteTarget(dir / "new.bin"));
    EXPECT_FALSE(checkWriteTarget(dir / "new.bin")->exists);
    writeBytes(dir / "old.bin", bytes);
    ASSERT_TRUE(checkWriteTarget(dir / "old.bin"));
    EXPECT_TRUE(checkWriteTarget(dir / "old.bin")->exists);
    EXPECT_EQ(entries(dir.path()),
              (std::vector<std::string>{"folder", "loopA", "loopB", "old.bin"}));
}

// A save killed at any moment leaves the old or the new file whole, and at most the
// one temporary file of that target, which the next save takes over.
TEST(WriteWholeFileTest, KilledSavesLeaveAtMostOneTemporary) {
    TempDir dir;
    const std::string target = dir / "st.bin";
    const auto first = pattern(stateSize, 1);
    const auto second = pattern(stateSize, 2);
    writeBytes(target, first);
    std::mt19937 random(20260305);
    for (int round = 0; round < 40; ++round) {
        const pid_t saver = ::fork();
        if (saver == 0) {
            for (int i = 0;; ++i) {
                const auto& bytes = i % 2 ? first : second;
                (void)writeWholeFile(target, bytes.data(), bytes.size());
            }
        }
        ::usleep(500 + random() % 8000);
        ::kill(saver, SIGKILL);
        ::waitpid(saver, nullptr, 0);
        const auto now = readBytes(target);
        EXPECT_TRUE(now == first || now == second) << "round " << round;
        EXPECT_LE(entries(dir.path()).size(), 2u) << "round " << round;
    }
    ASSERT_TRUE(writeWholeFile(target, first.data(), first.size()));
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"st.bin"});
}

// A folder that takes no new file, for a child that runs work there (and its status
// is returned): without privileges when we are root, since root may write any folder.
// 77: the folder could not be made unwritable here.
int inLockedFolder(const std::string& folder, const std::string& file,
                   const std::function<int()>& work) {
    const bool root = ::geteuid() == 0;
    if (root) {
        ::chown(folder.c_str(), 0, 0);
        ::chown(file.c_str(), 65534, 65534);
    }
    ::chmod(folder.c_str(), 0555);
    const pid_t child = ::fork();
    if (child == 0) {
        if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(77);
        if (::access(file.c_str(), W_OK) != 0) ::_exit(77);
        if (::access(folder.c_str(), W_OK) == 0) ::_exit(77);  // still writable: cannot test
        ::_exit(work());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::chmod(folder.c_str(), 0755);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A file is only ever replaced whole. Where its folder takes no new file, an in-place
// rewrite killed half-way would tear it: the save is refused instead, saying why and
// what to do, and the file stays as it was however often a save is killed.
TEST(WriteWholeFileTest, UnwritableFolderRefusesTheSaveAndNeverTearsTheFile) {
    TempDir dir;
    fs::create_directory(dir / "locked");
    const std::string file = dir / "locked/state.bin";
    const auto old = pattern(stateSize, 7);
    writeBytes(file, old);

    const int result = inLockedFolder(dir / "locked", file, [&] {
        const auto bytes = pattern(stateSize, 9);
        const Result<WriteTarget> target = checkWriteTarget(file);
        if (target) return 2;
        const Result<> written = writeWholeFile(file, bytes.data(), bytes.size());
        if (written) return 3;
        if (written.failure().code != EACCES || target.failure() != written.failure()) return 4;
        const std::string& why = written.failure().reason;
        if (why.find("Permission denied: the folder") != 0 ||
            why.find("Allow writing in that folder") == std::string::npos)
            return 5;
        // Saves killed at random moments, over and over.
        for (int round = 0; round < 20; ++round) {
            const pid_t saver = ::fork();
            if (saver == 0) {
                for (;;) (void)writeWholeFile(file, bytes.data(), bytes.size());
            }
            ::usleep(200 + static_cast<useconds_t>(round) * 300);
            ::kill(saver, SIGKILL);
            ::waitpid(saver, nullptr, 0);
            if (readBytes(file) != old) return 6;
        }
        return 0;
    });
    if (result == 77) GTEST_SKIP() << "cannot make a folder unwritable here";
    EXPECT_EQ(result, 0);
    EXPECT_EQ(readBytes(file), old);
    EXPECT_EQ(entries(dir / "locked"), std::vector<std::string>{"state.bin"});
}

// The reason is the open's, not that of the clean-up after it.
TEST(WriteWholeFileTest, NewFileInAFolderWithoutPermissionSaysPermissionDenied) {
    TempDir dir;
    fs::create_directory(dir / "locked");
    writeBytes(dir / "locked/other", {1});
    const int result = inLockedFolder(dir / "locked", dir / "locked/other", [&] {
        const auto bytes = pattern(8);
        const Result<> written = writeWholeFile(dir / "locked/new.bin", bytes.data(), bytes.size());
        if (written) return 2;
        return written.failure().code == EACCES ? 0 : 3;
    });
    if (result == 77) GTEST_SKIP() << "cannot make a folder unwritable here";
    EXPECT_EQ(result, 0);
}

TEST(ReadFileTextTest, ReadsWholeFileWithinLimit) {
    TempDir dir;
    test::writeText(dir / "a.ini", std::string(200000, 'x'));
    const auto text = readFileText(dir / "a.ini", 1 << 20);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->size(), 200000u);
    EXPECT_EQ(readFileText(dir / "a.ini", 1000).failure(), Failure::system(EFBIG));
    EXPECT_EQ(readFileText(dir / "missing.ini", 1000).failure(), Failure::system(ENOENT));
    EXPECT_EQ(readFileText(dir.path(), 1000).failure(), Failure::system(EISDIR));
    EXPECT_EQ(readFileBytes(dir / "a.ini", 1000).failure(), Failure::system(EFBIG));
}

TEST(SameFileTest, LinksAndSpellingsOfOneFile) {
    TempDir dir;
    fs::create_directory(dir / "sub");
    writeBytes(dir / "rom.bin", pattern(8));
    writeBytes(dir / "copy.bin", pattern(8));
    fs::create_symlink("rom.bin", dir / "link.bin");
    fs::create_hard_link(dir / "rom.bin", dir / "hard.bin");
    EXPECT_TRUE(sameFile(dir / "rom.bin", dir / "link.bin"));
    EXPECT_TRUE(sameFile(dir / "hard.bin", dir / "link.bin"));
    EXPECT_TRUE(sameFile(dir / "rom.bin", dir / "sub/../rom.bin"));
    EXPECT_FALSE(sameFile(dir / "rom.bin", dir / "copy.bin"));  // the same bytes, another file
    EXPECT_FALSE(sameFile(dir / "rom.bin", dir / "missing.bin"));
    // Neither made yet: the same place once links are followed.
    fs::create_symlink("new.bin", dir / "dangling.bin");
    EXPECT_TRUE(sameFile(dir / "dangling.bin", dir / "sub/../new.bin"));
    EXPECT_FALSE(sameFile(dir / "dangling.bin", dir / "other.bin"));
    EXPECT_FALSE(sameFile("", ""));
}

}  // namespace
}  // namespace vantrel
