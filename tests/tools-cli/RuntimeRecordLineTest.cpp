// Reading one line of the stand-in runtime's record: which lines are views, and which field a key
// names when another key ends the same way.

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "tools/demo/RuntimeRecord.h"

namespace {

struct LineCase {
    const char* name;
    std::string line;
    std::optional<XrTime> displayTime;  // nullopt: not a views line
    float leftX = 0.0f;
    float rightQw = 0.0f;
};

void PrintTo(const LineCase& c, std::ostream* out) {
    *out << c.name;
}

class RuntimeRecordLine : public testing::TestWithParam<LineCase> {};

TEST_P(RuntimeRecordLine, ReadsTheViewsOfItsEvent) {
    const auto views = demo::ParseViewsLine(GetParam().line, "locate_views");
    ASSERT_EQ(views.has_value(), GetParam().displayTime.has_value());
    if (views) {
        EXPECT_EQ(views->displayTime, *GetParam().displayTime);
        EXPECT_FLOAT_EQ(views->left.position.x, GetParam().leftX);
        EXPECT_FLOAT_EQ(views->right.orientation.w, GetParam().rightQw);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RuntimeRecordLine,
    testing::Values(
        LineCase{"Plain",
                 "locate_views display_time=42 view0=-0.032,1.7,0,0,0,0,1 "
                 "view1=0.032,1.7,0,0,0,0,0.5",
                 42, -0.032f, 0.5f},
        LineCase{"FieldsInAnyOrder",
                 "locate_views view1=1,2,3,0,0,0,0.25 view0=4,5,6,0,0,0,1 display_time=7", 7, 4.0f,
                 0.25f},
        LineCase{"KeyInsideAnotherKeySkipped",
                 "locate_views xview0=9,9,9,0,0,0,1 display_time=8 view0=1,0,0,0,0,0,1 "
                 "view1=2,0,0,0,0,0,1",
                 8, 1.0f, 1.0f},
        LineCase{"KeyAsAValueSkipped",
                 "locate_views note=view0 display_time=9 view0=3,0,0,0,0,0,1 view1=2,0,0,0,0,0,1",
                 9, 3.0f, 1.0f},
        LineCase{"OtherEvent",
                 "projection_layer display_time=1 view0=0,0,0,0,0,0,1 view1=0,0,0,0,0,0,1",
                 std::nullopt},
        LineCase{"EventPrefixOnly",
                 "locate_views_extra display_time=1 view0=0,0,0,0,0,0,1 view1=0,0,0,0,0,0,1",
                 std::nullopt},
        LineCase{"MissingView", "locate_views display_time=1 view0=0,0,0,0,0,0,1", std::nullopt},
        LineCase{"KeyAtTheEnd", "locate_views view0=0,0,0,0,0,0,1 view1=0,0,0,0,0,0,1 display_time",
                 std::nullopt},
        LineCase{"ShortPose", "locate_views display_time=1 view0=0,0,0,0,0,1 view1=0,0,0,0,0,0,1",
                 std::nullopt},
        LineCase{"TimeNotANumber",
                 "locate_views display_time=soon view0=0,0,0,0,0,0,1 view1=0,0,0,0,0,0,1",
                 std::nullopt}),
    [](const testing::TestParamInfo<LineCase>& test) { return std::string(test.param.name); });

}  // namespace
