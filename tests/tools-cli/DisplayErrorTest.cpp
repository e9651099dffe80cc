// The demo's error at display time: received heads made from the simulator's path at known
// times, with the layer's half turn, yaw alignment and eye offsets, give the errors they must;
// the frames without the tracked bits are counted; the per-frame file reads back what was written.

#include "tools/demo/DisplayError.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <ostream>
#include <string>
#include <vector>

#include "tools/demo/ErrorPanel.h"
#include "tools/demo/ErrorSeriesFile.h"
#include "tools/demo/Statistics.h"
#include "tools/mocap-sim/MocapPath.h"

namespace {

constexpr double kPathStart = 1000.0;  // monotonic seconds
constexpr double kIpdMetres = 0.064;

XrQuaternionf Yaw(double angle) {
    return {0.0f, static_cast<float>(std::sin(angle / 2.0)), 0.0f,
            static_cast<float>(std::cos(angle / 2.0))};
}

XrQuaternionf Multiply(const XrQuaternionf& a, const XrQuaternionf& b) {
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
            a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

XrVector3f Rotate(const XrQuaternionf& q, const XrVector3f& v) {
    const XrQuaternionf p = Multiply(Multiply(q, {v.x, v.y, v.z, 0.0f}), {-q.x, -q.y, -q.z, q.w});
    return {p.x, p.y, p.z};
}

// What the application receives from the layer for the path's pose at `poseSeconds` (path time),
// shown at `displaySeconds`: the half turn, the alignment yaw, eyes half the ipd to either side.
demo::ViewSample Received(double poseSeconds, double displaySeconds, double alignmentYaw,
                          XrViewStateFlags flags = 0) {
    const MocapPose pose = CircleWalkPose(poseSeconds);
    const XrQuaternionf yaw = Yaw(alignmentYaw);
    const XrQuaternionf orientation = Multiply(yaw, {-pose.qx, pose.qy, -pose.qz, pose.qw});
    const XrVector3f head = Rotate(yaw, {-pose.x, pose.y, -pose.z});
    const XrVector3f side = Rotate(orientation, {static_cast<float>(kIpdMetres / 2.0), 0.0f, 0.0f});
    demo::ViewSample sample;
    sample.callSeconds = kPathStart + displaySeconds - 0.011;
    sample.displayTime = static_cast<XrTime>(std::llround((kPathStart + displaySeconds) * 1e9));
    sample.displaySeconds = kPathStart + displaySeconds;
    sample.left = {orientation, {head.x - side.x, head.y - side.y, head.z - side.z}};
    sample.right = {orientation, {head.x + side.x, head.y + side.y, head.z + side.z}};
    sample.viewStateFlags = flags;
    return sample;
}

// The heading of the path's pose at t, as the application sees it (before the alignment).
double PathHeading(double t) {
    const MocapPose pose = CircleWalkPose(t);
    return 2.0 * std::atan2(static_cast<double>(pose.qy), static_cast<double>(pose.qw));
}

struct LateCase {
    const char* name;
    double lateSeconds;  // how far the received pose trails the path at display time
    double alignmentYaw;
};

void PrintTo(const LateCase& c, std::ostream* out) {
    *out << c.name;
}

class DisplayError : public testing::TestWithParam<LateCase> {};

// A pose from `late` before the display time misses the path by the chord the walk covers in
// that time, and by the turn of the head in it.
TEST_P(DisplayError, IsWhatThePoseMissesThePathByAtTheDisplayTime) {
    const LateCase& c = GetParam();
    std::vector<demo::ViewSample> samples;
    for (int i = 0; i < 200; ++i) {
        const double display = 2.0 + i / 90.0;
        samples.push_back(Received(display - c.lateSeconds, display, c.alignmentYaw));
    }
    const auto report = demo::MeasureDisplayError(samples, kPathStart, c.alignmentYaw);
    ASSERT_TRUE(report);
    ASSERT_EQ(report->frames, samples.size());
    ASSERT_EQ(report->frameErrors.size(), samples.size());
    const double chordMm = 2.0 * kCircleRadiusMetres *
                           std::fabs(std::sin(std::numbers::pi * c.lateSeconds / kLapSeconds)) *
                           1000.0;
    std::vector<double> expectedRotations;
    for (size_t i = 0; i < samples.size(); ++i) {
        const double display = 2.0 + static_cast<double>(i) / 90.0;
        const demo::FrameError& error = report->frameErrors[i];
        EXPECT_NEAR(error.seconds, static_cast<double>(i) / 90.0, 1e-6);
        // Single-precision poses 1.5 m out are good to a few micrometres.
        EXPECT_NEAR(error.positionMm, chordMm, 0.01) << "frame " << i;
        const double turn = std::fabs(PathHeading(display) - PathHeading(display - c.lateSeconds)) *
                            180.0 / std::numbers::pi;
        EXPECT_NEAR(error.rotationDegrees, turn, 0.001) << "frame " << i;
        expectedRotations.push_back(turn);
    }
    EXPECT_NEAR(report->positionMedianMm, chordMm, 0.01);
    EXPECT_NEAR(report->rotationMedianDegrees, demo::Percentile(expectedRotations, 0.5), 0.001);
    EXPECT_NEAR(report->rotationP99Degrees, demo::Percentile(expectedRotations, 0.99), 0.001);
    EXPECT_NEAR(report->displayAheadMedianMs, 11.0, 0.01);
}

INSTANTIATE_TEST_SUITE_P(Cases, DisplayError,
                         testing::Values(LateCase{"OnTime", 0.0, 0.35},
                                         LateCase{"OneFrameLate", 1.0 / 90.0, 0.35},
                                         LateCase{"LateWithAnotherAlignment", 0.0135, -2.0},
                                         LateCase{"AheadOfTime", -0.005, 1.0}),
                         [](const testing::TestParamInfo<LateCase>& test) {
                             return std::string(test.param.name);
                         });

// An alignment that differs from the layer's turns the whole path about the vertical: every
// head misses by the chord of that turn at the circle's radius.
TEST(DisplayError, AWrongAlignmentShowsAsTheChordOfItsTurn) {
    std::vector<demo::ViewSample> samples;
    for (int i = 0; i < 50; ++i) {
        samples.push_back(Received(3.0 + i / 90.0, 3.0 + i / 90.0, 0.5));
    }
    const double wrongBy = 0.001;
    const auto report = demo::MeasureDisplayError(samples, kPathStart, 0.5 + wrongBy);
    ASSERT_TRUE(report);
    EXPECT_NEAR(report->positionMedianMm, 2.0 * kCircleRadiusMetres * std::sin(wrongBy / 2.0) * 1e3,
                0.01);
    EXPECT_NEAR(report->rotationP99Degrees, wrongBy * 180.0 / std::numbers::pi, 0.001);
}

TEST(DisplayError, NoSamplesNoReport) {
    EXPECT_FALSE(demo::MeasureDisplayError({}, kPathStart, 0.0));
}

TEST(UntrackedFrames, CountsFramesLackingEitherTrackedBit) {
    const XrViewStateFlags valid =
        XR_VIEW_STATE_POSITION_VALID_BIT | XR_VIEW_STATE_ORIENTATION_VALID_BIT;
    const XrViewStateFlags tracked =
        XR_VIEW_STATE_POSITION_TRACKED_BIT | XR_VIEW_STATE_ORIENTATION_TRACKED_BIT;
    const std::vector<XrViewStateFlags> flags = {
        valid | tracked,                                // tracked
        valid,                                          // lost
        valid | XR_VIEW_STATE_POSITION_TRACKED_BIT,     // lost orientation
        valid | XR_VIEW_STATE_ORIENTATION_TRACKED_BIT,  // lost position
        valid | tracked,                                // tracked
    };
    std::vector<demo::ViewSample> samples;
    for (const XrViewStateFlags f : flags) {
        samples.push_back(Received(1.0, 1.0, 0.0, f));
    }
    EXPECT_EQ(demo::CountUntrackedFrames(samples), 3u);
    EXPECT_EQ(demo::CountUntrackedFrames({}), 0u);
}

TEST(Percentile, NearestRank) {
    const std::vector<double> values = {5.0, 1.0, 4.0, 2.0, 3.0};
    EXPECT_EQ(demo::Percentile(values, 0.0), 1.0);
    EXPECT_EQ(demo::Percentile(values, 0.5), 3.0);
    EXPECT_EQ(demo::Percentile(values, 0.99), 5.0);
    EXPECT_EQ(demo::Percentile({}, 0.5), 0.0);
}

class ErrorSeriesFile : public testing::Test {
protected:
    // Named by the test and the moment, so that builds testing side by side do not meet.
    void SetUp() override {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = (std::filesystem::temp_directory_path() /
                 ("tarvex-error-series-" +
                  std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                  std::to_string(stamp) + ".txt"))
                    .string();
    }
    void TearDown() override { std::filesystem::remove(path_); }
    std::string path_;
};

TEST_F(ErrorSeriesFile, ReadsBackWhatWasWritten) {
    const demo::ErrorSeries written{"prediction off", {{0.0, 6.1234, 0.5}, {0.0111, 5.9, 0.25}}};
    ASSERT_TRUE(demo::WriteErrorSeries(path_, written));
    const auto read = demo::ReadErrorSeries(path_);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->label, "prediction off");
    ASSERT_EQ(read->frames.size(), 2u);
    EXPECT_DOUBLE_EQ(read->frames[1].seconds, 0.0111);
    EXPECT_DOUBLE_EQ(read->frames[0].positionMm, 6.1234);
    EXPECT_DOUBLE_EQ(read->frames[1].rotationDegrees, 0.25);
}

TEST_F(ErrorSeriesFile, RefusesWhatIsNotSuchAFile) {
    for (const char* text :
         {"", "seconds position_mm rotation_deg\n1 2 3\n",
          "# tarvex-demo errors at display time: x\nseconds position_mm rotation_deg\n1 2\n",
          "# tarvex-demo errors at display time: x\nseconds position_mm rotation_deg\n1 2 3 4\n"}) {
        std::ofstream(path_) << text;
        EXPECT_FALSE(demo::ReadErrorSeries(path_)) << text;
    }
    EXPECT_FALSE(demo::ReadErrorSeries(path_ + ".missing"));
}

TEST_F(ErrorSeriesFile, PanelDrawsEverySeriesUnderItsEscapedLabel) {
    std::FILE* out = std::fopen(path_.c_str(), "w");
    ASSERT_NE(out, nullptr);
    demo::WriteErrorPanel(out, 0.0, 800.0,
                          {{"off <a&b>", {{0.0, 6.0, 0.5}, {1.0, 7.0, 0.5}}},
                           {"on", {{0.0, 0.2, 0.1}, {1.0, 0.3, 0.1}}}});
    std::fclose(out);
    std::ifstream in(path_);
    const std::string svg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(svg.find("off &lt;a&amp;b&gt;: median 6.00 mm, 99th percentile 7.00 mm"),
              std::string::npos)
        << svg;
    EXPECT_NE(svg.find("on: median 0.20 mm, 99th percentile 0.30 mm"), std::string::npos) << svg;
    size_t lines = 0;
    for (size_t at = svg.find("stroke-width=\"1.2\""); at != std::string::npos;
         at = svg.find("stroke-width=\"1.2\"", at + 1)) {
        ++lines;
    }
    EXPECT_EQ(lines, 2u);
}

}  // namespace
