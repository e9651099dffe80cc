#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <iostream>
#include <limits>
#include <streambuf>
#include <thread>
#include <vector>

#include "OverrideFixture.h"

namespace {

using ViewPoseOverrideTest = OverrideFixture;

XrPosef Pose(const XrQuaternionf& orientation, const XrVector3f& position = {9, 9, 9}) {
    return {orientation, position};
}

// Drops what std::cout is given while it lives: the racing calls' log lines, without redirecting
// the process's standard output around threads (under Wine that capture has stalled them).
class DroppedStandardOutput {
public:
    DroppedStandardOutput() : saved_(std::cout.rdbuf(&drop_)) {}
    ~DroppedStandardOutput() { std::cout.rdbuf(saved_); }
    DroppedStandardOutput(const DroppedStandardOutput&) = delete;
    DroppedStandardOutput& operator=(const DroppedStandardOutput&) = delete;

private:
    // Keeps no state, so that any number of threads may write at once.
    class Drop : public std::streambuf {
    protected:
        std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
        int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    };

    Drop drop_;
    std::streambuf* saved_;
};

// Releases threads at one instant once all have arrived, with atomics alone: the standard
// library's waiting primitives have lost wake-ups in some builds (MinGW's). The release comes
// after a bounded wait even when a thread never arrives.
class StartGate {
public:
    void ArriveAndWait() {
        arrived_.fetch_add(1);
        while (!open_.load()) {
            std::this_thread::yield();
        }
    }

    // True when all `count` threads arrived before the gate opened.
    bool OpenWhenAllArrived(size_t count) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (arrived_.load() < count && std::chrono::steady_clock::now() < until) {
            std::this_thread::yield();
        }
        open_.store(true);
        return arrived_.load() == count;
    }

private:
    std::atomic<size_t> arrived_{0};
    std::atomic<bool> open_{false};
};

TEST_F(ViewPoseOverrideTest, WorkedExampleAlignsTheHeadingOnceAndSpacesTheEyes) {
    Track({1, 1.5f, 2}, kYaw30Q);
    XrPosef left = Pose(kYaw10), right = Pose(kYaw10);

    testing::internal::CaptureStdout();
    tracker.OverrideViewPoses(left, right);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Position set\n");

    const auto yaw = tracker.CapturedYawCorrection();
    ASSERT_TRUE(yaw);
    EXPECT_NEAR(yaw->offset.y, -0.1736482f, 1e-6f);
    EXPECT_NEAR(yaw->offset.w, 0.9848078f, 1e-6f);
    EXPECT_EQ(yaw->offset.x, 0.0f);
    EXPECT_EQ(yaw->offset.z, 0.0f);
    EXPECT_NEAR(yaw->inverse.y, 0.1736482f, 1e-6f);
    EXPECT_NEAR(yaw->inverse.w, 0.9848078f, 1e-6f);
    ExpectPoseNear(left, kYaw10, {0.22794f, 1.5f, 2.23741f});
    ExpectPoseNear(right, kYaw10, {0.28337f, 1.5f, 2.20541f});

    // Once captured, the runtime's heading no longer matters.
    XrPosef laterLeft = Pose(kYaw50), laterRight = Pose(kYaw50);
    testing::internal::CaptureStdout();
    tracker.OverrideViewPoses(laterLeft, laterRight);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(std::memcmp(&laterLeft, &left, sizeof(left)), 0);
    EXPECT_EQ(std::memcmp(&laterRight, &right, sizeof(right)), 0);
}

TEST_F(ViewPoseOverrideTest, IdentityExample) {
    Track({0, 1.6f, 0}, kIdentityQ);
    XrPosef left = Pose(kIdentityQ), right = Pose(kIdentityQ);
    testing::internal::CaptureStdout();
    tracker.OverrideViewPoses(left, right);
    testing::internal::GetCapturedStdout();
    ExpectPoseNear(left, kIdentityQ, {-0.032f, 1.6f, 0});
    ExpectPoseNear(right, kIdentityQ, {0.032f, 1.6f, 0});
}

TEST_F(ViewPoseOverrideTest, ZeroIpdPutsBothEyesAtTheHead) {
    Track({1, 1.5f, 2}, kYaw30Q, 0.0f);
    XrPosef left = Pose(kYaw10), right = Pose(kYaw10);
    testing::internal::CaptureStdout();
    tracker.OverrideViewPoses(left, right);
    testing::internal::GetCapturedStdout();
    ExpectPoseNear(left, kYaw10, {0.2556523f, 1.5f, 2.2214053f});
    EXPECT_EQ(std::memcmp(&left, &right, sizeof(left)), 0);
}

TEST_F(ViewPoseOverrideTest, WithoutAStoredPoseNothingChangesAndNothingIsCaptured) {
    tracker.ipd = 64;
    const XrPosef runtimeLeft = Pose(kYaw10, {-0.035f, 1.7f, 0});
    XrPosef left = runtimeLeft, right = runtimeLeft;
    testing::internal::CaptureStdout();
    tracker.OverrideViewPoses(left, right);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Position not set\n");
    EXPECT_EQ(std::memcmp(&left, &runtimeLeft, sizeof(left)), 0);
    EXPECT_EQ(std::memcmp(&right, &runtimeLeft, sizeof(right)), 0);
    EXPECT_FALSE(tracker.CapturedYawCorrection());

    // The capture happens at the first override after a pose arrives, with that call's heading.
    tracker.StorePose({1, 1.5f, 2}, kYaw30Q);
    testing::internal::CaptureStdout();
    tracker.OverrideViewPoses(left, right);
    testing::internal::GetCapturedStdout();
    ExpectPoseNear(left, kYaw10, {0.22794f, 1.5f, 2.23741f});
}

