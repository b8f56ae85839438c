// The rewind store against a plain list of every snapshot pushed: the same bytes at
// every depth, the oldest gone beyond the bound, and stepping back one at a time.
#include "session/history/snapshot_store.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>

namespace vantrel {
namespace {

// A run of snapshots as a calculator makes them: mostly the same bytes, a few changed
// each time, now and then a different size (a model's block after the 32800 bytes).
class SnapshotSource {
public:
    std::vector<uint8_t> next() {
        const std::size_t changes = random_() % 300;
        for (std::size_t i = 0; i < changes; ++i)
            state_[random_() % state_.size()] = static_cast<uint8_t>(random_());
        if (random_() % 17 == 0) state_.resize(state_.size() == 32800 ? 32846 : 32800, 0x77);
        return state_;
    }

private:
    std::mt19937 random_{85};
    std::vector<uint8_t> state_ = std::vector<uint8_t>(32800, 0);
};

TEST(SnapshotStoreTest, EveryDepthGivesTheExactBytesAndTheBoundDropsTheOldest) {
    constexpr std::size_t bound = 40;
    SnapshotStore store(bound);
    SnapshotSource source;
    std::deque<std::vector<uint8_t>> expected;
    std::vector<uint8_t> out;
    for (int i = 0; i < 130; ++i) {
        expected.push_back(source.next());
        if (expected.size() > bound) expected.pop_front();
        ASSERT_TRUE(store.push(expected.back()));
        ASSERT_EQ(store.size(), expected.size());
    }
    for (std::size_t back = 0; back < bound; ++back) {
        ASSERT_TRUE(store.at(back, out)) << back;
        EXPECT_EQ(out, expected[bound - 1 - back]) << back;
    }
    EXPECT_FALSE(store.at(bound, out));

    // Stepping back one at a time, then going on from the middle of the past.
    for (int i = 0; i < 15; ++i) {
        ASSERT_TRUE(store.dropNewest());
        expected.pop_back();
        EXPECT_TRUE(std::ranges::equal(store.newest(), expected.back()));
    }
    for (int i = 0; i < 5; ++i) {
        expected.push_back(source.next());
        ASSERT_TRUE(store.push(expected.back()));
    }
    ASSERT_EQ(store.size(), expected.size());
    for (std::size_t back = 0; back < expected.size(); ++back) {
        ASSERT_TRUE(store.at(back, out));
        EXPECT_EQ(out, expected[expected.size() - 1 - back]) << back;
    }
}

TEST(SnapshotStoreTest, ShrinkingKeepsTheNewestAndEmptyingEnds) {
    SnapshotStore store(10);
    SnapshotSource source;
    std::vector<std::vector<uint8_t>> pushed;
    for (int i = 0; i < 8; ++i) {
        pushed.push_back(source.next());
        store.push(pushed.back());
    }
    store.setCapacity(3);
    ASSERT_EQ(store.size(), 3u);
    std::vector<uint8_t> out;
    ASSERT_TRUE(store.at(2, out));
    EXPECT_EQ(out, pushed[5]);
    store.push(pushed[0]);  // and it still turns over
    ASSERT_TRUE(store.at(2, out));
    EXPECT_EQ(out, pushed[6]);

    while (store.dropNewest()) {
    }
    EXPECT_EQ(store.size(), 0u);
    EXPECT_TRUE(store.newest().empty());
    EXPECT_FALSE(store.push(std::vector<uint8_t>(snapshotSizeLimit + 1)));
    EXPECT_EQ(store.size(), 0u);
}

}  // namespace
}  // namespace vantrel
