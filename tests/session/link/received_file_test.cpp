// Storing received variables: the question before an existing file is replaced, and a
// file that is replaced whole or not at all.
#include "session/link/received_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/temp_dir.h"

namespace vantrel::test {
namespace {

class ReceivedFileTest : public ::testing::Test {
protected:
    bool store(const std::string& name, const std::vector<uint8_t>& bytes, bool overwrite) {
        return storeReceivedFile(name, bytes, [&](FilePrompt kind, const std::string& reason) {
            prompts.push_back({kind, name, reason});
            return kind == FilePrompt::overwrite && overwrite;
        });
    }
    std::vector<uint8_t> contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    TempDir dir;
    struct Prompt {
        FilePrompt kind;
        std::string name;
        std::string reason;
    };
    std::vector<Prompt> prompts;
    const std::vector<uint8_t> old = std::vector<uint8_t>(100, 3);
    const std::vector<uint8_t> fresh = std::vector<uint8_t>(60, 9);
};

TEST_F(ReceivedFileTest, ExistingFilesAreAskedAboutAndNeverHalfReplaced) {
    const std::string path = dir / "old.85g";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(old.data()), 100);

    EXPECT_FALSE(store(path, fresh, false));
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0].kind, FilePrompt::overwrite);
    EXPECT_EQ(contents(path), old);

    // A file that may not be written stays as it is, and is not asked about.
    ::chmod(path.c_str(), 0444);
    if (::access(path.c_str(), W_OK) != 0) {  // root may write anyway
        EXPECT_FALSE(store(path, fresh, true));
        EXPECT_EQ(prompts.back().kind, FilePrompt::cannotOpen);
        EXPECT_EQ(prompts.back().reason, "Permission denied");
        EXPECT_EQ(contents(path), old);
    }
    ::chmod(path.c_str(), 0640);

    // Through a symbolic link the file behind it is replaced and the link kept.
    const std::string link = dir / "link.85g";
    std::filesystem::create_symlink(path, link);
    EXPECT_TRUE(store(link, fresh, true));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(contents(path), fresh);
    struct stat info {};
    ::stat(path.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(ReceivedFileTest, NewFileIsWrittenWithoutAQuestion) {
    const std::string path = dir / "new.85g";
    EXPECT_TRUE(store(path, fresh, false));
    EXPECT_TRUE(prompts.empty());
    EXPECT_EQ(contents(path), fresh);
}

}  // namespace
}  // namespace vantrel::test
