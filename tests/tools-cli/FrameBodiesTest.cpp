// Which rigid body each place in a simulated frame carries, the hands among them.

#include "tools/mocap-sim/FrameBodies.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct PlanCase {
    const char* name;
    std::function<void(SimOptions&)> changes;  // applied to the defaults
    // The ids in frame order, with H for the headset, R and L for the hands, P for a prop.
    std::string expected;
};

void PrintTo(const PlanCase& c, std::ostream* out) {
    *out << c.name;
}

std::string Describe(const std::vector<FrameBody>& bodies) {
    std::string text;
    for (const FrameBody& body : bodies) {
        const char* role = "";
        switch (body.role) {
            case BodyRole::kHeadset:
                role = "H";
                break;
            case BodyRole::kRightHand:
                role = "R";
                break;
            case BodyRole::kLeftHand:
                role = "L";
                break;
            case BodyRole::kProp:
                role = "P";
                break;
        }
        text += (text.empty() ? "" : " ") + std::to_string(body.id) + role;
    }
    return text;
}

class FrameBodiesPlan : public testing::TestWithParam<PlanCase> {};

TEST_P(FrameBodiesPlan, PlacesEachBodyOnce) {
    SimOptions options;
    GetParam().changes(options);
    EXPECT_EQ(Describe(PlanFrameBodies(options)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FrameBodiesPlan,
    testing::Values(
        // The ids are those the frames always carried; two of them now move as hands.
        PlanCase{"Defaults", [](SimOptions&) {}, "2R 1H 3L 4P"},
        PlanCase{"NoHands", [](SimOptions& o) { o.hands = false; }, "2P 1H 3P 4P"},
        PlanCase{"OtherHeadsetId", [](SimOptions& o) { o.headsetId = 7; }, "2R 7H 3L 8P"},
        PlanCase{"OtherHeadsetIdNoHands",
                 [](SimOptions& o) {
                     o.headsetId = 7;
                     o.hands = false;
                 },
                 "8P 7H 9P 10P"},
        PlanCase{"HeadsetAlone", [](SimOptions& o) { o.bodyCount = 1; }, "1H"},
        PlanCase{"RoomForTheRightHandOnly", [](SimOptions& o) { o.bodyCount = 2; }, "2R 1H"},
        PlanCase{"HeadsetOnTheRightHandsId", [](SimOptions& o) { o.headsetId = 2; }, "3L 2H 4P 5P"},
        PlanCase{"HeadsetOnTheLeftHandsId", [](SimOptions& o) { o.headsetId = 3; }, "2R 3H 4P 5P"},
        PlanCase{"BothHandsOneId", [](SimOptions& o) { o.leftHandId = 2; }, "2R 1H 3P 4P"},
        PlanCase{"PropsPassOverTheHands",
                 [](SimOptions& o) {
                     o.rightHandId = 3;
                     o.leftHandId = 5;
                     o.bodyCount = 6;
                 },
                 "3R 1H 5L 2P 4P 6P"},
        PlanCase{"HandsBelowTheHeadset",
                 [](SimOptions& o) {
                     o.headsetId = 1000000;
                     o.rightHandId = 11;
                     o.leftHandId = 10;
                 },
                 "11R 1000000H 10L 1000001P"}),
    [](const testing::TestParamInfo<PlanCase>& test) { return std::string(test.param.name); });

}  // namespace
