#include <gtest/gtest.h>

#include <string>

#include "CheckTestSupport.h"
#include "tools/check/CheckRun.h"
#include "tools/check/Json.h"

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
    report.Facts("mocap").Set("frame_rate_hz", 240.0);
    const auto parsed = ParseJson(report.Json());
    ASSERT_TRUE(parsed.value) << parsed.error;
    const JsonValue& document = *parsed.value;
    EXPECT_FALSE(*document.Find("passed")->AsBool());
    EXPECT_EQ(*document.Find("exit_code")->AsNumber(), 1.0);
    const auto& checks = *document.Find("checks")->AsArray();
    ASSERT_EQ(checks.size(), 2u);
    EXPECT_EQ(*checks[0].Find("verdict")->AsString(), "fail");
    EXPECT_EQ(*checks[0].Find("message")->AsString(), "switched \"off\"");
    EXPECT_EQ(*checks[0].Find("advice")->AsString(), "unset it");
    EXPECT_EQ(*checks[1].Find("check")->AsString(), "frames");
    EXPECT_EQ(*document.Find("facts")->Find("mocap")->Find("frame_rate_hz")->AsNumber(), 240.0);
}

TEST(CheckRunTest, CommandLineMistakesExitWithTwo) {
    for (const auto& args :
         {std::vector<std::string>{"--bogus"}, std::vector<std::string>{"--seconds"},
          std::vector<std::string>{"--seconds", "0"}, std::vector<std::string>{"--seconds", "61"},
          std::vector<std::string>{"--seconds", "2x"}}) {
        const CheckRunResult result = RunCheck(args);
        EXPECT_EQ(result.exitCode, 2) << args.back();
        EXPECT_NE(result.output.find("--seconds"), std::string::npos);
    }
    const CheckRunResult help = RunCheck({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.output.rfind("Usage: tarvex-check", 0), 0u);
}

// Without settings there is nothing to connect to: the run stays offline and fails.
TEST(CheckRunTest, WithoutConfigurationTheRunFailsAndSkipsTheMotionCapture) {
    TemporaryFolder folder;
    ScopedVariable config("TARVEX_OPENXR_CONFIG", std::nullopt);
    ScopedVariable dataHome("XDG_DATA_HOME", folder.Path().string());
    const CheckRunResult result = RunCheck({"--json", "--seconds", "0.2"});
    EXPECT_EQ(result.exitCode, 1);
    const auto parsed = ParseJson(result.output);
    ASSERT_TRUE(parsed.value) << parsed.error << "\n" << result.output;
    bool skipped = false;
    bool variableFailed = false;
    for (const JsonValue& check : *parsed.value->Find("checks")->AsArray()) {
        const std::string name = *check.Find("check")->AsString();
        skipped |= name == "skipped";
        variableFailed |= name == "variable" && *check.Find("verdict")->AsString() == "fail";
    }
    EXPECT_TRUE(skipped);
    EXPECT_TRUE(variableFailed);
}

}  // namespace
