#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "override/PosePrediction.h"
#include "tracking/CaptureOrder.h"

namespace {

constexpr double kPeriod = 1.0 / 240.0;
constexpr double kPi = 3.14159265358979323846;
constexpr PredictionLimits kLimits{0.050, 0.030};
// The layer's own limits: far enough ahead that nothing here is clamped, 100 ms without frames at
// most.
constexpr PredictionLimits kLayerLimits{0.200, 0.100};

// A head tilted up by `pitch` degrees, turned `yaw` degrees about the vertical: Yaw ⊗ Pitch,
// written out by hand so that no quaternion code under test computes what is expected.
XrQuaternionf YawPitch(double yaw, double pitch) {
    const double y = yaw * kPi / 360.0;
    const double p = pitch * kPi / 360.0;
    return {static_cast<float>(std::cos(y) * std::sin(p)),
            static_cast<float>(std::sin(y) * std::cos(p)),
            static_cast<float>(-std::sin(y) * std::sin(p)),
            static_cast<float>(std::cos(y) * std::cos(p))};
}

// A head moving at 1 m/s along +X and turning at 90 degrees per second about the vertical, tilted
// up by `pitch` degrees, as a function of time; each frame arrives as it is captured.
PoseSample Moving(double t, double pitch = 0.0) {
    PoseSample sample;
    sample.time = t;
    sample.position = {static_cast<float>(t), 1.7f, 0.0f};
    sample.orientation = YawPitch(90.0 * t, pitch);
    sample.arrival = t;
    return sample;
}

PoseHistory::Snapshot History(std::initializer_list<double> times) {
    PoseHistory::Snapshot history;
    for (double t : times) {
        history.samples[history.count++] = Moving(t);
    }
    return history;
}

// Eight samples at 240 Hz, the newest at t = 10 s.
PoseHistory::Snapshot Steady(double pitch = 0.0) {
    PoseHistory::Snapshot history;
    for (int i = 7; i >= 0; --i) {
        history.samples[history.count++] = Moving(10.0 - i * kPeriod, pitch);
    }
    return history;
}

struct PredictionCase {
    std::string name;
    PoseHistory::Snapshot history;
    double target;
    double now;
    double expectedTime;  // the motion's time whose pose is expected
    double pitch = 0.0;   // of the moving head, degrees
    PredictionLimits limits = kLimits;
};

void PrintTo(const PredictionCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

class PosePredictionTest : public testing::TestWithParam<PredictionCase> {};

TEST_P(PosePredictionTest, GivesThePoseOfTheExpectedTime) {
    const PredictionCase& c = GetParam();
    const PoseSample predicted = PredictPose(c.history, c.target, c.now, c.limits);
    const PoseSample expected = Moving(c.expectedTime, c.pitch);
    for (const float component :
         {predicted.position.x, predicted.position.y, predicted.position.z, predicted.orientation.x,
          predicted.orientation.y, predicted.orientation.z, predicted.orientation.w}) {
        ASSERT_TRUE(std::isfinite(component));
    }
    // Single-precision samples: about a micrometre and a microradian of rounding.
    EXPECT_NEAR(predicted.position.x, expected.position.x, 2e-6);
    EXPECT_NEAR(predicted.position.y, expected.position.y, 2e-6);
    EXPECT_NEAR(predicted.position.z, expected.position.z, 2e-6);
    EXPECT_NEAR(predicted.orientation.x, expected.orientation.x, 2e-6);
    EXPECT_NEAR(predicted.orientation.y, expected.orientation.y, 2e-6);
    EXPECT_NEAR(predicted.orientation.z, expected.orientation.z, 2e-6);
    EXPECT_NEAR(predicted.orientation.w, expected.orientation.w, 2e-6);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PosePredictionTest,
    testing::Values(
        // A steady motion is continued exactly: 20 ms ahead is 2 cm and 1.8 degrees further.
        PredictionCase{"TwentyMillisecondsAhead", Steady(), 10.020, 10.001, 10.020},
        PredictionCase{"AtTheNewestSample", Steady(), 10.0, 10.001, 10.0},
        // A display time before the newest frame gets the newest frame, never an older pose.
        PredictionCase{"TargetInThePastGivesTheNewest", Steady(), 9.990, 10.001, 10.0},
        // Further ahead than the limit is clamped to it.
        PredictionCase{"ClampedToTheHorizon", Steady(), 10.500, 10.001, 10.050},
        // Two samples are enough for a line.
        PredictionCase{"TwoSamples", History({9.996, 10.0}), 10.010, 10.001, 10.010},
        // A gap longer than maxGap: only the samples after it count; one alone cannot say where
        // the head goes.
        PredictionCase{"AcrossAGapNothingIsExtrapolated", History({9.900, 9.904, 10.0}), 10.020,
                       10.001, 10.0},
        // The stream stopped: the newest pose stays where it is, however far the target.
        PredictionCase{"StoppedStreamKeepsTheNewest", Steady(), 10.120, 10.100, 10.0},
        PredictionCase{"OneSample", History({10.0}), 10.020, 10.001, 10.0},
        // A frame lost before the newest costs no prediction: the line reaches across it.
        PredictionCase{"OneMissingFrameIsReachedAcross",
                       History({10.0 - 4 * kPeriod, 10.0 - 3 * kPeriod, 10.0 - 2 * kPeriod, 10.0}),
                       10.020, 10.001, 10.020},
        // Captures further apart than maxGap (30 ms here) are not reached across, however
        // regular: a 25 Hz stream is not predicted.
        PredictionCase{"StreamSlowerThanMaxGapIsNotPredicted", History({9.880, 9.920, 9.960, 10.0}),
                       10.020, 10.001, 10.0},
        // A repeated frame, two samples with one capture time, forms no line: the newest pose,
        // not a division by zero.
        PredictionCase{"RepeatedFrameGivesTheNewest", History({10.0, 10.0}), 10.020, 10.001, 10.0},
        // A head tilted up 30 degrees and turning about the vertical: the turn to come is about
        // the vertical too, applied before the newest orientation, not after it (which would turn
        // the head about its own tilted axis). At t = 10 s the head is turned 900 degrees; 20 ms
        // later 901.8, expected (-0.004065, 0.965807, -0.258787, -0.015172): x and w are
        // -sin(0.9)·(sin 15, cos 15), y and z are cos(0.9)·(cos 15, -sin 15).
        PredictionCase{"TiltedHeadTurningAboutTheVertical", Steady(30.0), 10.020, 10.001, 10.020,
                       30.0},
        // The spacing is the lower median of the gaps. Gaps of 20, 20, 40 and 40 ms: a spacing of
        // 20 ms, so 50 ms after the newest frame the fade (full until 40 ms, over by 65 ms) has
        // 60 % of the 70 ms to the target left: 42 ms. A spacing of 40 ms would still be full.
        PredictionCase{"SpacingIsTheLowerMedianOfTheGaps",
                       History({9.880, 9.920, 9.960, 9.980, 10.0}), 10.070, 10.050, 10.042, 0.0,
                       kLayerLimits},
        // A repeated frame adds no gap of zero to the median: the spacing stays 20 ms, and 30 ms
        // after the newest frame prediction is full. A spacing of zero would have faded it
        // (full until the 25 ms floor).
        PredictionCase{"RepeatedFrameLeavesTheSpacing", History({9.980, 9.980, 10.0}), 10.050,
                       10.030, 10.050, 0.0, kLayerLimits}),
    [](const auto& testCase) { return testCase.param.name; });

// ---- How prediction follows the stream's rate and latency, and fades when frames stop ----

// The display time lies this far ahead of the call.
constexpr double kDisplayAhead = 0.020;

struct FadeCase {
    double rateHz;
    double latencyMs;  // from capture to arrival
    // Silence since the newest frame arrived, by hand: full prediction while it is under
    // max(2 spacings, 25 ms); then a linear fade over max(1 spacing, 25 ms), over by 100 ms.
    double fullUntilMs;
    double fadedByMs;
};

void PrintTo(const FadeCase& c, std::ostream* out) {
    *out << c.rateHz << " Hz, " << c.latencyMs << " ms latency";
}

class PredictionFadeTest : public testing::TestWithParam<FadeCase> {};

// A head on the move, eight frames at the stream's rate, the newest captured at 10 s. The views
// are asked for every quarter millisecond after the newest frame arrived, the display time a fixed
// way ahead, until well after the stream counts as stopped.
TEST_P(PredictionFadeTest, FullWhileFramesComeThenFadingWithoutAJump) {
    const FadeCase& c = GetParam();
    const double spacing = 1.0 / c.rateHz;
    const double latency = c.latencyMs * 1e-3;
    PoseHistory::Snapshot history;
    for (int i = 7; i >= 0; --i) {
        PoseSample sample = Moving(10.0 - i * spacing);
        sample.arrival = sample.time + latency;
        history.samples[history.count++] = sample;
    }
    const PoseSample& newest = history.samples[7];

    constexpr double kStep = 0.00025;
    constexpr double kBoundaryMargin = 0.0003;
    const double fullUntil = c.fullUntilMs * 1e-3;
    const double fadedBy = c.fadedByMs * 1e-3;
    double previousX = 0.0;
    double previousYaw = 0.0;
    double previousOffset = 0.0;
    for (double silence = 0.0; silence <= fadedBy + 0.020; silence += kStep) {
        SCOPED_TRACE(testing::Message() << "silence " << silence * 1e3 << " ms");
        const double now = newest.arrival + silence;
        const double target = now + kDisplayAhead;
        const PoseSample predicted = PredictPose(history, target, now, kLayerLimits);
        const PoseSample full = Moving(target);
        const double x = predicted.position.x;
        const double yaw = 2.0 * std::atan2(predicted.orientation.y, predicted.orientation.w);
        // How far along the way from the newest pose to the full prediction the head is.
        const double along = (x - newest.position.x) / (full.position.x - newest.position.x);

        if (silence < fullUntil - kBoundaryMargin) {
            EXPECT_NEAR(x, full.position.x, 5e-6) << "full prediction expected";
            EXPECT_NEAR(predicted.orientation.y, full.orientation.y, 5e-6);
            EXPECT_NEAR(predicted.orientation.w, full.orientation.w, 5e-6);
        } else if (silence > fadedBy + kBoundaryMargin) {
            EXPECT_EQ(predicted.position.x, newest.position.x) << "the newest pose expected";
            EXPECT_EQ(predicted.orientation.y, newest.orientation.y);
            EXPECT_EQ(predicted.orientation.w, newest.orientation.w);
        } else if (silence > fullUntil + kBoundaryMargin && silence < fadedBy - kBoundaryMargin) {
            EXPECT_NEAR(along, (fadedBy - silence) / (fadedBy - fullUntil), 2e-3)
                << "a linear fade expected";
        }

        // Between two close calls the head moves no more than the motion explains: the head's
        // own motion while the prediction is full, plus the fade's way back to the newest pose,
        // spread over the whole fade.
        if (silence > 0.0) {
            const double fadeRate = previousOffset / (fadedBy - fullUntil);
            EXPECT_LE(std::fabs(x - previousX), kStep * (1.0 + fadeRate) + 5e-6)
                << "position jumped";
            const double turnRate = 0.5 * kPi;  // 90 degrees per second
            EXPECT_LE(std::fabs(std::remainder(yaw - previousYaw, 2.0 * kPi)),
                      kStep * (turnRate + turnRate * fadeRate) + 1e-5)
                << "heading jumped";
        }
        previousX = x;
        previousYaw = yaw;
        previousOffset = std::fabs(full.position.x - newest.position.x);
        if (HasFailure()) {
            return;
        }
    }
}

// At 30 Hz the spacing is 33.3 ms: full for two spacings, a fade over one, ending at 100 ms. At
// 50 Hz (20 ms): full for 40 ms, a fade over the 25 ms floor. From 90 Hz on the floors rule. At
// 20 Hz (50 ms) the fade over one spacing would end at 150 ms: maxGap moves it to 50 to 100 ms.
// The latency changes how far ahead the prediction reaches, never when it fades.
INSTANTIATE_TEST_SUITE_P(RatesAndLatencies, PredictionFadeTest,
                         testing::Values(FadeCase{20, 0, 50, 100}, FadeCase{20, 40, 50, 100},
                                         FadeCase{30, 0, 66.667, 100},
                                         FadeCase{30, 15, 66.667, 100},
                                         FadeCase{30, 40, 66.667, 100}, FadeCase{50, 0, 40, 65},
                                         FadeCase{50, 15, 40, 65}, FadeCase{50, 40, 40, 65},
                                         FadeCase{90, 0, 25, 50}, FadeCase{90, 15, 25, 50},
                                         FadeCase{90, 40, 25, 50}, FadeCase{240, 0, 25, 50},
                                         FadeCase{240, 15, 25, 50}, FadeCase{240, 40, 25, 50}),
                         [](const testing::TestParamInfo<FadeCase>& fadeCase) {
                             return std::to_string(static_cast<int>(fadeCase.param.rateHz)) + "Hz" +
                                    std::to_string(static_cast<int>(fadeCase.param.latencyMs)) +
                                    "msLatency";
                         });

// ---- Lost and late frames cost no prediction ----

struct StreamCase {
    std::string name;
    std::vector<int> arriving;  // frame numbers of a 240 Hz stream, in the order they arrive
};

void PrintTo(const StreamCase& c, std::ostream* out) {
    *out << c.name;
}

class PredictionAcrossLossTest : public testing::TestWithParam<StreamCase> {};

// The moving, turning head's frames arrive 15 ms after their capture, or after the frame before
// when they come late. Each is offered to the capture order and the history as the frame intake
// offers them, and after each the views are asked for, the display 20 ms ahead. Every call, from
// the second frame on, must give the motion's own pose at the display time: a call that fell back
// to the newest frame, or to a frame that came late, would put the head 3.5 cm and 3 degrees back
// (at 90 degrees per second), and the call after it would jump forward again.
TEST_P(PredictionAcrossLossTest, EveryCallGivesThePoseAtTheDisplayTime) {
    constexpr double kLatency = 0.015;
    constexpr double kCallAfterArrival = 0.0005;
    CaptureOrder order;
    PoseHistory history;
    double arrival = 0.0;
    for (const int frame : GetParam().arriving) {
        SCOPED_TRACE(testing::Message() << "after frame " << frame);
        PoseSample sample = Moving(10.0 + frame * kPeriod);
        arrival = std::max(sample.time + kLatency, arrival + kCallAfterArrival);
        sample.arrival = arrival;
        if (order.Take(sample.time)) {
            history.Append(sample);
        }
        PoseHistory::Snapshot snapshot;
        ASSERT_TRUE(history.Read(&snapshot));
        if (snapshot.count < 2) {
            continue;
        }
        const double now = arrival + kCallAfterArrival;
        const double target = now + kDisplayAhead;
        const PoseSample predicted = PredictPose(snapshot, target, now, kLayerLimits);
        const PoseSample expected = Moving(target);
        EXPECT_NEAR(predicted.position.x, expected.position.x, 1e-5);
        EXPECT_NEAR(predicted.orientation.y, expected.orientation.y, 1e-5);
        EXPECT_NEAR(predicted.orientation.w, expected.orientation.w, 1e-5);
        if (HasFailure()) {
            return;
        }
    }
}

std::vector<int> FramesWithout(std::initializer_list<int> lost) {
    std::vector<int> frames;
    for (int frame = 0; frame < 16; ++frame) {
        if (std::find(lost.begin(), lost.end(), frame) == lost.end()) {
            frames.push_back(frame);
        }
    }
    return frames;
}

INSTANTIATE_TEST_SUITE_P(
    LostAndLateFrames, PredictionAcrossLossTest,
    testing::Values(StreamCase{"EveryFrame", FramesWithout({})},
                    StreamCase{"OneLost", FramesWithout({10})},
                    StreamCase{"TwoLostInARow", FramesWithout({10, 11})},
                    StreamCase{"LostHereAndThere", FramesWithout({3, 7, 8, 12})},
                    // One lost frame in every two: the stream at half its rate for a while.
                    StreamCase{"EveryOtherLost", FramesWithout({5, 7, 9, 11, 13})},
                    StreamCase{"OneArrivesAfterTheNext",
                               {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 10, 12, 13, 14, 15}},
                    StreamCase{"OneArrivesThreeFramesLate",
                               {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 10, 14, 15}},
                    StreamCase{"OneArrivesTwice",
                               {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 10, 11, 12, 13, 14, 15}},
                    StreamCase{"LostAndLate", {0, 1, 2, 3, 4, 5, 6, 8, 10, 9, 11, 12, 13, 14, 15}},
                    // A late frame among the first two: the first line is made without it.
                    StreamCase{"LateAtTheStart", {1, 0, 2, 3, 4, 5, 6, 7}}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(PosePredictionNoiseTest, ALineThroughSeveralSamplesDampsJitter) {
    // Alternating half-millimetre noise on a still head: two-point extrapolation 20 ms ahead at
    // 240 Hz would multiply it by 1 + 20/4.17, about six times; the line must not.
    PoseHistory::Snapshot history;
    for (int i = 7; i >= 0; --i) {
        PoseSample sample;
        sample.time = 10.0 - i * kPeriod;
        sample.position = {(i % 2 == 0 ? 0.0005f : -0.0005f), 1.7f, 0.0f};
        history.samples[history.count++] = sample;
    }
    const PoseSample predicted = PredictPose(history, 10.020, 10.001, kLimits);
    EXPECT_LT(std::fabs(predicted.position.x), 0.0015f);
}

TEST(PosePredictionNoiseTest, AnEmptyHistoryGivesNoPose) {
    const PoseSample predicted = PredictPose(PoseHistory::Snapshot{}, 1.0, 1.0, kLimits);
    EXPECT_EQ(predicted.time, 0.0);
}

}  // namespace
