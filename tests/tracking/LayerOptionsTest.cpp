#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

#include "TestSupport.h"
#include "ini/IniFile.h"
#include "tracking/LayerOptions.h"
#include "tracking/TrackingSettings.h"

namespace {

struct OptionsCase {
    std::string name;
    std::string section;  // the [OPTIONS] lines, or empty for no section
    LayerOptions expected;
    std::string error;  // the message when the section is refused
};

void PrintTo(const OptionsCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

LayerOptions With(bool predict, float maxMs, bool view, float lossMs, bool runtimeViews = false) {
    return {predict, maxMs, view, lossMs, runtimeViews};
}

class LayerOptionsTest : public testing::TestWithParam<OptionsCase> {
protected:
    void SetUp() override {
        folder = MakeTemporaryDirectory();
        SettingsFile settings;
        std::string text = settings.Text();
        if (!GetParam().section.empty()) {
            text += "[OPTIONS]\n" + GetParam().section;
        }
        std::ofstream(folder / kConfigFileName, std::ios::binary) << text;
        SetVariable(kConfigVariable, folder.string().c_str());
    }
    void TearDown() override {
        SetVariable(kConfigVariable, nullptr);
        std::filesystem::remove_all(folder);
    }

    std::filesystem::path folder;
};

TEST_P(LayerOptionsTest, ReadsTheSectionOrReportsWhyNot) {
    const OptionsCase& c = GetParam();
    std::string problem;
    const LayerOptions options = LoadLayerOptions(&problem);
    EXPECT_EQ(problem, c.error);
    EXPECT_EQ(options.predictDisplayTime, c.expected.predictDisplayTime);
    EXPECT_EQ(options.maxPredictionMs, c.expected.maxPredictionMs);
    EXPECT_EQ(options.trackedViewSpace, c.expected.trackedViewSpace);
    EXPECT_EQ(options.trackingLossMs, c.expected.trackingLossMs);
    EXPECT_EQ(options.submitRuntimeViews, c.expected.submitRuntimeViews);
    EXPECT_EQ(options.AnyOn(), c.expected.AnyOn());
}

INSTANTIATE_TEST_SUITE_P(
    Sections, LayerOptionsTest,
    testing::Values(
        OptionsCase{"NoSectionAllOff", "", LayerOptions{}, ""},
        OptionsCase{"EmptySectionAllOff", "; nothing yet\n", LayerOptions{}, ""},
        OptionsCase{"Everything",
                    "predictdisplaytime = true\nmaxpredictionms = 30\ntrackedviewspace = yes\n"
                    "trackinglossms = 100\nsubmitruntimeviews = true\n",
                    With(true, 30.0f, true, 100.0f, true), ""},
        OptionsCase{"OnlyRuntimeViews", "submitruntimeviews = 1\n",
                    With(false, 50.0f, false, 0.0f, true), ""},
        OptionsCase{"OnlyLoss", "trackinglossms = 250\n", With(false, 50.0f, false, 250.0f), ""},
        OptionsCase{"ExplicitlyOff",
                    "predictdisplaytime = false\ntrackedviewspace = 0\nsubmitruntimeviews = no\n",
                    LayerOptions{}, ""},
        OptionsCase{"NotABoolean", "predictdisplaytime = sometimes\n", LayerOptions{},
                    "'sometimes' is not a valid boolean value."},
        OptionsCase{"HorizonOutOfRange", "predictdisplaytime = true\nmaxpredictionms = 500\n",
                    LayerOptions{}, "option 'maxpredictionms' must lie between 0 and 200."},
        OptionsCase{"NegativeLoss", "trackinglossms = -1\n", LayerOptions{},
                    "option 'trackinglossms' must lie between 0 and 10000."},
        // Every bounded option takes both ends of its documented range, and nothing past them.
        OptionsCase{"HorizonAtItsLowest", "maxpredictionms = 0\n", With(false, 0.0f, false, 0.0f),
                    ""},
        OptionsCase{"HorizonAtItsHighest", "maxpredictionms = 200\n",
                    With(false, 200.0f, false, 0.0f), ""},
        OptionsCase{"HorizonJustBelowItsRange", "maxpredictionms = -0.5\n", LayerOptions{},
                    "option 'maxpredictionms' must lie between 0 and 200."},
        OptionsCase{"HorizonJustAboveItsRange", "maxpredictionms = 201\n", LayerOptions{},
                    "option 'maxpredictionms' must lie between 0 and 200."},
        OptionsCase{"LossAtItsLowest", "trackinglossms = 0\n", LayerOptions{}, ""},
        OptionsCase{"LossAtItsHighest", "trackinglossms = 10000\n",
                    With(false, 50.0f, false, 10000.0f), ""},
        OptionsCase{"LossJustBelowItsRange", "trackinglossms = -0.5\n", LayerOptions{},
                    "option 'trackinglossms' must lie between 0 and 10000."},
        OptionsCase{"LossJustAboveItsRange", "trackinglossms = 10001\n", LayerOptions{},
                    "option 'trackinglossms' must lie between 0 and 10000."}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(LayerOptionsWithoutFileTest, NoConfigurationMeansNoOptions) {
    SetVariable(kConfigVariable, nullptr);
    std::string problem;
    EXPECT_FALSE(LoadLayerOptions(&problem).AnyOn());
    EXPECT_EQ(problem, "");

    const std::filesystem::path empty = MakeTemporaryDirectory();
    SetVariable(kConfigVariable, empty.string().c_str());
    EXPECT_FALSE(LoadLayerOptions(&problem).AnyOn())
        << "a missing file is the start-up's to report";
    EXPECT_EQ(problem, "");
    SetVariable(kConfigVariable, nullptr);
    std::filesystem::remove_all(empty);
}

}  // namespace
