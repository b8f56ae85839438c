#include "session/keys/key_history.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(KeyHistory, NamesUnderEachShiftAndTheOldestForgottenPastTheLimit) {
    EXPECT_EQ(keyHistoryName(keyXVar, {.second = true, .alpha = false}), "[LINK]");
    EXPECT_EQ(keyHistoryName(keyLog, {.second = false, .alpha = true}), "[A]");
    EXPECT_EQ(keyHistoryName(keyEnter, {.second = false, .alpha = true}), "[ENTER]");
    EXPECT_EQ(keyHistoryName(0, {}), "");

    KeyHistory history;
    history.add(0, {});  // no key: not listed
    EXPECT_EQ(history.changes(), 0u);
    history.add(key1, {});
    for (std::size_t i = 1; i < keyHistoryLimit; ++i) history.add(key2, {});
    history.add(key3, {});
    ASSERT_EQ(history.keys().size(), keyHistoryLimit);
    EXPECT_EQ(history.keys().front(), "[2]");
    EXPECT_EQ(history.keys().back(), "[3]");
    EXPECT_EQ(history.text(3), "[2] [2] [3]");
}

}  // namespace
}  // namespace vantrel
