#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

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

// Settings whose text the layer reads as something else than it looks: each case one setting's
// text and the lines it gives, as check name and message. The file still reads, so these warn.
TEST_F(ConfigurationCheckTest, SettingTextsTheLayerReadsDifferentlyWarn) {
    struct Finding {
        std::string check;
        std::string message;
    };
    struct Case {
        std::string key;
        std::string text;
        std::vector<Finding> findings;
    };
    const std::string hash = "\"#\" starts no comment after a value (only \" ;\" does)";
    const std::string range = " mm is outside the human range of 50 to 80 mm";
    const Case cases[] = {
        {"ipd",
         "6.4cm",
         {{"setting_text",
           "\"ipd = 6.4cm\" is read as 6.4 mm: the layer ignores \"cm\" after the "
           "number"},
          {"ipd_range", "ipd 6.4" + range}}},
        {"ipd",
         "64 # millimetres",
         {{"setting_text", "\"ipd = 64 # millimetres\" is read as 64 mm: " + hash}}},
        {"ipd", "64#", {{"setting_text", "\"ipd = 64#\" is read as 64 mm: " + hash}}},
        {"hmdrbid",
         "1 # headset",
         {{"setting_text", "\"hmdrbid = 1 # headset\" is read as 1: " + hash}}},
        {"hmdrbid",
         "1.5",
         {{"setting_text",
           "\"hmdrbid = 1.5\" is read as 1: hmdrbid takes whole numbers, the layer drops \".5\""}}},
        {"controllerlrbid",
         "3.0",
         {{"setting_text",
           "\"controllerlrbid = 3.0\" is read as 3: controllerlrbid takes whole "
           "numbers, the layer drops \".0\""}}},
        {"controllerrrbid",
         "2abc",
         {{"setting_text",
           "\"controllerrrbid = 2abc\" is read as 2: the layer ignores \"abc\" after the number"}}},
        {"connectiontype",
         "1 # multicast",
         {{"setting_text", "\"connectiontype = 1 # multicast\" is read as 1: " + hash}}},
        {"serveraddress",
         "127.0.0.1 # lab",
         {{"setting_text",
           "\"serveraddress = 127.0.0.1 # lab\" is taken whole, \"#\" and all: " + hash}}},
        {"ipd",
         "-64",
         {{"ipd_range", "ipd -64 mm is negative: the left and right eye views swap places"}}},
        {"ipd",
         "-0.064",
         {{"ipd_range", "ipd -0.064 mm is negative: the left and right eye views swap places"},
          {"ipd_range", "ipd -0.064" + range}}},
        {"ipd", "0.064", {{"ipd_range", "ipd 0.064" + range}}},
        {"ipd", "49.9", {{"ipd_range", "ipd 49.9" + range}}},
        {"ipd", "80.5", {{"ipd_range", "ipd 80.5" + range}}},
        {"ipd", "0", {{"ipd_range", "ipd 0" + range}}},
        // What the layer reads as it looks gives nothing.
        {"ipd", "50", {}},
        {"ipd", "80", {}},
        {"ipd", "6.4e1", {}},
        {"ipd", "64 ; millimetres", {}},
        {"hmdrbid", "+1", {}},
        {"hmdrbid", "1 ;# headset", {}},
        {"serveraddress", "127.0.0.1 ; lab", {}},
    };
    for (const Case& c : cases) {
        WriteFile(FilePath(), SettingsText(c.key, c.text));
        Report report;
        ASSERT_TRUE(Check(report)) << c.text;
        EXPECT_TRUE(report.Passed()) << report.Text();
        std::vector<CheckLine> found = LinesOf(report, "setting_text");
        for (const CheckLine& line : LinesOf(report, "ipd_range")) {
            found.push_back(line);
        }
        ASSERT_EQ(found.size(), c.findings.size()) << c.key << " = " << c.text << "\n"
                                                   << report.Text();
        for (size_t i = 0; i < found.size(); ++i) {
            EXPECT_EQ(found[i].check, c.findings[i].check) << c.text;
            EXPECT_EQ(found[i].verdict, Verdict::kWarn) << c.text;
            EXPECT_EQ(found[i].message, c.findings[i].message) << c.text;
            EXPECT_FALSE(found[i].advice.empty()) << c.text;
        }
        const auto facts = nlohmann::json::parse(report.Json())["facts"]["configuration"];
        EXPECT_EQ(facts["questionable_texts"].size(), c.findings.size()) << c.text;
    }
}

TEST_F(ConfigurationCheckTest, AnEyeDistanceInMetresIsNamedAsSuch) {
    WriteFile(FilePath(), SettingsText("ipd", "0.064"));
    Report report;
    ASSERT_TRUE(Check(report));
    EXPECT_NE(OnlyLineOf(report, "ipd_range").advice.find("ipd is in millimetres: write 64"),
              std::string::npos);
}

