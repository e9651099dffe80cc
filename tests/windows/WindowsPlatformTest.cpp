// The Windows side of the thin platform calls that the stand-in runtime and the demo use.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/Platform.h"

namespace {

TEST(WindowsPlatform, NanosecondsLieOnTheSameCounterAsSeconds) {
    for (int i = 0; i < 100; ++i) {
        const double before = platform::MonotonicSeconds();
        const int64_t nanoseconds = platform::MonotonicNanoseconds();
        const double after = platform::MonotonicSeconds();
        // One counter tick of slack each way for the rounding of the two conversions.
        EXPECT_GE(static_cast<double>(nanoseconds) * 1e-9, before - 1e-6);
        EXPECT_LE(static_cast<double>(nanoseconds) * 1e-9, after + 1e-6);
    }
}

TEST(WindowsPlatform, SleepUntilReturnsNoEarlierThanItsTime) {
    for (const int64_t milliseconds : {1, 5, 20}) {
        const int64_t until = platform::MonotonicNanoseconds() + milliseconds * 1'000'000;
        platform::SleepUntilMonotonicNanoseconds(until);
        EXPECT_GE(platform::MonotonicNanoseconds(), until) << milliseconds << " ms";
    }
}

TEST(WindowsPlatform, EnvironmentValueReachesTheRunTimeAndTheProcessEnvironment) {
    constexpr const char* kName = "TARVEX_PLATFORM_TEST_VARIABLE";
    ASSERT_TRUE(platform::SetEnvironmentValue(kName, "C:\\some folder"));
    ASSERT_NE(std::getenv(kName), nullptr);
    EXPECT_STREQ(std::getenv(kName), "C:\\some folder");
    // What child processes inherit.
    char inherited[64] = "";
    EXPECT_EQ(GetEnvironmentVariableA(kName, inherited, sizeof(inherited)), 14u);
    EXPECT_STREQ(inherited, "C:\\some folder");

    // An empty value removes the variable, as Windows has no empty ones.
    ASSERT_TRUE(platform::SetEnvironmentValue(kName, ""));
    EXPECT_EQ(std::getenv(kName), nullptr);
    EXPECT_EQ(GetEnvironmentVariableA(kName, inherited, sizeof(inherited)), 0u);
}

}  // namespace
