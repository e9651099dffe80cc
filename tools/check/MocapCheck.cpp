#include "tools/check/MocapCheck.h"

#include <TarvexVersion.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <numbers>
#include <sstream>
#include <string>
#include <thread>

#include "override/QuaternionMath.h"
#include "platform/Platform.h"
#include "standins/orvix/OrvixStandin.h"
#include "tools/check/ConnectFailure.h"
#include "tools/check/FrameCapture.h"

namespace {

constexpr const char* kSection = "mocap";

std::string Text(double value) {
    if (value == 0.0) {
        value = 0.0;  // no "-0" in the report
    }
    std::ostringstream out;
    out.precision(4);
    out << value;
    return out.str();
}

std::string Mode(int32_t connectionType) {
    return connectionType == 0 ? "multicast" : "unicast";
}

// The first server the library's discovery reports.
class DiscoveryWait {
public:
    static void Callback(const DiscoveredServer* server, void* context) {
        auto* self = static_cast<DiscoveryWait*>(context);
        std::lock_guard lock(self->mutex_);
        if (!self->found_) {
            std::memcpy(&self->server_, server, sizeof self->server_);
            self->found_ = true;
            self->changed_.notify_all();
        }
    }

    bool Wait(double seconds, DiscoveredServer* server) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return found_; });
        if (found_) {
            std::memcpy(server, &server_, sizeof server_);
        }
        return found_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool found_ = false;
    DiscoveredServer server_{};
};

std::string Terminated(const char (&text)[16]) {
    return std::string(text, strnlen(text, 16));
}

struct Connection {
    std::unique_ptr<OrvixClient> client;
    ErrorCode code = ErrorCode_OK;
};

// The layer's connection steps: a fresh client, a Disconnect, then Connect.
Connection Connect(const sOrvixClientConnectParams& params) {
    Connection connection;
    connection.client = std::make_unique<OrvixClient>();
    connection.client->Disconnect();
    connection.code = connection.client->Connect(params);
    if (connection.code != ErrorCode_OK) {
        connection.client.reset();
    }
    return connection;
}

// The layer's subscription reset in unicast mode; an empty text when the server accepted it.
std::string ResetSubscriptions(OrvixClient& client) {
    for (const char* command : {"SubscribeToData", "SubscribeToData,AllTypes,None"}) {
        void* response = nullptr;
        int size = 0;
        const ErrorCode code = client.SendMessageAndWait(command, &response, &size);
        int32_t answer = -1;
        if (code == ErrorCode_OK && response != nullptr && size == 4) {
            std::memcpy(&answer, response, sizeof answer);
        }
        if (code != ErrorCode_OK) {
            return std::string("\"") + command + "\" failed with error code " +
                   std::to_string(code);
        }
        if (answer != 0) {
            return std::string("\"") + command + "\" was not answered with a four-byte 0";
        }
    }
    return {};
}

void Disconnect(OrvixClient& client) {
    void* response = nullptr;
    int size = 0;
    client.SendMessageAndWait("Disconnect", &response, &size);
    client.Disconnect();
}

std::string IdList(const std::set<int32_t>& ids) {
    std::string text;
    for (const int32_t id : ids) {
        text += (text.empty() ? "" : ", ") + std::to_string(id);
    }
    return text;
}

