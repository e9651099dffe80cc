#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <TarvexVersion.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <memory>
#include <string>

#include "CheckTestSupport.h"
#include "standins/orvix/UdpSocket.h"
#include "tools/check/CheckRun.h"
#include "tools/check/MocapCheck.h"
#include "tools/check/RegistrationCheck.h"
#include "tools/mocap-sim/SimServer.h"

// The simulator runs on loopback ports the system chooses, so that no other program on this
// machine can answer in its place. The check reaches it through MocapPorts, discovery through
// ORVIX_STANDIN_PORTS.
namespace {

constexpr double kCaptureSeconds = 1.0;

// The headset's fixed pose in the motion-capture frame: turned 45 degrees about the vertical.
constexpr float kPose[7] = {0.5f, 1.6f, -2.0f, 0.0f, 0.38268343f, 0.0f, 0.92387953f};

SimOptions FixedPoseServer() {
    SimOptions options;
    options.commandPort = 0;
    options.dataPort = 0;  // unicast frames go to the client's own port
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

// A UDP port held open that never answers: while it is held, nothing else can answer there. It
// counts what was sent to it, to show that the check asked there.
class SilentPort {
public:
    explicit SilentPort(const char* address = "127.0.0.1", uint16_t port = 0) {
        orvix::Endpoint local{0, port};
        bound_ = orvix::ParseIPv4(address, &local.address) && socket_.Open() &&
                 socket_.Bind(local) && socket_.LocalEndpoint(&local);
        port_ = local.port;
    }

    bool Bound() const { return bound_; }
    uint16_t Port() const { return port_; }

    // Datagrams waiting, read without waiting for more.
    int DatagramsReceived() {
        int count = 0;
        uint8_t buffer[2048];
        while (socket_.ReceiveFrom(buffer, sizeof buffer, 0, nullptr) > 0) {
            ++count;
        }
        return count;
    }

private:
    orvix::UdpSocket socket_;
    bool bound_ = false;
    uint16_t port_ = 0;
};

class MocapCheckTest : public testing::Test {
protected:
    void StartServer(const SimOptions& options) {
        server_ = std::make_unique<SimServer>(options, [](const std::string&) {});
        std::string error;
        ASSERT_TRUE(server_->Start(&error)) << error;
        ports_ = {server_->CommandPort(), options.dataPort};
        discoveryPorts_ = std::make_unique<ScopedVariable>(
            "ORVIX_STANDIN_PORTS",
            std::to_string(ports_.command) + "," + std::to_string(ports_.data));
    }

    void TearDown() override {
        if (server_) {
            server_->Stop();
        }
    }

    Report Check(const TrackingSettings& settings, double seconds = kCaptureSeconds) {
        Report report;
        CheckMotionCapture(settings, seconds, report, ports_);
        return report;
    }

    static nlohmann::json MocapFacts(const Report& report) {
        return nlohmann::json::parse(report.Json())["facts"]["mocap"];
    }

    std::unique_ptr<SimServer> server_;
    MocapPorts ports_;
    std::unique_ptr<ScopedVariable> discoveryPorts_;
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

    const nlohmann::json facts = MocapFacts(report);
    EXPECT_EQ(facts["mode"], "unicast");
    EXPECT_GT(facts["frame_rate_hz"].get<double>(), 0.0);
    EXPECT_TRUE(facts["hmd_found"].get<bool>());
    EXPECT_TRUE(facts["stopped_after_s"].is_null());
    // Half a turn about the vertical: (x, y, z) -> (-x, y, -z), q -> (-qx, qy, -qz, qw).
    const auto& position = facts["position"];
    const auto& orientation = facts["orientation"];
    const float stored[7] = {-kPose[0], kPose[1],  -kPose[2], -kPose[3],
                             kPose[4],  -kPose[5], kPose[6]};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR(position[i].get<double>(), stored[i], 1e-6) << i;
    }
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(orientation[i].get<double>(), stored[3 + i], 1e-6) << i;
    }
    EXPECT_NEAR(facts["heading_deg"].get<double>(), 45.0, 1e-3);
    EXPECT_GE(facts["latency"]["mean_ms"].get<double>(), 0.0);
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

// Nothing answers on a port this test holds: the check asked there, heard nothing, and says so.
TEST_F(MocapCheckTest, ASilentServerFailsAfterTryingDiscovery) {
    SilentPort silent;
    ASSERT_TRUE(silent.Bound());
    ports_ = {silent.Port(), 0};
    ScopedVariable discoveryPorts("ORVIX_STANDIN_PORTS", std::to_string(silent.Port()) + ",0");
    const Report report = Check(Settings());
    EXPECT_FALSE(report.Passed());
    const CheckLine line = OnlyLineOf(report, "server");
    EXPECT_EQ(line.verdict, Verdict::kFail);
    // Only the stand-in's waiting time is known to the check.
    const std::string waited = kTarvexStandinClient ? "no reply within 0.5 s"
                                                    : "no reply within the client library's "
                                                      "waiting time";
    EXPECT_EQ(line.message, "server 127.0.0.1 did not answer at the configured address (" + waited +
                                ", error code 3), and discovery found no server in 1 s");
    // This build's flavour decides whether a real server could have answered.
    EXPECT_EQ(line.advice.find("links the stand-in client library") != std::string::npos,
              kTarvexStandinClient)
        << line.advice;
    EXPECT_EQ(line.advice.find("start the motion-capture server") != std::string::npos,
              !kTarvexStandinClient)
        << line.advice;
    EXPECT_NE(line.advice.find("UDP ports " + std::to_string(silent.Port())), std::string::npos)
        << line.advice;
    EXPECT_TRUE(LinesOf(report, "frames").empty());
    EXPECT_EQ(MocapFacts(report)["configured_outcome"], "silent");
    // The connection requests and the discovery queries all came here.
    EXPECT_GE(silent.DatagramsReceived(), 2);
}

// The layer's watchdog would find the server by discovery: it works, with a warning to fix the
// address.
TEST_F(MocapCheckTest, AServerFoundOnlyByDiscoveryWarns) {
    StartServer(FixedPoseServer());
    // The configured address is held silent where the system lets us bind it (Wine does not), so
    // that nothing else answers there; either way the check must have met silence there.
    SilentPort configured("127.0.0.2", ports_.command);
    const Report report = Check(Settings(1, 1, "127.0.0.2"));
    EXPECT_EQ(MocapFacts(report)["configured_outcome"], "silent");
    EXPECT_EQ(MocapFacts(report)["found_by"], "discovery");
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
    EXPECT_EQ(line.message,
              "server 127.0.0.1 refused the connection at the configured address (error code 42); "
              "discovery found 127.0.0.1, but connecting to it failed: it refused the connection "
              "(error code 42)");
    EXPECT_NE(line.advice.find("turns this computer away"), std::string::npos) << line.advice;
    const nlohmann::json facts = MocapFacts(report);
    EXPECT_EQ(facts["configured_outcome"], "refused");
    EXPECT_EQ(facts["discovered_outcome"], "refused");
}

// A server that answers with an error is told apart from one that does not answer at all.
TEST_F(MocapCheckTest, ARefusingServerAloneAtItsAddressIsNotCalledSilent) {
    SimOptions options = FixedPoseServer();
    options.refuse = true;
    options.refuseCode = 7;
    StartServer(options);
    // Discovery asks where nothing answers, so the configured address's answer stands alone.
    SilentPort nowhere;
    ASSERT_TRUE(nowhere.Bound());
    ScopedVariable discoveryPorts("ORVIX_STANDIN_PORTS", std::to_string(nowhere.Port()) + ",0");
    const Report report = Check(Settings());
    const CheckLine line = OnlyLineOf(report, "server");
    EXPECT_EQ(line.verdict, Verdict::kFail);
    EXPECT_EQ(line.message,
              "server 127.0.0.1 refused the connection at the configured address (error code 7), "
              "and discovery found no server in 1 s");
    EXPECT_EQ(line.message.find("did not answer"), std::string::npos);
}

// A configured address that is no address cannot be tried at all.
TEST_F(MocapCheckTest, AServerAddressThatIsNoAddressIsSaidSo) {
    SilentPort nowhere;
    ASSERT_TRUE(nowhere.Bound());
    ports_ = {nowhere.Port(), 0};
    ScopedVariable discoveryPorts("ORVIX_STANDIN_PORTS", std::to_string(nowhere.Port()) + ",0");
    const Report report = Check(Settings(1, 1, "127.0.0.1 # lab"), 0.2);
    const CheckLine line = OnlyLineOf(report, "server");
    EXPECT_NE(line.message.find("could not be tried at the configured address (serveraddress or "
                                "localaddress is no dotted IPv4 address, error code 1)"),
              std::string::npos)
        << line.message;
    EXPECT_EQ(MocapFacts(report)["configured_outcome"], "bad_address");
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
    // Multicast frames go to a port both sides know beforehand: one the system just gave out.
    options.dataPort = SilentPort().Port();
    ASSERT_NE(options.dataPort, 0);
    options.multicast = true;
    options.multicastGroup = "239.255.60.60";  // the group the layer asks for
    StartServer(options);
    const Report report = Check(Settings(1, 0));
    EXPECT_NE(OnlyLineOf(report, "server").message.find("(multicast)"), std::string::npos);
    EXPECT_TRUE(report.Passed()) << report.Text();
    EXPECT_TRUE(LinesOf(report, "subscriptions").empty());
}

// A stream that stops halfway: the rate is that of the time frames flowed, and the report says
// when it stopped instead of passing it as a steady stream.
TEST_F(MocapCheckTest, AStreamThatStopsDuringTheCaptureWarnsWithWhen) {
    SimOptions options = FixedPoseServer();
    options.rateHz = 100.0;
    // The server's clock starts before the check connects, which under Wine on a busy machine
    // has taken over 0.3 s: the fault comes late enough for the capture to see frames before it.
    options.stopAfterSeconds = 1.0;
    StartServer(options);
    const Report report = Check(Settings(), 2.5);
    EXPECT_TRUE(report.Passed()) << report.Text();
    const CheckLine line = OnlyLineOf(report, "frames");
    EXPECT_EQ(line.verdict, Verdict::kWarn) << line.message;
    EXPECT_NE(line.message.find(" while it flowed; then the stream stopped, "), std::string::npos)
        << line.message;
    EXPECT_NE(line.message.find(" s into the 2.5 s capture, and sent nothing for the last "),
              std::string::npos)
        << line.message;
    EXPECT_NE(line.advice.find("stopped streaming"), std::string::npos);
    const nlohmann::json facts = MocapFacts(report);
    const double stoppedAfter = facts["stopped_after_s"].get<double>();
    const double flowing = facts["flowing_s"].get<double>();
    EXPECT_LT(stoppedAfter, 2.0);
    EXPECT_LE(flowing, stoppedAfter);
    EXPECT_GT(facts["silent_at_end_s"].get<double>(), 0.5);
    // Frames over the time they flowed, not over the whole capture.
    const double frames = facts["frames"].get<double>();
    EXPECT_NEAR(facts["frame_rate_hz"].get<double>(), (frames - 1.0) / flowing, 1e-6);
    EXPECT_GT(facts["frame_rate_hz"].get<double>(), frames / 2.0);
}

TEST_F(MocapCheckTest, AStreamThatPausesAndResumesWarnsWithThePause) {
    SimOptions options = FixedPoseServer();
    options.rateHz = 100.0;
    options.pauseAfterSeconds = 1.0;  // late enough, as above
    options.pauseForSeconds = 1.0;
    StartServer(options);
    const Report report = Check(Settings(), 3.0);
    const CheckLine line = OnlyLineOf(report, "frames");
    EXPECT_EQ(line.verdict, Verdict::kWarn) << line.message;
    EXPECT_NE(line.message.find(" Hz while it flowed, but the stream paused for "),
              std::string::npos)
        << line.message;
    const nlohmann::json facts = MocapFacts(report);
    EXPECT_GT(facts["longest_pause_s"].get<double>(), 0.5);
    // The rate leaves the pause out: frames over the time they flowed.
    const double frames = facts["frames"].get<double>();
    EXPECT_NEAR(facts["frame_rate_hz"].get<double>(),
                (frames - 2.0) / facts["flowing_s"].get<double>(), 1e-6);
    EXPECT_TRUE(facts["stopped_after_s"].is_null());
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

    const CheckRunResult text = RunCheck({"--seconds", "1"}, ports_);
    EXPECT_EQ(text.exitCode, 0) << text.output;
    EXPECT_NE(text.output.find("Result: OK"), std::string::npos) << text.output;
    EXPECT_EQ(text.output.find("[FAIL]"), std::string::npos) << text.output;

    const CheckRunResult json = RunCheck({"--json", "--seconds", "1"}, ports_);
    EXPECT_EQ(json.exitCode, 0);
    const auto document = nlohmann::json::parse(json.output);
    EXPECT_TRUE(document["passed"].get<bool>());
    EXPECT_EQ(document["facts"]["configuration"]["settings"]["hmdrbid"], 1);
    EXPECT_EQ(document["facts"]["registration"]["manifests"].size(), 1u);
    EXPECT_EQ(document["facts"]["mocap"]["found_by"], "configured address");
}

}  // namespace
