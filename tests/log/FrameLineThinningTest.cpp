#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "log/FrameLineThinning.h"

namespace {

constexpr int64_t kSecond = FrameLineThinning::kPeriodNanoseconds;

TEST(FrameLineThinningTest, KnowsThePerFrameLinesByTheirLeadingText) {
    const std::pair<std::string, bool> cases[] = {
        {"Position set\n", true},
        {"Position not set\n", true},
        {"Setting HMD pos to 1, 2, 3\n", true},
        {"Setting HMD pos to ", true},
        {"Position set", false},  // a piece without its line end is not that line
        {"Position settled\n", false},
        {"Waiting\n", true},
        {"Waiting", false},
        {"Unable to find headset position\n", false},
        {"Setting HMD", false},
        {"", false},
    };
    for (const auto& [line, perFrame] : cases) {
        EXPECT_EQ(FrameLineThinning::KindOf(line.data(), line.size()) >= 0, perFrame) << line;
    }
    EXPECT_NE(FrameLineThinning::KindOf("Position set\n", 13),
              FrameLineThinning::KindOf("Position not set\n", 17));
}

TEST(FrameLineThinningTest, OneLineASecondPerKindAndTheCountOfTheRest) {
    FrameLineThinning thinning;
    const int64_t start = 1'800'000'000 * kSecond;
    uint64_t leftOut = 12345;
    EXPECT_TRUE(thinning.Admit(0, start, &leftOut));
    EXPECT_EQ(leftOut, 0u);
    EXPECT_TRUE(thinning.Admit(1, start, &leftOut)) << "each kind has its own second";
    for (int i = 1; i < 10; ++i) {
        EXPECT_FALSE(thinning.Admit(0, start + i * kSecond / 10, &leftOut));
    }
    EXPECT_TRUE(thinning.Admit(0, start + kSecond, &leftOut));
    EXPECT_EQ(leftOut, 9u);
    EXPECT_FALSE(thinning.Admit(0, start + kSecond + 1, &leftOut));
    // The wall clock set back by an hour: the kind is not silenced for that hour.
    EXPECT_TRUE(thinning.Admit(0, start - 3600 * kSecond, &leftOut));
    EXPECT_EQ(leftOut, 1u);
}

}  // namespace