// A runtime view or a stored pose that is not finite has no heading. The call keeps the
// runtime's views and captures nothing, which would otherwise leave every later view NaN; the
// next call with finite views captures the correction from its own heading, as a first call would.
TEST_F(ViewPoseOverrideTest, NoCorrectionIsCapturedFromAViewOrPoseThatIsNotFinite) {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    const struct {
        const char* name;
        XrQuaternionf runtime;
        XrQuaternionf stored;
    } cases[] = {
        {"runtime view y NaN", {0, kNaN, 0, 0.9961947f}, kYaw30Q},
        {"runtime view x NaN", {kNaN, 0.0871557f, 0, 0.9961947f}, kYaw30Q},
        {"runtime view w infinite", {0, 0.0871557f, 0, kInfinity}, kYaw30Q},
        {"runtime view all NaN", {kNaN, kNaN, kNaN, kNaN}, kYaw30Q},
        {"stored orientation z NaN", kYaw10, {0, 0.2588190f, kNaN, 0.9659258f}},
        {"stored orientation w minus infinity", kYaw10, {0, 0.2588190f, 0, -kInfinity}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MocapTracker fresh;
        fresh.ipd = 64;
        fresh.StorePose({1, 1.5f, 2}, c.stored);
        const XrPosef runtime = Pose(c.runtime, {-0.035f, 1.7f, 0});
        XrPosef left = runtime, right = runtime;
        testing::internal::CaptureStdout();
        fresh.OverrideViewPoses(left, right);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "Position not set\n");
        EXPECT_EQ(std::memcmp(&left, &runtime, sizeof(left)), 0);
        EXPECT_EQ(std::memcmp(&right, &runtime, sizeof(right)), 0);
        EXPECT_FALSE(fresh.CapturedYawCorrection());

        fresh.StorePose({1, 1.5f, 2}, kYaw30Q);
        left = Pose(kYaw10);
        right = Pose(kYaw10);
        testing::internal::CaptureStdout();
        fresh.OverrideViewPoses(left, right);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "Position set\n");
        ExpectPoseNear(left, kYaw10, {0.22794f, 1.5f, 2.23741f});
        ExpectPoseNear(right, kYaw10, {0.28337f, 1.5f, 2.20541f});
    }
}

TEST_F(ViewPoseOverrideTest, TwoThreadsCaptureOneCorrection) {
    // Each round races two first overrides with different runtime headings; both must end with
    // the same correction, whichever thread captured it.
    for (int round = 0; round < 200; ++round) {
        MocapTracker racing;
        racing.ipd = 64;
        racing.StorePose({1, 1.5f, 2}, kYaw30Q);
        std::array<XrPosef, 4> poses{Pose(kYaw10), Pose(kYaw10), Pose(kYaw50), Pose(kYaw50)};
        {
            const DroppedStandardOutput dropped;
            std::thread first([&] { racing.OverrideViewPoses(poses[0], poses[1]); });
            std::thread second([&] { racing.OverrideViewPoses(poses[2], poses[3]); });
            first.join();
            second.join();
        }
        ASSERT_EQ(std::memcmp(&poses[0], &poses[2], sizeof(XrPosef)), 0) << "round " << round;
        ASSERT_EQ(std::memcmp(&poses[1], &poses[3], sizeof(XrPosef)), 0) << "round " << round;
    }
}

TEST_F(ViewPoseOverrideTest, FirstCallsReleasedTogetherAllUseTheOneCapturedCorrection) {
    // The threads start their first calls at one instant, so that several compute a correction
    // and all must take the one published first; the ThreadSanitizer flavour runs this too.
    // Each thread's runtime heading differs: the views end facing the captor's heading.
    constexpr size_t kThreads = 4;
    const std::array<XrQuaternionf, kThreads> headings{kYaw10, kYaw30Q, kYaw50, kIdentityQ};
    for (int round = 0; round < 100; ++round) {
        MocapTracker racing;
        racing.ipd = 64;
        racing.StorePose({1, 1.5f, 2}, kYaw30Q);
        std::array<std::array<XrPosef, 2>, kThreads> poses{};
        for (size_t i = 0; i < kThreads; ++i) {
            poses[i] = {Pose(headings[i]), Pose(headings[i])};
        }
        StartGate start;
        bool allArrived = false;
        {
            const DroppedStandardOutput dropped;
            std::vector<std::thread> threads;
            for (size_t i = 0; i < kThreads; ++i) {
                threads.emplace_back([&, i] {
                    start.ArriveAndWait();
                    racing.OverrideViewPoses(poses[i][0], poses[i][1]);
                });
            }
            allArrived = start.OpenWhenAllArrived(kThreads);
            for (std::thread& thread : threads) {
                thread.join();
            }
        }
        ASSERT_TRUE(allArrived) << "round " << round << ": a thread did not start within 10 s";

        ASSERT_TRUE(racing.CapturedYawCorrection());
        for (size_t i = 1; i < kThreads; ++i) {
            ASSERT_EQ(std::memcmp(&poses[i], &poses[0], sizeof(poses[0])), 0)
                << "round " << round << ", thread " << i;
        }
        const XrQuaternionf& facing = poses[0][0].orientation;
        const bool facesACaptorsHeading =
            std::any_of(headings.begin(), headings.end(), [&](const XrQuaternionf& heading) {
                return std::abs(facing.y - heading.y) < 1e-5f &&
                       std::abs(facing.w - heading.w) < 1e-5f;
            });
        ASSERT_TRUE(facesACaptorsHeading) << "round " << round;
    }
}

}  // namespace
