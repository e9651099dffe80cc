#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <cmath>
#include <memory>
#include <string>

#include "CheckTestSupport.h"
#include "tools/check/CheckRun.h"
#include "tools/check/Json.h"
#include "tools/check/MocapCheck.h"
#include "tools/check/RegistrationCheck.h"
#include "tools/mocap-sim/SimServer.h"

// These tests run the simulator on the default ports the layer and the check use, on loopback;
// CTest keeps them apart from other tests on those ports.
namespace {

constexpr double kCaptureSeconds = 1.0;

// The headset's fixed pose in the motion-capture frame: turned 45 degrees about the vertical.
constexpr float kPose[7] = {0.5f, 1.6f, -2.0f, 0.0f, 0.38268343f, 0.0f, 0.92387953f};

SimOptions FixedPoseServer() {
    SimOptions options;
    options.commandPort = 1510;
    options.dataPort = 1511;
    options.headsetId = 1;
    options.bodyCount = 4;
    options.path.kind = MocapPathKind::kFixed;
    options.path.fixedPose = {kPose[0], kPose[1], kPose[2], kPose[3], kPose[4], kPose[5], kPose[6]};
    return options;
}

TrackingSettings Settings(int32_t hmdRigidBodyId = 1, int32_t connectionType = 1,
                          const std::string& serverAddress = "127.0.0.1") {
    TrackingSettings settings;
    settings.connectionType = connectionType;
    settings.localAddress = "127.0.0.1";
    settings.serverAddress = serverAddress;
    settings.hmdRigidBodyId = hmdRigidBodyId;
    settings.ipd = 63.5f;
    return settings;
}

class MocapCheckTest : public testing::Test {
protected:
    void StartServer(const SimOptions& options) {
        server_ = std::make_unique<SimServer>(options, [](const std::string&) {});
        std::string error;
        ASSERT_TRUE(server_->Start(&error))
            << error << " (is another program using the default ports 1510/1511?)";
    }

    void TearDown() override {
        if (server_) {
            server_->Stop();
        }
    }

    static Report Check(const TrackingSettings& settings) {
        Report report;
        CheckMotionCapture(settings, kCaptureSeconds, report);
        return report;
    }

    std::unique_ptr<SimServer> server_;
};

TEST_F(MocapCheckTest, AGoodSetupPassesAndShowsTheHeadsetAsTheLayerStoresIt) {
    StartServer(FixedPoseServer());
    const Report report = Check(Settings());
    EXPECT_TRUE(report.Passed()) << report.Text();
    EXPECT_EQ(OnlyLineOf(report, "server").verdict, Verdict::kOk);
    EXPECT_EQ(OnlyLineOf(report, "frames").verdict, Verdict::kOk);
    EXPECT_EQ(OnlyLineOf(report, "rigid_bodies").message,
              "rigid-body ids in the stream: 1, 2, 3, 4");
    EXPECT_EQ(OnlyLineOf(report, "headset").verdict, Verdict::kOk);
    EXPECT_EQ(OnlyLineOf(report, "latency").verdict, Verdict::kOk);
    EXPECT_TRUE(LinesOf(report, "subscriptions").empty()) << report.Text();

    const auto parsed = ParseJson(report.Json());
    ASSERT_TRUE(parsed.value) << parsed.error;
    const JsonValue& facts = *parsed.value->Find("facts")->Find("mocap");
    EXPECT_EQ(*facts.Find("mode")->AsString(), "unicast");
    EXPECT_GT(*facts.Find("frame_rate_hz")->AsNumber(), 0.0);
    EXPECT_TRUE(*facts.Find("hmd_found")->AsBool());
    // Half a turn about the vertical: (x, y, z) -> (-x, y, -z), q -> (-qx, qy, -qz, qw).
    const auto& position = *facts.Find("position")->AsArray();
    const auto& orientation = *facts.Find("orientation")->AsArray();
    const float stored[7] = {-kPose[0], kPose[1],  -kPose[2], -kPose[3],
                             kPose[4],  -kPose[5], kPose[6]};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR(*position[i].AsNumber(), stored[i], 1e-6) << i;
    }
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(*orientation[i].AsNumber(), stored[3 + i], 1e-6) << i;
    }
    EXPECT_NEAR(*facts.Find("heading_deg")->AsNumber(), 45.0, 1e-3);
    EXPECT_GE(*facts.Find("latency")->Find("mean_ms")->AsNumber(), 0.0);
}

