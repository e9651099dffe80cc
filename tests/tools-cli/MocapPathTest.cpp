// The simulator's paths and its pose noise: where the orbit looks, where the hands are, and the
// size of the noise.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <ostream>
#include <vector>

#include "tools/mocap-sim/MocapPath.h"
#include "tools/mocap-sim/PoseJitter.h"

namespace {

struct Vector {
    double x, y, z;
};

// The body axis `axis` turned by the pose's orientation.
Vector Rotate(const MocapPose& pose, const Vector& axis) {
    const double x = pose.qx, y = pose.qy, z = pose.qz, w = pose.qw;
    // v + 2w (q x v) + 2 q x (q x v)
    const Vector c{y * axis.z - z * axis.y, z * axis.x - x * axis.z, x * axis.y - y * axis.x};
    const Vector cc{y * c.z - z * c.y, z * c.x - x * c.z, x * c.y - y * c.x};
    return {axis.x + 2.0 * (w * c.x + cc.x), axis.y + 2.0 * (w * c.y + cc.y),
            axis.z + 2.0 * (w * c.z + cc.z)};
}

double Norm(const MocapPose& p) {
    return std::sqrt(static_cast<double>(p.qx) * p.qx + static_cast<double>(p.qy) * p.qy +
                     static_cast<double>(p.qz) * p.qz + static_cast<double>(p.qw) * p.qw);
}

// The angle of the turn from b to a, from the vector part of a * conj(b), which keeps its
// precision for small angles where an arc cosine of the dot product would not.
double AngleBetween(const MocapPose& a, const MocapPose& b) {
    const double ax = a.qx, ay = a.qy, az = a.qz, aw = a.qw;
    const double bx = -b.qx, by = -b.qy, bz = -b.qz, bw = b.qw;
    const double x = aw * bx + ax * bw + ay * bz - az * by;
    const double y = aw * by - ax * bz + ay * bw + az * bx;
    const double z = aw * bz + ax * by - ay * bx + az * bw;
    return 2.0 * std::asin(std::min(1.0, std::sqrt(x * x + y * y + z * z)));
}

class Orbit : public testing::TestWithParam<double> {};

TEST_P(Orbit, WalksTheCircleLookingAtTheFloorCentre) {
    const double seconds = GetParam();
    const MocapPose pose = OrbitPose(seconds);
    const MocapPose walk = CircleWalkPose(seconds);
    // The circle walk's place at the same moment.
    EXPECT_FLOAT_EQ(pose.x, walk.x);
    EXPECT_FLOAT_EQ(pose.y, walk.y);
    EXPECT_FLOAT_EQ(pose.z, walk.z);
    EXPECT_NEAR(Norm(pose), 1.0, 1e-6);

    // The line of sight (body +Z) meets the floor at the origin.
    const Vector forward = Rotate(pose, {0.0, 0.0, 1.0});
    ASSERT_LT(forward.y, 0.0);
    const double reach = -pose.y / forward.y;
    EXPECT_NEAR(pose.x + reach * forward.x, 0.0, 0.001);
    EXPECT_NEAR(pose.z + reach * forward.z, 0.0, 0.001);
    EXPECT_NEAR(std::asin(-forward.y) * 180.0 / std::numbers::pi, kOrbitPitchDegrees, 0.01);
    // Eyes level: the body's +X axis stays horizontal.
    EXPECT_NEAR(Rotate(pose, {1.0, 0.0, 0.0}).y, 0.0, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(AroundTheLap, Orbit, testing::Values(0.0, 3.7, 5.0, 10.0, 15.2, 19.99));

TEST(MocapPath, EachKindGivesItsOwnPose) {
    MocapPath path;
    path.fixedPose = {0.1f, 1.2f, 0.3f, 0.0f, 0.0f, 0.0f, 1.0f};
    for (const double t : {0.0, 2.5, 7.0}) {
        path.kind = MocapPathKind::kFixed;
        EXPECT_FLOAT_EQ(path.PoseAt(t).x, 0.1f);
        path.kind = MocapPathKind::kCircleWalk;
        EXPECT_FLOAT_EQ(path.PoseAt(t).qy, CircleWalkPose(t).qy);
        path.kind = MocapPathKind::kOrbit;
        EXPECT_FLOAT_EQ(path.PoseAt(t).qx, OrbitPose(t).qx);
    }
    EXPECT_STREQ(MocapPathName(MocapPathKind::kFixed), "fixed");
    EXPECT_STREQ(MocapPathName(MocapPathKind::kCircleWalk), "circle");
    EXPECT_STREQ(MocapPathName(MocapPathKind::kOrbit), "orbit");
}

MocapPath PathOf(MocapPathKind kind, const MocapPose& fixedPose = MocapPath().fixedPose) {
    MocapPath path;
    path.kind = kind;
    path.fixedPose = fixedPose;
    return path;
}

constexpr float kHalf = 0.70710678f;  // sin and cos of 45 degrees

struct HandCase {
    const char* name;
    MocapPath path;
    double seconds;
    HandSide side;
    MocapPose expected;
};

void PrintTo(const HandCase& c, std::ostream* out) {
    *out << c.name;
}

class HandPose : public testing::TestWithParam<HandCase> {};

// Worked out by hand from the head's pose: the head's position plus 0.2 m to its right or left,
// 0.35 m forward (give or take the swing) and 0.35 m down, turned by its heading; a hand faces
// the head's heading, level.
TEST_P(HandPose, SitsBesideTheHeadWhereWorkedOut) {
    const HandCase& c = GetParam();
    const MocapPose hand = HandPoseAt(c.path, c.seconds, c.side);
    const MocapPose& e = c.expected;
    EXPECT_NEAR(hand.x, e.x, 1e-4);
    EXPECT_NEAR(hand.y, e.y, 1e-4);
    EXPECT_NEAR(hand.z, e.z, 1e-4);
    EXPECT_NEAR(hand.qx, e.qx, 1e-4);
    EXPECT_NEAR(hand.qy, e.qy, 1e-4);
    EXPECT_NEAR(hand.qz, e.qz, 1e-4);
    EXPECT_NEAR(hand.qw, e.qw, 1e-4);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HandPose,
    testing::Values(
        // Facing +Z, the right is -X.
        HandCase{"FixedRight",
                 PathOf(MocapPathKind::kFixed),
                 0.0,
                 HandSide::kRight,
                 {-0.2f, 1.35f, 0.35f, 0, 0, 0, 1}},
        HandCase{"FixedLeft",
                 PathOf(MocapPathKind::kFixed),
                 0.0,
                 HandSide::kLeft,
                 {0.2f, 1.35f, 0.35f, 0, 0, 0, 1}},
        // The fixed head does not walk, so its hands do not swing: the same pose later on.
        HandCase{"FixedRightLater",
                 PathOf(MocapPathKind::kFixed),
                 7.25,
                 HandSide::kRight,
                 {-0.2f, 1.35f, 0.35f, 0, 0, 0, 1}},
        // Turned 90 degrees about Y: facing +X, the right is +Z.
        HandCase{"FixedTurnedRight",
                 PathOf(MocapPathKind::kFixed, {1.0f, 1.6f, -2.0f, 0, kHalf, 0, kHalf}),
                 0.0,
                 HandSide::kRight,
                 {1.35f, 1.25f, -1.8f, 0, kHalf, 0, kHalf}},
        HandCase{"FixedTurnedLeft",
                 PathOf(MocapPathKind::kFixed, {1.0f, 1.6f, -2.0f, 0, kHalf, 0, kHalf}),
                 0.0,
                 HandSide::kLeft,
                 {1.35f, 1.25f, -2.2f, 0, kHalf, 0, kHalf}},
        // Nodding (pitch about X) leaves the hands where they were, even looking straight down.
        HandCase{"FixedLookingStraightDown",
                 PathOf(MocapPathKind::kFixed, {0.0f, 1.7f, 0.0f, kHalf, 0, 0, kHalf}),
                 0.0,
                 HandSide::kRight,
                 {-0.2f, 1.35f, 0.35f, 0, 0, 0, 1}},
        HandCase{"FixedLookingStraightUp",
                 PathOf(MocapPathKind::kFixed, {0.0f, 1.7f, 0.0f, -kHalf, 0, 0, kHalf}),
                 0.0,
                 HandSide::kLeft,
                 {0.2f, 1.35f, 0.35f, 0, 0, 0, 1}},
        // The same turned 90 degrees about Y first: the hands turn with it.
        HandCase{"FixedTurnedLookingStraightDown",
                 PathOf(MocapPathKind::kFixed, {1.0f, 1.6f, -2.0f, 0.5f, 0.5f, -0.5f, 0.5f}),
                 0.0,
                 HandSide::kRight,
                 {1.35f, 1.25f, -1.8f, 0, kHalf, 0, kHalf}},
        HandCase{"FixedTurnedLookingStraightUp",
                 PathOf(MocapPathKind::kFixed, {1.0f, 1.6f, -2.0f, -0.5f, 0.5f, 0.5f, 0.5f}),
                 0.0,
                 HandSide::kLeft,
                 {1.35f, 1.25f, -2.2f, 0, kHalf, 0, kHalf}},
        // The circle's start: head at (1.5, 1.7, 0) facing +Z, no head turn, no swing yet.
        HandCase{"CircleStartRight",
                 PathOf(MocapPathKind::kCircleWalk),
                 0.0,
                 HandSide::kRight,
                 {1.3f, 1.35f, 0.35f, 0, 0, 0, 1}},
        HandCase{"CircleStartLeft",
                 PathOf(MocapPathKind::kCircleWalk),
                 0.0,
                 HandSide::kLeft,
                 {1.7f, 1.35f, 0.35f, 0, 0, 0, 1}},
        // A quarter lap: head at (0, 1.7, 1.5), walking towards -X with the head turned 30
        // degrees to the left, a heading of -60 degrees; the swing is back at its middle.
        HandCase{"CircleQuarterLapRight",
                 PathOf(MocapPathKind::kCircleWalk),
                 5.0,
                 HandSide::kRight,
                 {-0.40311f, 1.35f, 1.50179f, 0, -0.5f, 0, 0.86603f}},
        HandCase{"CircleQuarterLapLeft",
                 PathOf(MocapPathKind::kCircleWalk),
                 5.0,
                 HandSide::kLeft,
                 {-0.20311f, 1.35f, 1.84821f, 0, -0.5f, 0, 0.86603f}},
        // A quarter of a swing: the right hand 5 cm further forward, the left 5 cm back.
        HandCase{"CircleRightSwungForward",
                 PathOf(MocapPathKind::kCircleWalk),
                 0.25,
                 HandSide::kRight,
                 {1.34547f, 1.35f, 0.53903f, 0, 0.06088f, 0, 0.99815f}},
        HandCase{"CircleLeftSwungBack",
                 PathOf(MocapPathKind::kCircleWalk),
                 0.25,
                 HandSide::kLeft,
                 {1.73035f, 1.35f, 0.39116f, 0, 0.06088f, 0, 0.99815f}},
        // The orbit looks down at the centre: the hands stay level, in front towards the centre.
        HandCase{"OrbitStartRight",
                 PathOf(MocapPathKind::kOrbit),
                 0.0,
                 HandSide::kRight,
                 {1.15f, 1.35f, -0.2f, 0, -kHalf, 0, kHalf}},
        HandCase{"OrbitStartLeft",
                 PathOf(MocapPathKind::kOrbit),
                 0.0,
                 HandSide::kLeft,
                 {1.15f, 1.35f, 0.2f, 0, -kHalf, 0, kHalf}},
        HandCase{"OrbitRightSwungForward",
                 PathOf(MocapPathKind::kOrbit),
                 0.25,
                 HandSide::kRight,
                 {1.11230f, 1.35f, -0.11308f, 0, -0.73432f, 0, 0.67880f}},
        HandCase{"OrbitLeftSwungBack",
                 PathOf(MocapPathKind::kOrbit),
                 0.25,
                 HandSide::kLeft,
                 {1.18061f, 1.35f, 0.29353f, 0, -0.73432f, 0, 0.67880f}}),
    [](const testing::TestParamInfo<HandCase>& test) { return std::string(test.param.name); });

class HandsAlongThePath : public testing::TestWithParam<MocapPathKind> {};

// All along a lap, on every path: the hands stay apart, level, facing the head's heading, and
// their swing stays within its few centimetres.
TEST_P(HandsAlongThePath, StayApartAndSwingWithinBounds) {
    const MocapPath path = PathOf(GetParam());
    double leastForward = 1.0;
    double mostForward = 0.0;
    for (double t = 0.0; t < kLapSeconds; t += 0.01) {
        SCOPED_TRACE(t);
        const MocapPose head = path.PoseAt(t);
        const MocapPose right = HandPoseAt(path, t, HandSide::kRight);
        const MocapPose left = HandPoseAt(path, t, HandSide::kLeft);
        const Vector between{static_cast<double>(right.x) - left.x,
                             static_cast<double>(right.y) - left.y,
                             static_cast<double>(right.z) - left.z};
        ASSERT_GE(std::sqrt(between.x * between.x + between.y * between.y + between.z * between.z),
                  0.3);
        const Vector headForward = Rotate(head, {0.0, 0.0, 1.0});
        const double headHeading = std::atan2(headForward.x, headForward.z);
        for (const MocapPose* hand : {&right, &left}) {
            ASSERT_NEAR(Norm(*hand), 1.0, 1e-6);
            const Vector forward = Rotate(*hand, {0.0, 0.0, 1.0});
            ASSERT_NEAR(forward.y, 0.0, 1e-6);
            ASSERT_NEAR(std::remainder(std::atan2(forward.x, forward.z) - headHeading,
                                       2.0 * std::numbers::pi),
                        0.0, 1e-5);
            const Vector offset{static_cast<double>(hand->x) - head.x,
                                static_cast<double>(hand->y) - head.y,
                                static_cast<double>(hand->z) - head.z};
            const Vector rightward = Rotate(*hand, {-1.0, 0.0, 0.0});
            const double across =
                offset.x * rightward.x + offset.y * rightward.y + offset.z * rightward.z;
            const double ahead = offset.x * forward.x + offset.y * forward.y + offset.z * forward.z;
            ASSERT_NEAR(across, hand == &right ? 0.2 : -0.2, 1e-5);
            ASSERT_NEAR(offset.y, -0.35, 1e-5);
            ASSERT_GE(ahead, 0.3 - 1e-5);
            ASSERT_LE(ahead, 0.4 + 1e-5);
            leastForward = std::min(leastForward, ahead);
            mostForward = std::max(mostForward, ahead);
        }
    }
    // The moving paths swing the whole 5 cm each way; the fixed one not at all.
    const double reach = GetParam() == MocapPathKind::kFixed ? 0.0 : 0.05;
    EXPECT_NEAR(leastForward, 0.35 - reach, 1e-4);
    EXPECT_NEAR(mostForward, 0.35 + reach, 1e-4);
}

INSTANTIATE_TEST_SUITE_P(EveryPath, HandsAlongThePath,
                         testing::Values(MocapPathKind::kFixed, MocapPathKind::kCircleWalk,
                                         MocapPathKind::kOrbit),
                         [](const testing::TestParamInfo<MocapPathKind>& test) {
                             return std::string(MocapPathName(test.param));
                         });

struct JitterCase {
    const char* name;
    double positionMm;
    double orientationDegrees;
};

void PrintTo(const JitterCase& c, std::ostream* out) {
    *out << c.name;
}

class Jitter : public testing::TestWithParam<JitterCase> {};

// Over many frames the errors have the RMS sizes asked for, no bias, and unit quaternions.
TEST_P(Jitter, ErrorsHaveTheRequestedSize) {
    const JitterCase& c = GetParam();
    PoseJitter jitter(c.positionMm, c.orientationDegrees, 7);
    constexpr int kDraws = 20000;
    double positionSquares = 0.0;
    double angleSquares = 0.0;
    Vector meanError{0.0, 0.0, 0.0};
    for (int i = 0; i < kDraws; ++i) {
        const MocapPose exact = CircleWalkPose(i * 0.01);
        const MocapPose noisy = jitter.Apply(exact);
        const Vector d{(static_cast<double>(noisy.x) - exact.x) * 1000.0,
                       (static_cast<double>(noisy.y) - exact.y) * 1000.0,
                       (static_cast<double>(noisy.z) - exact.z) * 1000.0};
        positionSquares += d.x * d.x + d.y * d.y + d.z * d.z;
        meanError = {meanError.x + d.x / kDraws, meanError.y + d.y / kDraws,
                     meanError.z + d.z / kDraws};
        ASSERT_NEAR(Norm(noisy), 1.0, 1e-6);
        const double angle = AngleBetween(noisy, exact) * 180.0 / std::numbers::pi;
        angleSquares += angle * angle;
    }
    // Single-precision positions near 1.5 m are good to about 0.1 micrometre.
    EXPECT_NEAR(std::sqrt(positionSquares / kDraws), c.positionMm, 0.03 * c.positionMm + 1e-3);
    EXPECT_NEAR(std::sqrt(angleSquares / kDraws), c.orientationDegrees,
                0.05 * c.orientationDegrees + 2e-3);
    for (const double m : {meanError.x, meanError.y, meanError.z}) {
        EXPECT_NEAR(m, 0.0, 0.05 * c.positionMm + 1e-3);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, Jitter,
                         testing::Values(JitterCase{"Typical", kDefaultJitterPositionMm,
                                                    kDefaultJitterOrientationDegrees},
                                         JitterCase{"PositionOnly", 1.0, 0.0},
                                         JitterCase{"OrientationOnly", 0.0, 0.5}),
                         [](const testing::TestParamInfo<JitterCase>& test) {
                             return std::string(test.param.name);
                         });

TEST(Jitter, NoneLeavesThePoseExactlyAsItWas) {
    PoseJitter jitter(0.0, 0.0, 7);
    const MocapPose exact = OrbitPose(4.2);
    const MocapPose same = jitter.Apply(exact);
    EXPECT_EQ(
        std::vector<float>({same.x, same.y, same.z, same.qx, same.qy, same.qz, same.qw}),
        std::vector<float>({exact.x, exact.y, exact.z, exact.qx, exact.qy, exact.qz, exact.qw}));
}

TEST(Jitter, TheSameSeedDrawsTheSameNoise) {
    PoseJitter first(0.2, 0.05, 11);
    PoseJitter second(0.2, 0.05, 11);
    PoseJitter other(0.2, 0.05, 12);
    const MocapPose exact = CircleWalkPose(1.0);
    const MocapPose a = first.Apply(exact);
    const MocapPose b = second.Apply(exact);
    const MocapPose c = other.Apply(exact);
    EXPECT_EQ(std::vector<float>({a.x, a.y, a.z, a.qx, a.qy, a.qz, a.qw}),
              std::vector<float>({b.x, b.y, b.z, b.qx, b.qy, b.qz, b.qw}));
    EXPECT_NE(a.x, c.x);
}

}  // namespace
