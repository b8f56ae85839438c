// Typed keys in emulated time, alone: the queue's bounds and the player's timing.
#include "hardware/typed_keys.h"

#include <gtest/gtest.h>

#include "hardware/key_codes.h"

namespace vantrel {
namespace {

TEST(TypedKeys, QueueTakesKeysUpToItsCapacityAndNothingElse) {
    TypedKeyQueue queue;
    EXPECT_FALSE(queue.push(0));
    EXPECT_FALSE(queue.push(57));
    for (std::size_t i = 0; i < typedKeyCapacity; ++i) ASSERT_TRUE(queue.push(keyEnter));
    EXPECT_FALSE(queue.push(keyEnter));
    EXPECT_EQ(queue.room(), 0u);
    EXPECT_EQ(queue.pop(), keyEnter);
    EXPECT_TRUE(queue.push(key1));  // around the ring's end
    queue.clear();
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(queue.pop(), std::nullopt);
}

TEST(TypedKeys, EachKeyHeldThenReleasedTheNextAtTheGapsEnd) {
    TypedKeyQueue queue;
    TypedKeyPlayer player;
    EXPECT_FALSE(player.advance(1000, queue));
    EXPECT_EQ(player.nextChange(), std::nullopt);
    queue.push(key1);
    queue.push(keyOn);
    EXPECT_FALSE(player.advance(1000, queue));  // an idle player starts at once
    EXPECT_EQ(player.held(), key1);
    EXPECT_EQ(player.nextChange(), 1000 + typedKeyHold);
    player.advance(1000 + typedKeyHold - 1, queue);
    EXPECT_EQ(player.held(), key1);
    player.advance(1000 + typedKeyHold + 7, queue);  // seen a little late
    EXPECT_EQ(player.held(), 0);
    EXPECT_EQ(player.nextChange(), 1000 + typedKeyHold + typedKeyGap);
    EXPECT_TRUE(player.busy());
    // The next key counts from the gap's end, not from when it is seen.
    EXPECT_TRUE(player.advance(1000 + typedKeyHold + typedKeyGap + 50, queue));
    EXPECT_EQ(player.held(), keyOn);
    EXPECT_EQ(player.nextChange(), 1000 + 2 * typedKeyHold + typedKeyGap);
    // A long jump runs through the release and the gap.
    EXPECT_FALSE(player.advance(10'000'000, queue));
    EXPECT_EQ(player.held(), 0);
    EXPECT_FALSE(player.busy());
}

}  // namespace
}  // namespace vantrel