// Frames, and whether they kept flowing: a stream that stopped is reported with the rate while it
// flowed and when it stopped; one that paused and came back, with the pause.
// seconds is the capture time asked for; captureStart and captureEnd are when it ran.
void ReportFrames(const CaptureSummary& capture, double seconds, double captureStart,
                  double captureEnd, Report& report) {
    JsonValue& facts = report.Facts(kSection);
    const double flowed = capture.lastFrameSeconds - capture.firstFrameSeconds;
    const double silentAtEnd = captureEnd - capture.lastFrameSeconds;
    const double threshold = capture.SilenceThresholdSeconds();
    const std::string rate = Text(capture.FrameRate()) + " Hz";
    const std::string count =
        std::to_string(capture.frames) + (capture.frames == 1 ? " frame" : " frames");
    facts["flowing_s"] = flowed;
    facts["silent_at_end_s"] = silentAtEnd;
    if (silentAtEnd > threshold) {
        const double stoppedAt = capture.lastFrameSeconds - captureStart;
        facts["stopped_after_s"] = stoppedAt;
        report.Add(kSection, "frames", Verdict::kWarn,
                   count + " in " + Text(flowed) + " s, " + rate +
                       " while it flowed; then the stream stopped, " + Text(stoppedAt) +
                       " s into the " + Text(seconds) +
                       " s capture, and sent nothing for the last " + Text(silentAtEnd) + " s",
                   "the server stopped streaming: check that it is still recording and "
                   "streaming, and the network between it and this computer");
        return;
    }
    facts["stopped_after_s"] = nullptr;
    if (capture.longestGapSeconds > threshold) {
        const double pausedAt = capture.longestGapStartSeconds - captureStart;
        // The rate of the two stretches around the pause, which hold one interval fewer.
        const double flowingTime = flowed - capture.longestGapSeconds;
        const double flowingRate =
            flowingTime > 0.0 ? static_cast<double>(capture.frames - 2) / flowingTime : 0.0;
        facts["longest_pause_s"] = capture.longestGapSeconds;
        facts["flowing_s"] = flowingTime;
        facts["frame_rate_hz"] = flowingRate;
        report.Add(kSection, "frames", Verdict::kWarn,
                   count + " in " + Text(seconds) + " s, " + Text(flowingRate) +
                       " Hz while it flowed, but the stream paused for " +
                       Text(capture.longestGapSeconds) + " s, " + Text(pausedAt) +
                       " s into the capture",
                   "the layer holds the last pose while no frame comes: check the server's load "
                   "and the network between it and this computer");
        return;
    }
    report.Add(kSection, "frames", Verdict::kOk, count + " in " + Text(seconds) + " s: " + rate);
}

