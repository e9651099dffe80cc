// The simulator's command line: what each switch sets, and what a user is told when a command line
// is wrong.

#include "tools/mocap-sim/SimCommandLine.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "CommandLineArgs.h"
#include "TarvexVersion.h"

namespace {

SimCommandLine Parse(const std::vector<std::string>& switches) {
    const CommandLineArgs args("tarvex-mocap-sim", switches);
    return ParseSimCommandLine(args.argc(), args.argv());
}

bool SameAnswer(const CommandAnswer& a, const CommandAnswer& b) {
    return a.kind == b.kind && a.value == b.value;
}

// Every field, so that a switch that sets more than it should shows up too.
void ExpectSameOptions(const SimOptions& actual, const SimOptions& expected) {
    EXPECT_EQ(actual.bindAddress, expected.bindAddress);
    EXPECT_EQ(actual.commandPort, expected.commandPort);
    EXPECT_EQ(actual.dataPort, expected.dataPort);
    EXPECT_EQ(actual.multicast, expected.multicast);
    EXPECT_EQ(actual.multicastGroup, expected.multicastGroup);
    EXPECT_DOUBLE_EQ(actual.rateHz, expected.rateHz);
    EXPECT_EQ(actual.headsetId, expected.headsetId);
    EXPECT_EQ(actual.bodyCount, expected.bodyCount);
    EXPECT_EQ(actual.hands, expected.hands);
    EXPECT_EQ(actual.rightHandId, expected.rightHandId);
    EXPECT_EQ(actual.leftHandId, expected.leftHandId);
    EXPECT_EQ(actual.path.kind, expected.path.kind);
    EXPECT_DOUBLE_EQ(actual.jitterPositionMm, expected.jitterPositionMm);
    EXPECT_DOUBLE_EQ(actual.jitterOrientationDegrees, expected.jitterOrientationDegrees);
    const MocapPose& a = actual.path.fixedPose;
    const MocapPose& e = expected.path.fixedPose;
    EXPECT_EQ(std::vector<float>({a.x, a.y, a.z, a.qx, a.qy, a.qz, a.qw}),
              std::vector<float>({e.x, e.y, e.z, e.qx, e.qy, e.qz, e.qw}));
    EXPECT_EQ(actual.refuse, expected.refuse);
    EXPECT_EQ(actual.refuseCode, expected.refuseCode);
    EXPECT_TRUE(SameAnswer(actual.subscribeAnswer, expected.subscribeAnswer));
    EXPECT_TRUE(SameAnswer(actual.unsubscribeAnswer, expected.unsubscribeAnswer));
    EXPECT_TRUE(SameAnswer(actual.disconnectAnswer, expected.disconnectAnswer));
    EXPECT_DOUBLE_EQ(actual.pauseAfterSeconds, expected.pauseAfterSeconds);
    EXPECT_DOUBLE_EQ(actual.pauseForSeconds, expected.pauseForSeconds);
    EXPECT_DOUBLE_EQ(actual.stopAfterSeconds, expected.stopAfterSeconds);
    EXPECT_DOUBLE_EQ(actual.durationSeconds, expected.durationSeconds);
    EXPECT_DOUBLE_EQ(actual.clockOffsetSeconds, expected.clockOffsetSeconds);
    EXPECT_DOUBLE_EQ(actual.latencyMs, expected.latencyMs);
    EXPECT_EQ(actual.truncateEvery, expected.truncateEvery);
    EXPECT_EQ(actual.logFrames, expected.logFrames);
}

struct OptionsCase {
    const char* name;
    std::vector<std::string> switches;
    std::function<void(SimOptions&)> expectedChanges;  // applied to the defaults
};

void PrintTo(const OptionsCase& c, std::ostream* out) {
    *out << c.name;
}

class SimCommandLineOptions : public testing::TestWithParam<OptionsCase> {};

TEST_P(SimCommandLineOptions, SetsWhatTheSwitchesSay) {
    const SimCommandLine parsed = Parse(GetParam().switches);
    ASSERT_TRUE(parsed.run) << parsed.message;
    EXPECT_EQ(parsed.message, "");
    SimOptions expected;
    GetParam().expectedChanges(expected);
    ExpectSameOptions(parsed.options, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Switches, SimCommandLineOptions,
    testing::Values(
        OptionsCase{"Defaults", {}, [](SimOptions&) {}},
        OptionsCase{"Network",
                    {"--bind", "127.0.0.2", "--command-port", "0", "--data-port", "65535",
                     "--multicast", "--multicast-group", "224.0.0.1"},
                    [](SimOptions& o) {
                        o.bindAddress = "127.0.0.2";
                        o.commandPort = 0;
                        o.dataPort = 65535;
                        o.multicast = true;
                        o.multicastGroup = "224.0.0.1";
                    }},
        OptionsCase{"Stream",
                    {"--rate", "10000", "--headset-id", "1000000", "--bodies", "64",
                     "--clock-offset", "-0.25"},
                    [](SimOptions& o) {
                        o.rateHz = 10000.0;
                        o.headsetId = 1000000;
                        o.bodyCount = 64;
                        o.clockOffsetSeconds = -0.25;
                    }},
        OptionsCase{"LatencyAtItsHighest",
                    {"--latency-ms", "1000"},
                    [](SimOptions& o) { o.latencyMs = 1000.0; }},
        OptionsCase{"SmallestValues",
                    {"--rate", "0.5", "--headset-id", "1", "--bodies", "1", "--truncate-every", "1",
                     "--stop-after", "0"},
                    [](SimOptions& o) {
                        o.rateHz = 0.5;
                        o.bodyCount = 1;
                        o.truncateEvery = 1;
                        o.stopAfterSeconds = 0.0;
                    }},
        OptionsCase{"PoseImpliesFixed",
                    {"--pose", "0.5,1.6,-0.5,0,0.5,0,0.866"},
                    [](SimOptions& o) {
                        o.path.kind = MocapPathKind::kFixed;
                        o.path.fixedPose = {0.5f, 1.6f, -0.5f, 0.0f, 0.5f, 0.0f, 0.866f};
                    }},
        OptionsCase{"PoseWithPathFixed",
                    {"--path", "fixed", "--pose", "1,2,3,0,0,0,1"},
                    [](SimOptions& o) {
                        o.path.kind = MocapPathKind::kFixed;
                        o.path.fixedPose = {1, 2, 3, 0, 0, 0, 1};
                    }},
        OptionsCase{"PathFixedKeepsTheDefaultPose",
                    {"--path", "fixed"},
                    [](SimOptions& o) { o.path.kind = MocapPathKind::kFixed; }},
        OptionsCase{"PathCircle", {"--path", "circle"}, [](SimOptions&) {}},
        OptionsCase{"PathOrbit",
                    {"--path", "orbit"},
                    [](SimOptions& o) { o.path.kind = MocapPathKind::kOrbit; }},
        OptionsCase{"JitterAtTheTypicalSizes",
                    {"--jitter"},
                    [](SimOptions& o) {
                        o.jitterPositionMm = 0.2;
                        o.jitterOrientationDegrees = 0.05;
                    }},
        OptionsCase{"JitterPositionAloneKeepsTheOrientationDefault",
                    {"--jitter-position", "0.5"},
                    [](SimOptions& o) {
                        o.jitterPositionMm = 0.5;
                        o.jitterOrientationDegrees = 0.05;
                    }},
        OptionsCase{"JitterOrientationOnly",
                    {"--jitter", "--jitter-position", "0", "--jitter-orientation", "0.1"},
                    [](SimOptions& o) {
                        o.jitterPositionMm = 0.0;
                        o.jitterOrientationDegrees = 0.1;
                    }},
        OptionsCase{"Pause",
                    {"--pause-after", "1.5", "--pause-for", "2"},
                    [](SimOptions& o) {
                        o.pauseAfterSeconds = 1.5;
                        o.pauseForSeconds = 2.0;
                    }},
        OptionsCase{"PauseForBeforePauseAfter",
                    {"--pause-for", "0", "--pause-after", "0"},
                    [](SimOptions& o) {
                        o.pauseAfterSeconds = 0.0;
                        o.pauseForSeconds = 0.0;
                    }},
        OptionsCase{"Faults",
                    {"--refuse", "-3", "--answer-subscribe", "long:5", "--answer-unsubscribe",
                     "silent", "--answer-disconnect", "error:7", "--truncate-every", "10"},
                    [](SimOptions& o) {
                        o.refuse = true;
                        o.refuseCode = -3;
                        o.subscribeAnswer = {CommandAnswer::Kind::kLong, 5};
                        o.unsubscribeAnswer = {CommandAnswer::Kind::kSilent, 0};
                        o.disconnectAnswer = {CommandAnswer::Kind::kError, 7};
                        o.truncateEvery = 10;
                    }},
        OptionsCase{"AnswersEmptyAndNumber",
                    {"--answer-subscribe", "empty", "--answer-disconnect", "-2"},
                    [](SimOptions& o) {
                        o.subscribeAnswer = {CommandAnswer::Kind::kEmpty, 0};
                        o.disconnectAnswer = {CommandAnswer::Kind::kInt32, -2};
                    }},
        OptionsCase{"Run",
                    {"--duration", "0.5", "--stop-after", "3", "--log-frames"},
                    [](SimOptions& o) {
                        o.durationSeconds = 0.5;
                        o.stopAfterSeconds = 3.0;
                        o.logFrames = true;
                    }},
        OptionsCase{"RepeatedSwitchKeepsTheLast",
                    {"--rate", "100", "--rate", "200"},
                    [](SimOptions& o) { o.rateHz = 200.0; }},
        OptionsCase{"HandIds",
                    {"--right-hand-id", "1000000", "--left-hand-id", "1", "--headset-id", "2"},
                    [](SimOptions& o) {
                        o.headsetId = 2;
                        o.rightHandId = 1000000;
                        o.leftHandId = 1;
                    }},
        OptionsCase{"NoHands", {"--no-hands"}, [](SimOptions& o) { o.hands = false; }},
        // The frames leave out the right hand then; a command line that set only the
        // headset's id still runs.
        OptionsCase{"HeadsetOnTheRightHandsDefaultId",
                    {"--headset-id", "2"},
                    [](SimOptions& o) { o.headsetId = 2; }},
        OptionsCase{"NoHandsFreesTheirIdsForTheHeadset",
                    {"--no-hands", "--headset-id", "3"},
                    [](SimOptions& o) {
                        o.hands = false;
                        o.headsetId = 3;
                    }},
        OptionsCase{"EqualsForm",
                    {"--headset-id=5", "--bind=127.0.0.1"},
                    [](SimOptions& o) { o.headsetId = 5; }}),
    [](const testing::TestParamInfo<OptionsCase>& test) { return std::string(test.param.name); });

struct ErrorCase {
    const char* name;
    std::vector<std::string> switches;
    std::string error;  // after "tarvex-mocap-sim: ", before " (see --help)"
};

void PrintTo(const ErrorCase& c, std::ostream* out) {
    *out << c.name;
}

class SimCommandLineErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(SimCommandLineErrors, RefusesWithOneClearLine) {
    const SimCommandLine parsed = Parse(GetParam().switches);
    EXPECT_FALSE(parsed.run);
    EXPECT_EQ(parsed.exitCode, kSimExitBadArguments);
    EXPECT_EQ(parsed.message, "tarvex-mocap-sim: " + GetParam().error + " (see --help)\n");
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, SimCommandLineErrors,
    testing::Values(
        ErrorCase{"UnknownSwitch", {"--bogus"}, "unknown switch --bogus"},
        ErrorCase{"UnknownSwitchWithValue", {"--bogus", "3"}, "unknown switch --bogus"},
        ErrorCase{"UnknownSwitchAfterGoodOnes",
                  {"--rate", "100", "--multicast", "--no-such-switch"},
                  "unknown switch --no-such-switch"},
        ErrorCase{"StrayArgument", {"circle"}, "unexpected argument 'circle'"},
        ErrorCase{"MissingValue", {"--rate"}, "--rate needs a value (HZ)"},
        ErrorCase{"MissingValueAfterOthers",
                  {"--multicast", "--headset-id"},
                  "--headset-id needs a value (ID)"},
        ErrorCase{"EmptyValue", {"--bind="}, "--bind needs a value (ADDRESS)"},
        ErrorCase{"SwitchTakenAsValue",
                  {"--rate", "--bind", "127.0.0.1"},
                  "--rate: '--bind' is not a number above 0 and at most 10000"},
        ErrorCase{"PauseAfterAlone", {"--pause-after", "1"}, "--pause-after requires --pause-for"},
        ErrorCase{"PauseForAlone", {"--pause-for", "2"}, "--pause-for requires --pause-after"},
        ErrorCase{"NegativeHeadsetId",
                  {"--headset-id", "-5"},
                  "--headset-id: '-5' is not an integer from 1 to 1000000"},
        ErrorCase{"ZeroHeadsetId",
                  {"--headset-id", "0"},
                  "--headset-id: '0' is not an integer from 1 to 1000000"},
        ErrorCase{"HeadsetIdNotInteger",
                  {"--headset-id", "1.5"},
                  "--headset-id: '1.5' is not an integer from 1 to 1000000"},
        ErrorCase{
            "TooManyBodies", {"--bodies", "65"}, "--bodies: '65' is not an integer from 1 to 64"},
        ErrorCase{"CommandPortTooHigh",
                  {"--command-port", "65536"},
                  "--command-port: '65536' is not an integer from 0 to 65535"},
        ErrorCase{"DataPortZero",
                  {"--data-port", "0"},
                  "--data-port: '0' is not an integer from 1 to 65535"},
        ErrorCase{
            "RateZero", {"--rate", "0"}, "--rate: '0' is not a number above 0 and at most 10000"},
        ErrorCase{"RateTooHigh",
                  {"--rate", "10001"},
                  "--rate: '10001' is not a number above 0 and at most 10000"},
        ErrorCase{"RateNotANumber",
                  {"--rate", "nan"},
                  "--rate: 'nan' is not a number above 0 and at most 10000"},
        ErrorCase{"RateWithUnit",
                  {"--rate", "240Hz"},
                  "--rate: '240Hz' is not a number above 0 and at most 10000"},
        ErrorCase{"InfiniteClockOffset",
                  {"--clock-offset", "1e999"},
                  "--clock-offset: '1e999' is not a finite number"},
        ErrorCase{"NegativeLatency",
                  {"--latency-ms", "-1"},
                  "--latency-ms: '-1' is not a number from 0 to 1000"},
        ErrorCase{"LatencyTooHigh",
                  {"--latency-ms", "1000.5"},
                  "--latency-ms: '1000.5' is not a number from 0 to 1000"},
        ErrorCase{"NegativePause",
                  {"--pause-after", "-1", "--pause-for", "1"},
                  "--pause-after: '-1' is not a number of at least 0"},
        ErrorCase{"NegativeStop",
                  {"--stop-after", "-1"},
                  "--stop-after: '-1' is not a number of at least 0"},
        ErrorCase{"ZeroDuration", {"--duration", "0"}, "--duration: '0' is not a number above 0"},
        ErrorCase{"ZeroTruncate",
                  {"--truncate-every", "0"},
                  "--truncate-every: '0' is not an integer from 1 to 1000000"},
        ErrorCase{"RefuseZero", {"--refuse", "0"}, "--refuse: '0' is not a nonzero code"},
        ErrorCase{"RefuseTooBig",
                  {"--refuse", "2147483648"},
                  "--refuse: '2147483648' is not an integer from -2147483648 to 2147483647"},
        ErrorCase{"BadBindAddress", {"--bind", "1.2.3"}, "--bind: '1.2.3' is not an IPv4 address"},
        ErrorCase{"UnicastGroup",
                  {"--multicast-group", "10.0.0.1"},
                  "--multicast-group: '10.0.0.1' is not a multicast group (224.0.0.0 to "
                  "239.255.255.255)"},
        ErrorCase{"ShortPose",
                  {"--pose", "1,2,3"},
                  "--pose: '1,2,3' is not seven numbers X,Y,Z,QX,QY,QZ,QW"},
        ErrorCase{"LongPose",
                  {"--pose", "1,2,3,0,0,0,1,9"},
                  "--pose: '1,2,3,0,0,0,1,9' is not seven numbers X,Y,Z,QX,QY,QZ,QW"},
        ErrorCase{"PoseWithEmptyPart",
                  {"--pose", "1,,3,0,0,0,1"},
                  "--pose: '1,,3,0,0,0,1' is not seven numbers X,Y,Z,QX,QY,QZ,QW"},
        ErrorCase{"PoseAgainstCircle",
                  {"--pose", "0,1.7,0,0,0,0,1", "--path", "circle"},
                  "--pose sets a fixed pose; it cannot go with --path circle"},
        ErrorCase{"PoseAgainstOrbit",
                  {"--path", "orbit", "--pose", "0,1.7,0,0,0,0,1"},
                  "--pose sets a fixed pose; it cannot go with --path orbit"},
        ErrorCase{"UnknownPath", {"--path", "walk"}, "--path: walk not in {circle,orbit,fixed}"},
        ErrorCase{"NegativeJitter",
                  {"--jitter-position", "-0.1"},
                  "--jitter-position: '-0.1' is not a number from 0 to 100"},
        ErrorCase{"HugeOrientationJitter",
                  {"--jitter-orientation", "45"},
                  "--jitter-orientation: '45' is not a number from 0 to 10"},
        ErrorCase{"HandIdZero",
                  {"--right-hand-id", "0"},
                  "--right-hand-id: '0' is not an integer from 1 to 1000000"},
        ErrorCase{"HandIdTooBig",
                  {"--left-hand-id", "1000001"},
                  "--left-hand-id: '1000001' is not an integer from 1 to 1000000"},
        ErrorCase{"RightHandOnTheHeadset",
                  {"--right-hand-id", "1"},
                  "--right-hand-id 1 is the headset's id"},
        ErrorCase{"LeftHandOnTheHeadset",
                  {"--headset-id", "9", "--left-hand-id", "9"},
                  "--left-hand-id 9 is the headset's id"},
        ErrorCase{"RightHandOnTheLeftsDefault",
                  {"--right-hand-id", "3"},
                  "the right and the left hand cannot both have id 3"},
        ErrorCase{"BothHandsTheSame",
                  {"--right-hand-id", "8", "--left-hand-id", "8"},
                  "the right and the left hand cannot both have id 8"},
        ErrorCase{"NoHandsWithARightHandId",
                  {"--no-hands", "--right-hand-id", "5"},
                  "--no-hands cannot go with --right-hand-id"},
        ErrorCase{"NoHandsWithALeftHandId",
                  {"--left-hand-id", "5", "--no-hands"},
                  "--no-hands cannot go with --left-hand-id"},
        ErrorCase{"BadAnswer",
                  {"--answer-subscribe", "error:0"},
                  "--answer-subscribe: 'error:0' is not an answer (N, empty, long:N, error:N or "
                  "silent)"}),
    [](const testing::TestParamInfo<ErrorCase>& test) { return std::string(test.param.name); });

TEST(SimCommandLine, VersionPrintsTheProjectVersion) {
    const SimCommandLine parsed = Parse({"--version"});
    EXPECT_FALSE(parsed.run);
    EXPECT_EQ(parsed.exitCode, 0);
    EXPECT_EQ(parsed.message, std::string("tarvex-mocap-sim ") + kTarvexVersion +
                                  " (stand-in client library, talks only to tarvex-mocap-sim)\n");
}

TEST(SimCommandLine, HelpNamesEverySwitch) {
    for (const char* help : {"--help", "-h"}) {
        const SimCommandLine parsed = Parse({"--rate", "100", help});
        EXPECT_FALSE(parsed.run);
        EXPECT_EQ(parsed.exitCode, 0);
        for (const char* name : {"--bind",
                                 "--command-port",
                                 "--data-port",
                                 "--multicast",
                                 "--multicast-group",
                                 "--rate",
                                 "--headset-id",
                                 "--bodies",
                                 "--right-hand-id",
                                 "--left-hand-id",
                                 "--no-hands",
                                 "--path",
                                 "--pose",
                                 "--jitter",
                                 "--jitter-position",
                                 "--jitter-orientation",
                                 "--clock-offset",
                                 "--latency-ms",
                                 "--refuse",
                                 "--answer-subscribe",
                                 "--answer-unsubscribe",
                                 "--answer-disconnect",
                                 "--pause-after",
                                 "--pause-for",
                                 "--stop-after",
                                 "--truncate-every",
                                 "--duration",
                                 "--log-frames",
                                 "--help",
                                 "--version"}) {
            EXPECT_NE(parsed.message.find(std::string(name) + " "), std::string::npos)
                << help << " does not name " << name << ":\n"
                << parsed.message;
        }
    }
}

}  // namespace
