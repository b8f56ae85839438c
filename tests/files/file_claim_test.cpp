// A file claimed by one running program at a time: the claim holds across processes
// and every name of the file, and ends with its process however that ends.
#include "files/file_claim.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using Outcome = FileClaim::Outcome;
using test::TempDir;

// A child that claims the file, says so through a pipe, and waits to be killed.
pid_t claimInChild(const std::string& path) {
    int ready[2];
    if (::pipe(ready) != 0) return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ready[0]);
        FileClaim claim;
        const char held = claim.claim(path).outcome == Outcome::held ? 'y' : 'n';
        (void)!::write(ready[1], &held, 1);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char held = 'n';
    (void)!::read(ready[0], &held, 1);
    ::close(ready[0]);
    if (held == 'y') return child;
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return -1;
}

TEST(FileClaimTest, AnotherProcessHasItUntilItIsKilled) {
    TempDir dir;
    const std::string state = dir / "TI85Stat.bin";
    const pid_t holder = claimInChild(state);
    ASSERT_GT(holder, 0);

    FileClaim claim;
    const FileClaim::Claimed busy = claim.claim(state);
    EXPECT_EQ(busy.outcome, Outcome::inUse);
    EXPECT_EQ(busy.holder, holder);
    EXPECT_FALSE(busy.failure);
    EXPECT_FALSE(claim.held());
    // Through a link to it, too.
    fs::create_symlink("TI85Stat.bin", dir / "link.bin");
    EXPECT_EQ(claim.claim(dir / "link.bin").outcome, Outcome::inUse);

    // Killed, the holder leaves no claim behind.
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    EXPECT_EQ(claim.claim(state).outcome, Outcome::held);
    EXPECT_EQ(claim.file(), fs::weakly_canonical(state).string());
    EXPECT_EQ(claim.claim(dir / "link.bin").outcome, Outcome::held);  // the same file
}

TEST(FileClaimTest, TwoClaimsInOneProcessAndWhatARefusalKeeps) {
    TempDir dir;
    FileClaim first;
    FileClaim second;
    ASSERT_EQ(first.claim(dir / "a.bin").outcome, Outcome::held);
    ASSERT_EQ(second.claim(dir / "b.bin").outcome, Outcome::held);
    // A file in use is refused and the claim held so far stays.
    EXPECT_EQ(second.claim(dir / "a.bin").outcome, Outcome::inUse);
    EXPECT_EQ(second.file(), dir / "b.bin");
    EXPECT_EQ(first.claim(dir / "b.bin").outcome, Outcome::inUse);
    // A free one is taken and the old one let go.
    EXPECT_EQ(second.claim(dir / "c.bin").outcome, Outcome::held);
    EXPECT_EQ(first.claim(dir / "b.bin").outcome, Outcome::held);
    first.release();
    second.release();
    // Nothing is left beside the files once every claim is released.
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(FileClaimTest, WhereNoLockCanBeTakenNobodyHasTheFile) {
    TempDir dir;
    FileClaim claim;
    const FileClaim::Claimed missing = claim.claim(dir / "no/such/folder/state.bin");
    EXPECT_EQ(missing.outcome, Outcome::unavailable);
    ASSERT_TRUE(missing.failure);
    EXPECT_EQ(*missing.failure, Failure::system(ENOENT));
    EXPECT_EQ(claim.claim("").outcome, Outcome::unavailable);
}

}  // namespace
}  // namespace vantrel
