#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "CheckTestSupport.h"
#include "platform/Platform.h"
#include "tools/check/ConfigurationCheck.h"

namespace {

class ConfigurationCheckTest : public testing::Test {
protected:
    std::optional<TrackingSettings> Check(Report& report) { return CheckConfiguration(report); }

    std::string FilePath() const {
        return folder_.Path().string() + platform::kPathSeparator + "TarvexOpenXRConfig.ini";
    }

    TemporaryFolder folder_;
    ScopedVariable config_{"TARVEX_OPENXR_CONFIG", folder_.Path().string()};
};

TEST_F(ConfigurationCheckTest, WithoutTheVariableItFailsAndSaysWhatToSet) {
    ScopedVariable unset("TARVEX_OPENXR_CONFIG", std::nullopt);
    Report report;
    EXPECT_FALSE(Check(report));
    const CheckLine line = OnlyLineOf(report, "variable");
    EXPECT_EQ(line.verdict, Verdict::kFail);
    EXPECT_NE(line.advice.find("TARVEX_OPENXR_CONFIG"), std::string::npos);
    EXPECT_FALSE(report.Passed());
}

// Each broken file fails with exactly the message the layer's start-up would throw.
TEST_F(ConfigurationCheckTest, BadFilesFailWithTheReadersOwnMessage) {
    struct Case {
        std::optional<std::string> text;  // nullopt: no file at all
        std::string message;
    };
    const Case cases[] = {
        {std::nullopt, "ini file not found."},
        {SettingsText("ipd"), "key 'ipd' not found in section 'SETTINGS'."},
        {SettingsText("controllerlrbid"), "key 'controllerlrbid' not found in section 'SETTINGS'."},
        {SettingsText("ipd", "wide"), "cannot parse value 'wide' to type<T>."},
        {SettingsText("overridel", "Maybe"), "'maybe' is not a valid boolean value."},
        {"[settings]\nipd = 60\n", "section 'SETTINGS' not found."},
        {"[SETTINGS]\nthis line is broken\n", "parse error on line no: 2"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(FilePath());
        if (c.text) {
            WriteFile(FilePath(), *c.text);
        }
        Report report;
        EXPECT_FALSE(Check(report));
        const CheckLine line = OnlyLineOf(report, "settings");
        EXPECT_EQ(line.verdict, Verdict::kFail);
        EXPECT_NE(line.message.find(FilePath()), std::string::npos) << line.message;
        // The message ends with the reader's text, byte for byte.
        ASSERT_GE(line.message.size(), c.message.size());
        EXPECT_EQ(line.message.substr(line.message.size() - c.message.size()), c.message);
        EXPECT_FALSE(line.advice.empty());
        EXPECT_NE(report.Text().find(c.message), std::string::npos);
    }
}

TEST_F(ConfigurationCheckTest, GoodSettingsAreShownAsTheLayerUsesThem) {
    struct Case {
        std::string connectionType;
        std::string mode;
    };
    for (const Case& c : {Case{"1", "multicast"}, Case{"0", "unicast"}, Case{"2", "unicast"},
                          Case{"-1", "unicast"}}) {
        WriteFile(FilePath(), SettingsText("connectiontype", c.connectionType));
        Report report;
        const std::optional<TrackingSettings> settings = Check(report);
        ASSERT_TRUE(settings);
        EXPECT_EQ(settings->connectionType, c.mode == "multicast" ? 0 : 1);
        const CheckLine line = OnlyLineOf(report, "settings");
        EXPECT_EQ(line.verdict, Verdict::kOk);
        EXPECT_NE(line.message.find(c.mode), std::string::npos) << line.message;
        EXPECT_NE(line.message.find("ipd 63.5 mm"), std::string::npos) << line.message;
        EXPECT_EQ(line.details.size(), 9u);
        EXPECT_TRUE(report.Passed());
    }
}

}  // namespace
