#include <gtest/gtest.h>

#include <TarvexVersion.h>
#include <nlohmann/json.hpp>

#include <limits>
#include <string>

#include "CheckTestSupport.h"
#include "tools/check/CheckRun.h"

namespace {

TEST(ReportTest, TextGivesEveryVerdictAndAdviceForProblemsOnly) {
    Report report;
    report.Add("configuration", "a", Verdict::kOk, "fine", "not shown");
    report.Add("configuration", "b", Verdict::kWarn, "doubtful", "look again");
    report.Add("mocap", "c", Verdict::kFail, "broken", "mend it").details = {"detail line"};
    report.Add("mocap", "d", Verdict::kInfo, "noted");
    EXPECT_EQ(report.Text(),
              "Configuration\n"
              "[ OK ] fine\n"
              "[WARN] doubtful\n"
              "       what to do: look again\n"
              "\n"
              "Motion capture\n"
              "[FAIL] broken\n"
              "       detail line\n"
              "       what to do: mend it\n"
              "[INFO] noted\n"
              "\n"
              "Result: FAILED, 1 check failed (1 warning)\n");
    EXPECT_EQ(report.ExitCode(), 1);
}

TEST(ReportTest, TheHeadingComesFirstAndApartFromTheSections) {
    Report report;
    report.SetHeading("tarvex-check 9.9 (some flavour)");
    report.Add("configuration", "a", Verdict::kOk, "fine");
    EXPECT_EQ(report.Text(),
              "tarvex-check 9.9 (some flavour)\n"
              "\n"
              "Configuration\n"
              "[ OK ] fine\n"
              "\n"
              "Result: OK, the layer has what it needs\n");
}

TEST(ReportTest, WarningsAloneDoNotFail) {
    Report report;
    report.Add("mocap", "a", Verdict::kWarn, "slow", "speed up");
    EXPECT_TRUE(report.Passed());
    EXPECT_EQ(report.ExitCode(), 0);
    EXPECT_NE(report.Text().find("Result: OK"), std::string::npos);
}

TEST(ReportTest, JsonHoldsTheSameChecksAndFacts) {
    Report report;
    report.Add("registration", "disable", Verdict::kFail, "switched \"off\"", "unset it");
    report.Add("mocap", "frames", Verdict::kOk, "240 Hz");
    report.Facts("mocap")["frame_rate_hz"] = 240.0;
    const auto document = nlohmann::json::parse(report.Json());
    EXPECT_FALSE(document.at("passed").get<bool>());
    EXPECT_EQ(document.at("exit_code"), 1);
    EXPECT_EQ(document.at("failures"), 1);
    EXPECT_EQ(document.at("warnings"), 0);
    const auto& checks = document.at("checks");
    ASSERT_EQ(checks.size(), 2u);
    EXPECT_EQ(checks[0].at("section"), "registration");
    EXPECT_EQ(checks[0].at("check"), "disable");
    EXPECT_EQ(checks[0].at("verdict"), "fail");
    EXPECT_EQ(checks[0].at("message"), "switched \"off\"");
    EXPECT_EQ(checks[0].at("advice"), "unset it");
    EXPECT_EQ(checks[1].at("check"), "frames");
    EXPECT_FALSE(checks[1].contains("advice"));
    EXPECT_EQ(document.at("facts").at("mocap").at("frame_rate_hz"), 240.0);
}

// The members come in a fixed order, so that the document reads like the text report.
TEST(ReportTest, JsonKeepsItsShapeAndOrder) {
    Report report;
    report.Facts("registration")["places"] = {"b", "a"};
    report.Facts("configuration")["file"] = "x";
    report.Add("registration", "search", Verdict::kInfo, "looked").details = {"one", "two"};
    const std::string text = report.Json();
    EXPECT_EQ(
        text.rfind("{\"passed\":true,\"exit_code\":0,\"failures\":0,\"warnings\":0,"
                   "\"checks\":[{\"section\":\"registration\",\"check\":\"search\","
                   "\"verdict\":\"info\",\"message\":\"looked\",\"details\":[\"one\",\"two\"]}],"
                   "\"facts\":{\"registration\":{\"places\":[\"b\",\"a\"]},"
                   "\"configuration\":{\"file\":\"x\"}}}\n",
                   0),
        0u)
        << text;
}

// A path in a Windows code page is no UTF-8: each bad sequence becomes U+FFFD, the document stays
// valid and the rest of the path stays as it was.
TEST(ReportTest, JsonReplacesBytesThatAreNotUtf8) {
    struct Case {
        std::string path;
        std::string read;
    };
    const std::string replacement = "\xEF\xBF\xBD";
    const Case cases[] = {
        {"C:\\Users\\J\xC3\xB6rg\\x.json", "C:\\Users\\J\xC3\xB6rg\\x.json"},  // UTF-8 kept
        {"C:\\Users\\J\xF6rg\\x.json", "C:\\Users\\J" + replacement + "rg\\x.json"},
        {"a\xE2\x82 b", "a" + replacement + " b"},  // cut-off sequence
        {"\xC0\xAF", replacement + replacement},    // overlong form
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},   // four bytes kept
    };
    for (const Case& c : cases) {
        Report report;
        report.Add("registration", "manifest", Verdict::kOk, "manifest " + c.path);
        report.Facts("registration")["path"] = c.path;
        const std::string text = report.Json();
        nlohmann::json document;
        ASSERT_NO_THROW(document = nlohmann::json::parse(text)) << text;
        EXPECT_EQ(document["checks"][0]["message"], "manifest " + c.read);
        EXPECT_EQ(document["facts"]["registration"]["path"], c.read);
    }
}

