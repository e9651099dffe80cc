#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "tracking/NonFinitePoses.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

// Each of the seven components in turn set to each value that is not a finite number.
TEST(NonFinitePosesTest, APoseWithAnyComponentNotFiniteIsNotFinite) {
    for (const float bad : {kNaN, -kNaN, kInfinity, -kInfinity}) {
        for (size_t component = 0; component < 7; ++component) {
            SCOPED_TRACE(testing::Message() << bad << " in component " << component);
            std::array<float, 7> values{1.0f, 1.7f, -2.0f, 0.0f, 0.5f, 0.0f, 0.8660254f};
            values[component] = bad;
            EXPECT_FALSE(IsFinitePose({values[0], values[1], values[2]},
                                      {values[3], values[4], values[5], values[6]}));
            EXPECT_EQ(IsFiniteOrientation({values[3], values[4], values[5], values[6]}),
                      component < 3);
        }
    }
}

TEST(NonFinitePosesTest, FiniteExtremesAreFinite) {
    const float largest = std::numeric_limits<float>::max();
    const float tiniest = std::numeric_limits<float>::denorm_min();
    EXPECT_TRUE(IsFinitePose({largest, -largest, tiniest}, {-tiniest, 0.0f, -0.0f, largest}));
    EXPECT_TRUE(IsFinitePose({0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f, 0.0f}));
    EXPECT_TRUE(IsFiniteOrientation({-tiniest, 0.0f, -0.0f, largest}));
}

// Poses counted at the given times: a line is due at the first, then at most one a second, and
// each due line has the count so far.
TEST(NonFinitePosesTest, ALineAtTheFirstThenAtMostOneASecond) {
    const struct {
        std::string name;
        std::vector<double> times;
        std::vector<uint64_t> lineCounts;  // the count each due line carries
    } cases[] = {
        {"one", {5.0}, {1}},
        {"every frame at 240 Hz for 2.5 s", {}, {1, 241, 481}},
        {"a second apart", {5.0, 6.0, 7.0}, {1, 2, 3}},
        {"just under a second apart", {5.0, 5.999, 6.998}, {1, 3}},
        {"a burst, then one much later", {5.0, 5.1, 5.2, 5.3, 60.0}, {1, 5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<double> times = c.times;
        if (times.empty()) {
            for (int frame = 0; frame < 600; ++frame) {
                times.push_back(5.0 + frame / 240.0);
            }
        }
        NonFinitePoseCount counter;
        std::vector<uint64_t> lineCounts;
        for (const double time : times) {
            uint64_t count = 0;
            if (counter.CountOne(time, &count)) {
                lineCounts.push_back(count);
            }
        }
        EXPECT_EQ(lineCounts, c.lineCounts);
    }
}

}  // namespace
