#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standins/orvix/OrvixStandin.h"
#include "tools/check/ConnectFailure.h"

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A server that says nothing means something else to each build flavour: a stand-in build talks
// only to the simulator, so "start the server" alone would send its user after a server that can
// never answer.
TEST(ConnectFailureTest, SilenceIsExplainedByTheBuildFlavour) {
    struct Case {
        bool standinClient;
        std::vector<std::string> present;
        std::vector<std::string> absent;
    };
    const Case cases[] = {
        {true,
         {"links the stand-in client library", "talks only to tarvex-mocap-sim",
          "a real motion-capture server will never answer it", "vendor's SDK",
          "TARVEX_ORVIX_SDK_DIR", "start tarvex-mocap-sim", "UDP ports 1510 and 1511"},
         {"start the motion-capture server"}},
        {false,
         {"start the motion-capture server and its streaming", "UDP ports 1510 and 1511"},
         {"stand-in", "tarvex-mocap-sim", "TARVEX_ORVIX_SDK_DIR"}},
    };
    sOrvixClientConnectParams params{};
    params.commandPort = 1510;
    params.dataPort = 1511;
    for (const Case& c : cases) {
        const ConnectFailure silent = DescribeConnectFailure(Orvix_ErrorNoServer, c.standinClient);
        ASSERT_EQ(std::string(silent.kind), "silent");
        const std::string advice = ConnectAdvice(silent, params, c.standinClient);
        for (const std::string& part : c.present) {
            EXPECT_TRUE(Has(advice, part)) << part << " missing from: " << advice;
        }
        for (const std::string& part : c.absent) {
            EXPECT_FALSE(Has(advice, part)) << part << " in: " << advice;
        }
    }
}

// The stand-in's waiting time is this build's own; a vendor build's library waits as long as it
// sees fit, so its report must not quote the stand-in's figure.
TEST(ConnectFailureTest, SilenceQuotesOnlyAWaitingTimeThatIsKnown) {
    struct Case {
        bool standinClient;
        std::string detail;
    };
    const Case cases[] = {
        {true, "(no reply within 0.5 s, error code 3)"},
        {false, "(no reply within the client library's waiting time, error code 3)"},
    };
    ASSERT_EQ(kOrvixAnswerTimeoutMs, 500);
    for (const Case& c : cases) {
        const ConnectFailure silent = DescribeConnectFailure(Orvix_ErrorNoServer, c.standinClient);
        EXPECT_EQ(silent.what, "did not answer") << c.standinClient;
        EXPECT_EQ(silent.detail, c.detail) << c.standinClient;
    }
}

// A server that answered with an error runs, whatever the flavour: the advice stays about it.
TEST(ConnectFailureTest, OtherFailuresGiveTheSameAdviceInEitherFlavour) {
    const sOrvixClientConnectParams params{};
    for (const ErrorCode code : {Orvix_ErrorInvalidArgument, Orvix_ErrorNetwork, ErrorCode(42)}) {
        const ConnectFailure failure = DescribeConnectFailure(code, true);
        EXPECT_EQ(failure.detail, DescribeConnectFailure(code, false).detail) << failure.kind;
        EXPECT_EQ(ConnectAdvice(failure, params, true), ConnectAdvice(failure, params, false))
            << failure.kind;
        EXPECT_FALSE(Has(ConnectAdvice(failure, params, true), "stand-in")) << failure.kind;
    }
}

}  // namespace
