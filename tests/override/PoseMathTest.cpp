#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "override/QuaternionMath.h"
#include "tracking/MocapTracker.h"

namespace {

constexpr float kTolerance = 1e-6f;

const XrQuaternionf kIdentity{0, 0, 0, 1};
const XrQuaternionf kYaw30{0, 0.2588190f, 0, 0.9659258f};
const XrQuaternionf kYawMinus90{0, -0.7071068f, 0, 0.7071068f};
const XrQuaternionf kYaw90{0, 0.7071068f, 0, 0.7071068f};
const XrQuaternionf kPitch60{0.5f, 0, 0, 0.8660254f};
const XrQuaternionf kPitch120{0.8660254f, 0, 0, 0.5f};

XrQuaternionf Negated(const XrQuaternionf& q) {
    return {-q.x, -q.y, -q.z, -q.w};
}

void ExpectNear(const XrQuaternionf& actual, const XrQuaternionf& expected) {
    EXPECT_NEAR(actual.x, expected.x, kTolerance);
    EXPECT_NEAR(actual.y, expected.y, kTolerance);
    EXPECT_NEAR(actual.z, expected.z, kTolerance);
    EXPECT_NEAR(actual.w, expected.w, kTolerance);
}

void ExpectNear(const XrVector3f& actual, const XrVector3f& expected) {
    EXPECT_NEAR(actual.x, expected.x, kTolerance);
    EXPECT_NEAR(actual.y, expected.y, kTolerance);
    EXPECT_NEAR(actual.z, expected.z, kTolerance);
}

struct YawOnlyCase {
    std::string name;
    XrQuaternionf input;
    XrQuaternionf expected;
};

// Test names and failure messages show the case by its name.
void PrintTo(const YawOnlyCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

class YawOnlyTest : public testing::TestWithParam<YawOnlyCase> {};

TEST_P(YawOnlyTest, KeepsOnlyTheHeading) {
    ExpectNear(MocapTracker::YawOnly(GetParam().input), GetParam().expected);
    // q and -q are the same rotation and give the same heading.
    ExpectNear(MocapTracker::YawOnly(Negated(GetParam().input)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, YawOnlyTest,
    testing::Values(YawOnlyCase{"Identity", kIdentity, kIdentity},
                    YawOnlyCase{"Yaw30", kYaw30, kYaw30},
                    YawOnlyCase{"YawMinus90", kYawMinus90, kYawMinus90},
                    YawOnlyCase{"Pitch60", kPitch60, kIdentity},
                    // The rotated +Z axis points backwards: a half turn about +Y.
                    YawOnlyCase{"Pitch120", kPitch120, {0, 1, 0, -4.371139e-8f}},
                    YawOnlyCase{"YawPitchRoll",
                                {0.1f, 0.2f, 0.3f, 0.9273618f},
                                {0, 0.2214326f, 0, 0.9751757f}}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(PoseMath, HamiltonProductOfTheUnitAxes) {
    const XrQuaternionf i{1, 0, 0, 0}, j{0, 1, 0, 0}, k{0, 0, 1, 0};
    ExpectNear(Multiply(i, j), k);
    ExpectNear(Multiply(j, i), {0, 0, -1, 0});
    ExpectNear(Multiply(k, k), {0, 0, 0, -1});
    ExpectNear(Multiply(kYaw30, Conjugate(kYaw30)), kIdentity);
}

// General quaternions, written (x, y, z, w), where every term of every component is nonzero in
// the first two cases, so that a changed sign or a swapped factor shows. Worked by hand as
// scalar ab_w - a_v.b_v and vector a_w b_v + b_w a_v + a_v x b_v:
//   (1,2,3,4)(5,6,7,8): w = 32 - (5+12+21) = -6;
//     v = (20,24,28) + (8,16,24) + (2*7-3*6, 3*5-1*7, 1*6-2*5) = (20,24,28)+(8,16,24)+(-4,8,-4)
//       = (24,48,48)
//   (5,6,7,8)(1,2,3,4): w = -6 again; the cross product changes sign: (4,-8,4), so
//     v = (8,16,24) + (20,24,28) + (4,-8,4) = (32,32,56)
//   (2,-1,0,3)(1,4,-2,-1): w = -3 - (2-4+0) = -1;
//     v = (3,12,-6) + (-2,1,0) + ((-1)(-2)-0*4, 0*1-2(-2), 2*4-(-1)*1) = (3,12,-6)+(-2,1,0)+(2,4,9)
//       = (3,17,3)
// Small integers keep every product exact in single precision.
TEST(PoseMath, HamiltonProductOfGeneralQuaternions) {
    const struct {
        XrQuaternionf a, b, product;
    } cases[] = {
        {{1, 2, 3, 4}, {5, 6, 7, 8}, {24, 48, 48, -6}},
        {{5, 6, 7, 8}, {1, 2, 3, 4}, {32, 32, 56, -6}},
        {{2, -1, 0, 3}, {1, 4, -2, -1}, {3, 17, 3, -1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "(" << c.a.x << "," << c.a.y << "," << c.a.z << "," << c.a.w << ") * ("
                     << c.b.x << "," << c.b.y << "," << c.b.z << "," << c.b.w << ")");
        ExpectNear(Multiply(c.a, c.b), c.product);
    }
}

TEST(PoseMath, RotationOfVectors) {
    ExpectNear(Rotate(kYaw90, {1, 0, 0}), {0, 0, -1});
    ExpectNear(Rotate(kIdentity, {1, 2, 3}), {1, 2, 3});
    // A quaternion of length 2 scales the rotated vector by 4: nothing is normalised.
    ExpectNear(Rotate({0, 2 * 0.7071068f, 0, 2 * 0.7071068f}, {1, 0, 0}), {0, 0, -4});
}

TEST(PoseMath, EyeOffsetFollowsTheHeadsetsLateralAxis) {
    ExpectNear(MocapTracker::EyeOffset(kIdentity, 0.032f), {0.032f, 0, 0});
    ExpectNear(MocapTracker::EyeOffset(kYaw30, -0.032f), {-0.0277128f, 0, 0.016f});
}

TEST(PoseMath, FlippedHmdPoseNegatesTheYComponents) {
    const HmdPose stored{{1, 2, 3}, {0.1f, 0.2f, 0.3f, 0.9f}, true};
    const XrPosef flipped = MocapTracker::FlippedHmdPose(stored);
    EXPECT_EQ(flipped.position.x, 1.0f);
    EXPECT_EQ(flipped.position.y, -2.0f);
    EXPECT_EQ(flipped.position.z, 3.0f);
    EXPECT_EQ(flipped.orientation.x, 0.1f);
    EXPECT_EQ(flipped.orientation.y, -0.2f);
    EXPECT_EQ(flipped.orientation.z, 0.3f);
    EXPECT_EQ(flipped.orientation.w, 0.9f);
}

}  // namespace
