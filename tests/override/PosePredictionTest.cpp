#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <ostream>
#include <string>

#include "override/PosePrediction.h"

namespace {

constexpr double kPeriod = 1.0 / 240.0;
constexpr double kPi = 3.14159265358979323846;
constexpr PredictionLimits kLimits{0.050, 0.030};

XrQuaternionf Yaw(double degrees) {
    const double half = degrees * kPi / 360.0;
    return {0.0f, static_cast<float>(std::sin(half)), 0.0f, static_cast<float>(std::cos(half))};
}

// A head moving at 1 m/s along +X and turning at 90 degrees per second, as a function of time.
PoseSample Moving(double t) {
    PoseSample sample;
    sample.time = t;
    sample.position = {static_cast<float>(t), 1.7f, 0.0f};
    sample.orientation = Yaw(90.0 * t);
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
PoseHistory::Snapshot Steady() {
    PoseHistory::Snapshot history;
    for (int i = 7; i >= 0; --i) {
        history.samples[history.count++] = Moving(10.0 - i * kPeriod);
    }
    return history;
}

struct PredictionCase {
    std::string name;
    PoseHistory::Snapshot history;
    double target;
    double now;
    double expectedTime;  // the motion's time whose pose is expected
};

void PrintTo(const PredictionCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

class PosePredictionTest : public testing::TestWithParam<PredictionCase> {};

TEST_P(PosePredictionTest, GivesThePoseOfTheExpectedTime) {
    const PredictionCase& c = GetParam();
    const PoseSample predicted = PredictPose(c.history, c.target, c.now, kLimits);
    const PoseSample expected = Moving(c.expectedTime);
    // Single-precision samples: about a micrometre and a microradian of rounding.
    EXPECT_NEAR(predicted.position.x, expected.position.x, 2e-6);
    EXPECT_NEAR(predicted.position.y, expected.position.y, 2e-6);
    EXPECT_NEAR(predicted.position.z, expected.position.z, 2e-6);
    EXPECT_NEAR(predicted.orientation.y, expected.orientation.y, 2e-6);
    EXPECT_NEAR(predicted.orientation.w, expected.orientation.w, 2e-6);
    EXPECT_NEAR(predicted.orientation.x, 0.0f, 1e-7);
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
        // A gap: only the samples after it count; one alone cannot say where the head goes.
        PredictionCase{"AcrossAGapNothingIsExtrapolated", History({9.900, 9.904, 10.0}), 10.020,
                       10.001, 10.0},
        // The stream stopped: the newest pose stays where it is, however far the target.
        PredictionCase{"StoppedStreamKeepsTheNewest", Steady(), 10.120, 10.100, 10.0},
        PredictionCase{"OneSample", History({10.0}), 10.020, 10.001, 10.0}),
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