void ReportCapture(const TrackingSettings& settings, const CaptureSummary& capture, double seconds,
                   double captureStart, double captureEnd, Report& report) {
    JsonValue& facts = report.Facts(kSection);
    facts["frames"] = capture.frames;
    facts["frame_rate_hz"] = capture.FrameRate();
    facts["rigid_body_ids"] = capture.rigidBodyIds;
    facts["hmdrbid"] = settings.hmdRigidBodyId;
    facts["hmd_found"] = capture.headsetFrames > 0;

    if (capture.frames == 0) {
        report.Add(kSection, "frames", Verdict::kFail,
                   "connected, but no frame arrived in " + Text(seconds) + " s",
                   "start streaming on the motion-capture server; in multicast mode make sure the "
                   "network passes multicast to this computer");
        return;
    }
    ReportFrames(capture, seconds, captureStart, captureEnd, report);
    report.Add(kSection, "rigid_bodies", Verdict::kInfo,
               capture.rigidBodyIds.empty()
                   ? std::string("the stream holds no rigid bodies")
                   : "rigid-body ids in the stream: " + IdList(capture.rigidBodyIds));

    const std::string wanted =
        "headset rigid body (hmdrbid) " + std::to_string(settings.hmdRigidBodyId);
    if (capture.headsetFrames == 0) {
        report.Add(
            kSection, "headset", Verdict::kFail,
            wanted + " is not in the stream; the ids there are: " +
                (capture.rigidBodyIds.empty() ? std::string("none") : IdList(capture.rigidBodyIds)),
            capture.rigidBodyIds.empty()
                ? std::string("define the headset as a rigid body on the server")
                : std::string("set hmdrbid in ") + kConfigFileName +
                      " to the headset's id, one of those above");
        return;
    }
    report.Add(kSection, "headset", Verdict::kOk,
               wanted + " is in " + std::to_string(capture.headsetFrames) + " of " +
                   std::to_string(capture.frames) + " frames");

    if (!capture.havePose) {
        report.Add(kSection, "latency", Verdict::kFail,
                   "every headset frame lies in the future by the client library's clock: the "
                   "layer drops them all",
                   "synchronise the clocks of the server and this computer");
        return;
    }
    const XrQuaternionf stored{capture.orientation[0], capture.orientation[1],
                               capture.orientation[2], capture.orientation[3]};
    const double heading = 2.0 * static_cast<double>(HalfYaw(stored)) * 180.0 / std::numbers::pi;
    CheckLine& pose =
        report.Add(kSection, "pose", Verdict::kInfo,
                   "headset as the layer stores it: position (" + Text(capture.position[0]) + ", " +
                       Text(capture.position[1]) + ", " + Text(capture.position[2]) +
                       ") m, heading " + Text(heading) + " deg");
    pose.details = {"orientation (x, y, z, w) = (" + Text(stored.x) + ", " + Text(stored.y) + ", " +
                    Text(stored.z) + ", " + Text(stored.w) + ")"};
    facts["position"] = {capture.position[0], capture.position[1], capture.position[2]};
    facts["orientation"] = {stored.x, stored.y, stored.z, stored.w};
    facts["heading_deg"] = heading;

    const double meanMs =
        1000.0 * capture.latencySumSeconds / static_cast<double>(capture.latencyCount);
    const double maxMs = 1000.0 * capture.latencyMaxSeconds;
    facts["latency"] = {{"mean_ms", meanMs},
                        {"max_ms", maxMs},
                        {"frames_dropped_as_future", capture.negativeLatencies}};
    const std::string measured = "latency mean " + Text(meanMs) + " ms, max " + Text(maxMs) + " ms";
    if (capture.negativeLatencies > 0) {
        report.Add(kSection, "latency", Verdict::kWarn,
                   measured + "; " + std::to_string(capture.negativeLatencies) +
                       " headset frames lie in the future and would be dropped",
                   "synchronise the clocks of the server and this computer");
    } else if (meanMs > 50.0) {
        report.Add(kSection, "latency", Verdict::kWarn, measured + ": the headset will lag",
                   "check the network load and the server's processing delay");
    } else {
        report.Add(kSection, "latency", Verdict::kOk, measured);
    }
}

}  // namespace