TEST(ReportTest, NonFiniteNumbersAreWrittenAsNull) {
    Report report;
    report.Facts("mocap")["values"] = {std::numeric_limits<double>::quiet_NaN(),
                                       std::numeric_limits<double>::infinity()};
    EXPECT_NE(report.Json().find("\"values\":[null,null]"), std::string::npos) << report.Json();
}

TEST(CheckRunTest, CommandLineMistakesExitWithTwoAndSayWhatIsWrongInOneLine) {
    struct Case {
        std::vector<std::string> args;
        std::string complaint;  // the whole output, without " (see --help)" and the line's end
    };
    const std::string range = "tarvex-check: --seconds: takes a number of seconds from 0.1 to 60";
    const Case cases[] = {
        {{"--bogus"}, "tarvex-check: unknown switch --bogus"},
        {{"--json", "extra"}, "tarvex-check: unexpected argument 'extra'"},
        {{"--seconds"}, "tarvex-check: --seconds needs a value (N)"},
        {{"--seconds", "0"}, range + ", not '0'"},
        {{"--seconds", "0.09"}, range + ", not '0.09'"},
        {{"--seconds", "60.5"}, range + ", not '60.5'"},
        {{"--seconds", "2x"}, range + ", not '2x'"},
        {{"--seconds", "nan"}, range + ", not 'nan'"},
        {{"--seconds", "inf"}, range + ", not 'inf'"},
        {{"--seconds=-1"}, range + ", not '-1'"},
    };
    for (const Case& c : cases) {
        const CheckRunResult result = RunCheck(c.args);
        EXPECT_EQ(result.exitCode, 2) << c.args.back();
        // One line: the help is one switch away and would bury the mistake.
        EXPECT_EQ(result.output, c.complaint + " (see --help)\n");
    }
}

TEST(CheckRunTest, HelpAndVersionExitWithZero) {
    for (const char* flag : {"--help", "-h"}) {
        const CheckRunResult help = RunCheck({flag});
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_EQ(help.output.rfind("Usage: tarvex-check", 0), 0u) << help.output;
        for (const char* option : {"--json", "--seconds N", "--version"}) {
            EXPECT_NE(help.output.find(option), std::string::npos) << option;
        }
    }
    const CheckRunResult version = RunCheck({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.output, std::string("tarvex-check ") + kTarvexVersion +
                                  " (stand-in client library, talks only to tarvex-mocap-sim)\n");
}

// Without settings there is nothing to connect to: the run stays offline and fails.
TEST(CheckRunTest, WithoutConfigurationTheRunFailsAndSkipsTheMotionCapture) {
    TemporaryFolder folder;
    ScopedVariable config("TARVEX_OPENXR_CONFIG", std::nullopt);
    ScopedVariable dataHome("XDG_DATA_HOME", folder.Path().string());
    const CheckRunResult result = RunCheck({"--json", "--seconds=0.2"});
    EXPECT_EQ(result.exitCode, 1);
    const auto document = nlohmann::json::parse(result.output);
    EXPECT_EQ(document.at("exit_code"), 1);
    bool skipped = false;
    bool variableFailed = false;
    for (const auto& check : document.at("checks")) {
        const std::string name = check.at("check");
        skipped |= name == "skipped";
        variableFailed |= name == "variable" && check.at("verdict") == "fail";
    }
    EXPECT_TRUE(skipped);
    EXPECT_TRUE(variableFailed);
    const auto& build = document.at("facts").at("build");
    EXPECT_EQ(build.at("version"), kTarvexVersion);
    EXPECT_EQ(build.at("flavour"), kTarvexFlavourTag);
    EXPECT_EQ(build.at("client_library"), kTarvexFlavour);
    EXPECT_EQ(build.at("standin_client"), kTarvexStandinClient);
}

// Whoever reads a report must see which client library the build links: a stand-in build never
// reaches a real server.
TEST(CheckRunTest, TheTextReportOpensWithTheVersionAndTheBuildFlavour) {
    TemporaryFolder folder;
    ScopedVariable config("TARVEX_OPENXR_CONFIG", std::nullopt);
    ScopedVariable dataHome("XDG_DATA_HOME", folder.Path().string());
    const CheckRunResult result = RunCheck({"--seconds=0.2"});
    EXPECT_EQ(result.output.rfind(TarvexVersionLine("tarvex-check") + "\n\nRegistration", 0), 0u)
        << result.output;
    EXPECT_NE(result.output.find(kTarvexFlavour), std::string::npos);
}

}  // namespace
