// The simulator's orbit path and its pose noise: where the orbit looks, and the size of the noise.

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
