// The typed keys' queue alone: its bounds. (Their timing: hardware_keys_lcd_test.)
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

}  // namespace
}  // namespace vantrel