TEST_F(MocapCheckTest, AWrongRigidBodyIdFailsAndNamesTheIdsThatAreThere) {
    StartServer(FixedPoseServer());
    const Report report = Check(Settings(7));
    EXPECT_FALSE(report.Passed());
    const CheckLine line = OnlyLineOf(report, "headset");
    EXPECT_EQ(line.verdict, Verdict::kFail);
    EXPECT_EQ(line.message,
              "headset rigid body (hmdrbid) 7 is not in the stream; the ids there are: 1, 2, 3, 4");
    EXPECT_NE(line.advice.find("hmdrbid"), std::string::npos);
    EXPECT_TRUE(LinesOf(report, "pose").empty());
}

TEST_F(MocapCheckTest, NoServerFailsAfterTryingDiscovery) {
    const Report report = Check(Settings());
    EXPECT_FALSE(report.Passed());
    const CheckLine line = OnlyLineOf(report, "server");
    EXPECT_EQ(line.verdict, Verdict::kFail);
    EXPECT_NE(line.message.find("did not answer at the configured address"), std::string::npos);
    EXPECT_NE(line.message.find("discovery found no server"), std::string::npos);
    EXPECT_NE(line.advice.find("start the motion-capture server"), std::string::npos);
    EXPECT_TRUE(LinesOf(report, "frames").empty());
}

// The layer's watchdog would find the server by discovery: it works, with a warning to fix the
// address.
TEST_F(MocapCheckTest, AServerFoundOnlyByDiscoveryWarns) {
    StartServer(FixedPoseServer());
    const Report report = Check(Settings(1, 1, "127.0.0.2"));
    EXPECT_TRUE(report.Passed()) << report.Text();
    const CheckLine line = OnlyLineOf(report, "server");
    EXPECT_EQ(line.verdict, Verdict::kWarn);
    EXPECT_NE(line.message.find("discovery found 127.0.0.1"), std::string::npos) << line.message;
    EXPECT_NE(line.advice.find("set serveraddress to 127.0.0.1"), std::string::npos);
    EXPECT_EQ(OnlyLineOf(report, "headset").verdict, Verdict::kOk);
}

TEST_F(MocapCheckTest, AServerThatRefusesFailsWithItsCode) {
    SimOptions options = FixedPoseServer();
    options.refuse = true;
    options.refuseCode = 42;
    StartServer(options);
    const Report report = Check(Settings());
    EXPECT_FALSE(report.Passed());
    const CheckLine line = OnlyLineOf(report, "server");
    EXPECT_EQ(line.verdict, Verdict::kFail);
    EXPECT_NE(line.message.find("configured address (error code 42)"), std::string::npos)
        << line.message;
    EXPECT_NE(line.message.find("discovery found 127.0.0.1, but connecting to it failed (error "
                                "code 42)"),
              std::string::npos)
        << line.message;
}

TEST_F(MocapCheckTest, AServerThatStreamsNothingFails) {
    SimOptions options = FixedPoseServer();
    options.stopAfterSeconds = 0.0;
    StartServer(options);
    const Report report = Check(Settings());
    EXPECT_EQ(OnlyLineOf(report, "server").verdict, Verdict::kOk);
    const CheckLine line = OnlyLineOf(report, "frames");
    EXPECT_EQ(line.verdict, Verdict::kFail);
    EXPECT_NE(line.message.find("no frame arrived"), std::string::npos);
    EXPECT_FALSE(report.Passed());
}

TEST_F(MocapCheckTest, AFailedSubscriptionResetOnlyWarns) {
    SimOptions options = FixedPoseServer();
    options.unsubscribeAnswer = {CommandAnswer::Kind::kError, 5};
    StartServer(options);
    const Report report = Check(Settings());
    EXPECT_TRUE(report.Passed()) << report.Text();
    const CheckLine line = OnlyLineOf(report, "subscriptions");
    EXPECT_EQ(line.verdict, Verdict::kWarn);
    EXPECT_NE(line.message.find("\"SubscribeToData,AllTypes,None\" failed with error code"),
              std::string::npos)
        << line.message;
}