// The options are said only when the section turns one on, or when the layer would ignore it.
TEST_F(ConfigurationCheckTest, OptionsAreReportedWhenOnOrRefused) {
    struct Case {
        std::string section;
        int lines;  // 0: no options line
        Verdict verdict;
        std::vector<std::string> details;
        std::string message;
    };
    const Case cases[] = {
        {"", 0, Verdict::kInfo, {}, ""},
        {"[OPTIONS]\npredictdisplaytime = false\n", 0, Verdict::kInfo, {}, ""},
        {"[OPTIONS]\npredictdisplaytime = true\ntrackinglossms = 100\n",
         1,
         Verdict::kInfo,
         {"predictdisplaytime = true (at most 50 ms ahead)", "trackinglossms     = 100"},
         "options on, beyond the standard behaviour:"},
        {"[OPTIONS]\ntrackedviewspace = yes\nsubmitruntimeviews = true\n",
         1,
         Verdict::kInfo,
         {"trackedviewspace   = true", "submitruntimeviews = true"},
         "options on, beyond the standard behaviour:"},
        {"[OPTIONS]\nmaxpredictionms = 900\n",
         1,
         Verdict::kWarn,
         {},
         "the layer ignores the [OPTIONS] section: option 'maxpredictionms' must lie between 0 "
         "and 200."},
    };
    for (const Case& c : cases) {
        WriteFile(FilePath(), SettingsText() + c.section);
        Report report;
        ASSERT_TRUE(Check(report)) << c.section;
        const std::vector<CheckLine> lines = LinesOf(report, "options");
        ASSERT_EQ(static_cast<int>(lines.size()), c.lines) << c.section;
        if (c.lines == 1) {
            EXPECT_EQ(lines[0].verdict, c.verdict) << c.section;
            EXPECT_EQ(lines[0].message, c.message) << c.section;
            EXPECT_EQ(lines[0].details, c.details) << c.section;
        }
        EXPECT_TRUE(report.Passed()) << "options never fail the check: " << c.section;
    }
}

// A key of the section that names no option is ignored by the layer: the check names it, with
// the option it most likely means, warns (a misspelt option stays off) and still passes.
TEST_F(ConfigurationCheckTest, UnknownOptionKeysAreNamedWithTheNearestKnownOne) {
    const std::string others =
        "remove the key; the options are predictdisplaytime, maxpredictionms, trackedviewspace, "
        "trackinglossms, submitruntimeviews";
    struct Case {
        std::string section;
        std::vector<std::string> messages;  // one per unknown key, alphabetical
        std::vector<std::string> advice;
        std::vector<std::string> nearest;  // the facts' nearest keys
    };
    const Case cases[] = {
        {"", {}, {}, {}},
        {"[OPTIONS]\npredictdisplaytime = true\nmaxpredictionms = 30\ntrackedviewspace = true\n"
         "trackinglossms = 100\nsubmitruntimeviews = true\n",
         {},
         {},
         {}},
        {"[OPTIONS]\npredictdisplaytime = true\nmaxpredictionsms = 30\n",
         {"option key 'maxpredictionsms' in [OPTIONS] is unknown and ignored (did you mean "
          "'maxpredictionms'?)"},
         {"write maxpredictionms if that is the option you mean"},
         {"maxpredictionms"}},
        {"[OPTIONS]\nTrackingLossMs = 100\nsmoothing = 3\n",
         {"option key 'TrackingLossMs' in [OPTIONS] is unknown and ignored (did you mean "
          "'trackinglossms'?)",
          "option key 'smoothing' in [OPTIONS] is unknown and ignored"},
         {"write trackinglossms if that is the option you mean", others},
         {"trackinglossms", ""}},
        // An unknown key beside a value the layer refuses: both are said.
        {"[OPTIONS]\nmaxpredictionms = 900\npredict = true\n",
         {"option key 'predict' in [OPTIONS] is unknown and ignored"},
         {others},
         {""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.section);
        WriteFile(FilePath(), SettingsText() + c.section);
        Report report;
        ASSERT_TRUE(Check(report));
        EXPECT_TRUE(report.Passed()) << report.Text();
        const std::vector<CheckLine> lines = LinesOf(report, "unknown_option");
        ASSERT_EQ(lines.size(), c.messages.size()) << report.Text();
        for (size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].verdict, Verdict::kWarn);
            EXPECT_EQ(lines[i].message, c.messages[i]);
            EXPECT_EQ(lines[i].advice, c.advice[i]);
        }
        const auto facts = nlohmann::json::parse(report.Json())["facts"]["configuration"];
        ASSERT_EQ(facts["unknown_option_keys"].size(), c.nearest.size());
        for (size_t i = 0; i < c.nearest.size(); ++i) {
            EXPECT_EQ(facts["unknown_option_keys"][i]["nearest"], c.nearest[i]);
        }
    }
}

}  // namespace