void CheckMotionCapture(const TrackingSettings& settings, double seconds, Report& report,
                        const MocapPorts& ports) {
    JsonValue& facts = report.Facts(kSection);
    sOrvixClientConnectParams configured = ConfiguredConnectParams(settings);
    if (ports.command != 0) {
        configured.commandPort = ports.command;
    }
    if (ports.data != 0) {
        configured.dataPort = ports.data;
    }
    Connection connection = Connect(configured);
    const ErrorCode configuredCode = connection.code;
    std::string server = settings.serverAddress;
    int32_t mode = configured.connectionType;

    Verdict serverVerdict = Verdict::kOk;
    std::string serverMessage;
    std::string serverAdvice;
    if (connection.client) {
        facts["found_by"] = "configured address";
        serverMessage =
            "server " + server + " answered at the configured address (" + Mode(mode) + ")";
    } else {
        // The layer's watchdog falls back on discovery; do the same, for the capture time.
        DiscoveryWait wait;
        OrvixDiscoveryHandle handle = nullptr;
        Orvix_CreateAsyncServerDiscovery(&handle, &DiscoveryWait::Callback, &wait);
        DiscoveredServer found{};
        const bool discovered = wait.Wait(seconds, &found);
        if (handle != nullptr) {
            Orvix_FreeAsyncServerDiscovery(handle);
        }
        const ConnectFailure failure = DescribeConnectFailure(configuredCode, kTarvexStandinClient);
        const std::string failed = "server " + settings.serverAddress + " " + failure.what +
                                   " at the configured address " + failure.detail;
        facts["configured_error_code"] = configuredCode;
        facts["configured_outcome"] = failure.kind;
        if (!discovered) {
            facts["found_by"] = nullptr;
            report.Add(kSection, "server", Verdict::kFail,
                       failed + ", and discovery found no server in " + Text(seconds) + " s",
                       ConnectAdvice(failure, configured, kTarvexStandinClient));
            return;
        }
        sOrvixClientConnectParams params{};
        params.connectionType = found.multicastFlag != 0 ? 0 : 1;
        const std::string serverAddress = Terminated(found.serverAddress);
        const std::string localAddress = Terminated(found.localAddress);
        params.serverAddress = serverAddress.c_str();
        params.localAddress = localAddress.c_str();
        connection = Connect(params);
        server = serverAddress;
        mode = params.connectionType;
        facts["found_by"] = "discovery";
        if (!connection.client) {
            const ConnectFailure again =
                DescribeConnectFailure(connection.code, kTarvexStandinClient);
            facts["discovered_outcome"] = again.kind;
            report.Add(kSection, "server", Verdict::kFail,
                       failed + "; discovery found " + server +
                           ", but connecting to it failed: it " + again.what + " " + again.detail,
                       ConnectAdvice(again, params, kTarvexStandinClient));
            return;
        }
        serverVerdict = Verdict::kWarn;
        serverMessage = failed + "; discovery found " + server + " (" + Mode(mode) +
                        "), which the layer's watchdog will connect to after a delay";
        serverAdvice = "set serveraddress to " + server + " and localaddress to " + localAddress +
                       " so that the first connection succeeds";
    }
    facts["server"] = server;
    facts["mode"] = Mode(mode);

    OrvixClient& client = *connection.client;
    sServerDescription description{};
    const ErrorCode descriptionCode = client.GetServerDescription(&description);
    if (descriptionCode != ErrorCode_OK) {
        // The layer drops a connection whose server description it cannot get.
        report.Add(kSection, "server", Verdict::kFail,
                   serverMessage + ", but gave no server description (error code " +
                       std::to_string(descriptionCode) + "): the layer disconnects",
                   "check the server's version and its streaming settings");
        Disconnect(client);
        return;
    }
    if (description.hostPresent) {
        const std::string host(description.hostComputerName,
                               strnlen(description.hostComputerName, 256));
        const std::string application(description.hostApp, strnlen(description.hostApp, 256));
        facts["host"] = host;
        facts["application"] = application;
        serverMessage += ": host \"" + host + "\", application \"" + application + "\"";
    }
    report.Add(kSection, "server", serverVerdict, serverMessage, serverAdvice);
    // The layer resets the subscriptions when its settings say unicast, whoever it connected to.
    if (settings.connectionType == 1) {
        const std::string problem = ResetSubscriptions(client);
        if (!problem.empty()) {
            report.Add(kSection, "subscriptions", Verdict::kWarn,
                       "subscription reset: " + problem + "; the layer goes on regardless",
                       "check the server's version and its data-streaming settings");
        }
    }

    FrameCapture capture(client, settings.hmdRigidBodyId);
    const double captureStart = platform::MonotonicSeconds();
    const ErrorCode callbackCode = client.SetFrameReceivedCallback(&CaptureFrameCallback, &capture);
    if (callbackCode != ErrorCode_OK) {
        report.Add(kSection, "frames", Verdict::kFail,
                   "the client library refused the frame callback (error code " +
                       std::to_string(callbackCode) + ")",
                   "reinstall the motion-capture client library");
        Disconnect(client);
        return;
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double captureEnd = platform::MonotonicSeconds();
    Disconnect(client);
    ReportCapture(settings, capture.Summary(), seconds, captureStart, captureEnd, report);
}