TEST_F(MocapCheckTest, MulticastSettingsConnectInMulticast) {
    SimOptions options = FixedPoseServer();
    options.multicast = true;
    options.multicastGroup = "239.255.60.60";  // the group the layer asks for
    StartServer(options);
    const Report report = Check(Settings(1, 0));
    EXPECT_NE(OnlyLineOf(report, "server").message.find("(multicast)"), std::string::npos);
    EXPECT_TRUE(report.Passed()) << report.Text();
    EXPECT_TRUE(LinesOf(report, "subscriptions").empty());
}

// The whole program as a user runs it: a registered layer, a configuration and a server.
TEST_F(MocapCheckTest, TheWholeCheckPassesOnAGoodSetupInTextAndJson) {
    StartServer(FixedPoseServer());
    TemporaryFolder folder;
    WriteFile(folder.Path() / "config" / "TarvexOpenXRConfig.ini", SettingsText());
    WriteFile(folder.Path() /
                  "home/openxr/1/api_layers/implicit.d/XR_APILAYER_TARVEX_tracking_override.json",
              std::string("{\"file_format_version\": \"1.0.0\", \"api_layer\": {\"name\": \"") +
                  kLayerName + "\", \"library_path\": \"" +
                  std::filesystem::path(TARVEX_LAYER_LIBRARY).generic_string() +
                  "\", \"api_version\": \"1.0\", \"implementation_version\": \"1\", "
                  "\"disable_environment\": \"" +
                  kDisableVariable + "\"}}");
    ScopedVariable config("TARVEX_OPENXR_CONFIG", (folder.Path() / "config").string());
    ScopedVariable configDirs("XDG_CONFIG_DIRS", (folder.Path() / "none").string());
    ScopedVariable dataDirs("XDG_DATA_DIRS", (folder.Path() / "none").string());
    ScopedVariable dataHome("XDG_DATA_HOME", (folder.Path() / "home").string());
    ScopedVariable disable(kDisableVariable, std::nullopt);
    ScopedVariable layerPath("XR_API_LAYER_PATH", std::nullopt);
#ifdef _WIN32
    // Windows finds layers through the registry, as the install script registers them.
    const std::string key = "SOFTWARE\\Khronos\\OpenXR\\1\\ApiLayers\\Implicit";
    const std::string manifest =
        (folder.Path() /
         "home/openxr/1/api_layers/implicit.d/XR_APILAYER_TARVEX_tracking_override.json")
            .make_preferred()
            .string();
    const DWORD enabled = 0;
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), manifest.c_str(), REG_DWORD, &enabled,
                              sizeof enabled),
              ERROR_SUCCESS);
    struct Unregister {
        const std::string& key;
        const std::string& manifest;
        ~Unregister() { RegDeleteKeyValueA(HKEY_CURRENT_USER, key.c_str(), manifest.c_str()); }
    } unregister{key, manifest};
#endif

    const CheckRunResult text = RunCheck({"--seconds", "1"});
    EXPECT_EQ(text.exitCode, 0) << text.output;
    EXPECT_NE(text.output.find("Result: OK"), std::string::npos) << text.output;
    EXPECT_EQ(text.output.find("[FAIL]"), std::string::npos) << text.output;

    const CheckRunResult json = RunCheck({"--json", "--seconds", "1"});
    EXPECT_EQ(json.exitCode, 0);
    const auto parsed = ParseJson(json.output);
    ASSERT_TRUE(parsed.value) << parsed.error << "\n" << json.output;
    EXPECT_TRUE(*parsed.value->Find("passed")->AsBool());
    EXPECT_EQ(*parsed.value->Find("facts")
                   ->Find("configuration")
                   ->Find("settings")
                   ->Find("hmdrbid")
                   ->AsNumber(),
              1.0);
    EXPECT_EQ(
        parsed.value->Find("facts")->Find("registration")->Find("manifests")->AsArray()->size(),
        1u);
}

}  // namespace
