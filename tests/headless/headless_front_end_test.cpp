#include "headless/headless_front_end.h"

#include <gtest/gtest.h>

namespace vantrel::headless {
namespace {

TEST(HeadlessFrontEndTest, ReceiveNamesFollowWhatIsSentAndFailedWritesAreKept) {
    HeadlessFrontEnd front;
    front.out = nullptr;
    front.receivePath = "/data/v1.2/back";
    EXPECT_EQ(front.askSaveName(true), "/data/v1.2/back.85b");
    EXPECT_EQ(front.askSaveName(false), "/data/v1.2/back.85g");

    front.filePrompt(FilePrompt::cannotOpen, "/data/v1.2/back.85g", "No space left on device");
    EXPECT_EQ(front.messages().back(),
              "Can't open file /data/v1.2/back.85g. No space left on device");
    EXPECT_EQ(front.failedWrites(),
              std::vector<std::string>{"/data/v1.2/back.85g (No space left on device)"});
    EXPECT_EQ(front.writtenNames(), std::vector<std::string>{"/data/v1.2/back.85b"});
}

}  // namespace
}  // namespace vantrel::headless
