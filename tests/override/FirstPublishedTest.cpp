#include "override/FirstPublished.h"

#include <gtest/gtest.h>

namespace {

constexpr uint64_t kEmpty = ~uint64_t{0};

TEST(FirstPublished, TheFirstValueStandsAndLaterCallersTakeIt) {
    std::atomic<uint64_t> word{kEmpty};
    EXPECT_EQ(PublishFirst(word, kEmpty, 7), 7u);
    // A caller that computed its own value while the first published gets the first's.
    EXPECT_EQ(PublishFirst(word, kEmpty, 9), 7u);
    EXPECT_EQ(word.load(), 7u);
}

}  // namespace
