#include "tools/mocap-sim/SimCommandLine.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <vector>

#include "TarvexVersion.h"
#include "standins/orvix/UdpSocket.h"
#include "tools/command-line/CommandLineChecks.h"
#include "tools/mocap-sim/PoseJitter.h"

namespace {

constexpr const char* kProgram = "tarvex-mocap-sim";

CLI::Validator IPv4Address() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            uint32_t address = 0;
            return orvix::ParseIPv4(text.c_str(), &address)
                       ? std::string()
                       : "'" + text + "' is not an IPv4 address";
        },
        "");
}

CLI::Validator MulticastGroup() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            uint32_t address = 0;
            return orvix::ParseIPv4(text.c_str(), &address) && (address >> 28) == 0xEu
                       ? std::string()
                       : "'" + text + "' is not a multicast group (224.0.0.0 to 239.255.255.255)";
        },
        "");
}

CLI::Validator NotZero() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            double value = 0.0;
            return tools::ParseFiniteNumber(text, &value) && value != 0.0
                       ? std::string()
                       : "'" + text + "' is not a nonzero code";
        },
        "");
}

CLI::Validator AnAnswer() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            CommandAnswer answer;
            return ParseCommandAnswer(text, &answer)
                       ? std::string()
                       : "'" + text + "' is not an answer (N, empty, long:N, error:N or silent)";
        },
        "");
}

// Why the hand ids given cannot be used, or nothing. A default id that meets the headset's is left
// out of the frames instead, so that a command line that set only the headset's id keeps working.
std::string HandIdClash(const SimOptions& options, bool rightGiven, bool leftGiven) {
    if (rightGiven && options.rightHandId == options.headsetId) {
        return "--right-hand-id " + std::to_string(options.rightHandId) + " is the headset's id";
    }
    if (leftGiven && options.leftHandId == options.headsetId) {
        return "--left-hand-id " + std::to_string(options.leftHandId) + " is the headset's id";
    }
    if ((rightGiven || leftGiven) && options.rightHandId == options.leftHandId) {
        return "the right and the left hand cannot both have id " +
               std::to_string(options.rightHandId);
    }
    return std::string();
}

bool ParsePose(const std::string& text, MocapPose* pose) {
    std::vector<float> values;
    size_t start = 0;
    while (values.size() < 8) {
        const size_t comma = text.find(',', start);
        double value = 0.0;
        if (!tools::ParseFiniteNumber(text.substr(start, comma - start), &value)) {
            return false;
        }
        values.push_back(static_cast<float>(value));
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    if (values.size() != 7) {
        return false;
    }
    *pose = {values[0], values[1], values[2], values[3], values[4], values[5], values[6]};
    return true;
}

CLI::Validator APose() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            MocapPose pose;
            return ParsePose(text, &pose) ? std::string()
                                          : "'" + text + "' is not seven numbers X,Y,Z,QX,QY,QZ,QW";
        },
        "");
}

// Binds an answer switch: its text is checked, then read into `answer`.
void AddAnswer(CLI::App& app, const std::string& name, CommandAnswer* answer,
               const std::string& command) {
    app.add_option_function<std::string>(
           name, [answer](const std::string& text) { ParseCommandAnswer(text, answer); },
           "answer to \"" + command + "\" (default 0)")
        ->type_name("A")
        ->check(AnAnswer())
        ->group("Faults");
}

}  // namespace

SimCommandLine ParseSimCommandLine(int argc, const char* const* argv) {
    using tools::Integer;
    using tools::Number;
    SimCommandLine result;
    SimOptions& options = result.options;

    CLI::App app(
        "A simulated motion-capture server for the Orvix stand-in client library, on loopback "
        "UDP.\nIt answers discovery queries and commands, and streams frames of several rigid "
        "bodies, the\nheadset among them, to every connected client (unicast) or to a multicast "
        "group.",
        kProgram);
    app.set_version_flag("--version", TarvexVersionLine(kProgram), "print the version and exit");
    app.set_help_flag("-h,--help", "this text");
    // A switch given twice keeps its last value, as it always has.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.get_formatter()->column_width(30);
    app.footer(
        "Every event is printed as one line; a summary follows at exit. Ctrl-C (SIGINT) or "
        "SIGTERM stops\nit cleanly. Host timestamps are nanoseconds on the monotonic clock; the "
        "first line gives the\nstart time in seconds on that clock, which is where path time 0 "
        "lies.");

    app.add_option("--bind", options.bindAddress, "address to listen on (default 127.0.0.1)")
        ->type_name("ADDRESS")
        ->check(IPv4Address())
        ->group("Network");
    app.add_option("--command-port", options.commandPort,
                   "command and discovery port (default 1510; 0: any free\nport, printed in the "
                   "first line)")
        ->type_name("PORT")
        ->check(Integer(0, 65535))
        ->group("Network");
    app.add_option("--data-port", options.dataPort, "port multicast frames go to (default 1511)")
        ->type_name("PORT")
        ->check(Integer(1, 65535))
        ->group("Network");
    app.add_flag("--multicast", options.multicast,
                 "stream to the multicast group instead of to each client")
        ->group("Network");
    app.add_option("--multicast-group", options.multicastGroup, "the group (default 239.255.60.60)")
        ->type_name("GROUP")
        ->check(MulticastGroup())
        ->group("Network");

    app.add_option("--rate", options.rateHz, "frames per second (default 240, at most 10000)")
        ->type_name("HZ")
        ->check(Number({0.0, false, 10000.0}))
        ->group("Stream");
    app.add_option("--headset-id", options.headsetId,
                   "rigid-body id of the headset (default 1, 1..1000000)")
        ->type_name("ID")
        ->check(Integer(1, 1000000))
        ->group("Stream");
    app.add_option("--bodies", options.bodyCount,
                   "rigid bodies per frame, the headset and the hands\nincluded (default 4, "
                   "1..64); the rest stand still")
        ->type_name("N")
        ->check(Integer(1, 64))
        ->group("Stream");
    CLI::Option* rightHandId =
        app.add_option("--right-hand-id", options.rightHandId,
                       "rigid-body id of the right hand (default 2, 1..1000000)")
            ->type_name("ID")
            ->check(Integer(1, 1000000))
            ->group("Stream");
    CLI::Option* leftHandId =
        app.add_option("--left-hand-id", options.leftHandId,
                       "rigid-body id of the left hand (default 3, 1..1000000)")
            ->type_name("ID")
            ->check(Integer(1, 1000000))
            ->group("Stream");
    bool noHands = false;
    CLI::Option* noHandsFlag =
        app.add_flag(
               "--no-hands", noHands,
               "no hands: every body but the headset stands still\n(otherwise a controller in "
               "each hand, 0.2 m to the side,\n0.35 m forward and 0.35 m below the eyes, turned "
               "with\nthe head's heading, swinging 5 cm at 1 Hz on the\nmoving paths; "
               "--bodies 2 leaves out the left, 1 both)")
            ->group("Stream");
    std::string pathName;
    CLI::Option* path =
        app.add_option("--path", pathName,
                       "headset path (default circle: 1.5 m radius at 1.7 m\nheight, one lap per "
                       "20 s, facing along the walk, head\nturns of +-30 degrees at 0.25 Hz; "
                       "orbit: the same circle\nfacing its centre, looking down at the floor "
                       "there\n(48.6 degrees))")
            ->type_name("circle|orbit|fixed")
            ->check(CLI::IsMember({"circle", "orbit", "fixed"}).description(""))
            ->group("Stream");
    std::string poseText;
    CLI::Option* pose = app.add_option("--pose", poseText,
                                       "the fixed pose, motion-capture frame (metres, Y up);\n"
                                       "implies --path fixed (default 0,1.7,0,0,0,0,1)")
                            ->type_name("X,Y,Z,QX,QY,QZ,QW")
                            ->check(APose())
                            ->group("Stream");
    // Optical systems typically show noise of this order; the real size depends on the cameras,
    // their calibration, the marker layout and the distance.
    bool jitter = false;
    CLI::Option* jitterFlag =
        app.add_flag("--jitter", jitter,
                     "add measurement noise to the headset's and the hands'\nposes, each its "
                     "own, of the order an optical system\ntypically shows: 0.2 mm RMS in "
                     "position, 0.05 degree\nRMS in orientation")
            ->group("Stream");
    double jitterPositionMm = kDefaultJitterPositionMm;
    CLI::Option* jitterPosition =
        app.add_option("--jitter-position", jitterPositionMm,
                       "RMS length of the position noise (implies --jitter;\ndefault 0.2, 0: none)")
            ->type_name("MM")
            ->check(Number({0.0, true, 100.0}))
            ->group("Stream");
    double jitterOrientationDegrees = kDefaultJitterOrientationDegrees;
    CLI::Option* jitterOrientation =
        app.add_option("--jitter-orientation", jitterOrientationDegrees,
                       "RMS angle of the orientation noise (implies --jitter;\ndefault 0.05, 0: "
                       "none)")
            ->type_name("DEG")
            ->check(Number({0.0, true, 10.0}))
            ->group("Stream");
    app.add_option("--latency-ms", options.latencyMs,
                   "capture each frame this long before it is sent: its pose\nand timestamp are "
                   "of then, so frames arrive this much\nolder (default 0, at most 1000)")
        ->type_name("MS")
        ->check(Number({0.0, true, 1000.0}))
        ->group("Stream");
    app.add_option("--clock-offset", options.clockOffsetSeconds,
                   "add this to every host timestamp, as a server whose\nclock differs from the "
                   "client's would")
        ->type_name("SECONDS")
        ->check(Number({}))
        ->group("Stream");

    app.add_option_function<int32_t>(
           "--refuse",
           [&options](int32_t code) {
               options.refuse = true;
               options.refuseCode = code;
           },
           "refuse every connection with this nonzero code")
        ->type_name("CODE")
        ->check(Integer(INT32_MIN, INT32_MAX))
        ->check(NotZero())
        ->group("Faults");
    AddAnswer(app, "--answer-subscribe", &options.subscribeAnswer, "SubscribeToData");
    AddAnswer(app, "--answer-unsubscribe", &options.unsubscribeAnswer,
              "SubscribeToData,AllTypes,None");
    AddAnswer(app, "--answer-disconnect", &options.disconnectAnswer, "Disconnect");
    CLI::Option* pauseAfter =
        app.add_option("--pause-after", options.pauseAfterSeconds,
                       "stop streaming for --pause-for seconds, M seconds after\nthe start")
            ->type_name("M")
            ->check(Number({0.0}))
            ->group("Faults");
    CLI::Option* pauseFor = app.add_option("--pause-for", options.pauseForSeconds,
                                           "how long the pause of --pause-after lasts")
                                ->type_name("N")
                                ->check(Number({0.0}))
                                ->group("Faults");
    pauseAfter->needs(pauseFor);
    pauseFor->needs(pauseAfter);
    app.add_option("--stop-after", options.stopAfterSeconds,
                   "stop streaming for good T seconds after the start;\ncommands and discovery "
                   "are still answered")
        ->type_name("T")
        ->check(Number({0.0}))
        ->group("Faults");
    app.add_option("--truncate-every", options.truncateEvery,
                   "send every K-th frame cut short (malformed)")
        ->type_name("K")
        ->check(Integer(1, 1000000))
        ->group("Faults");

    app.add_option("--duration", options.durationSeconds,
                   "exit by itself after this long (default: until Ctrl-C)")
        ->type_name("SECONDS")
        ->check(Number({0.0, false}))
        ->group("Run");
    app.add_flag("--log-frames", options.logFrames, "print a line per frame sent (noisy)")
        ->group("Run");

    switch (tools::ParseCommandLine(app, argc, argv, &result.message)) {
        case tools::ParseOutcome::kRun:
            break;
        case tools::ParseOutcome::kShowInformation:
            return result;
        case tools::ParseOutcome::kBadArguments:
            result.exitCode = kSimExitBadArguments;
            return result;
    }
    if (noHandsFlag->count() > 0 && (rightHandId->count() > 0 || leftHandId->count() > 0)) {
        result.message = std::string(kProgram) + ": --no-hands cannot go with --" +
                         (rightHandId->count() > 0 ? "right" : "left") + "-hand-id (see --help)\n";
        result.exitCode = kSimExitBadArguments;
        return result;
    }
    options.hands = !noHands;
    if (const std::string clash =
            HandIdClash(options, rightHandId->count() > 0, leftHandId->count() > 0);
        !clash.empty()) {
        result.message = std::string(kProgram) + ": " + clash + " (see --help)\n";
        result.exitCode = kSimExitBadArguments;
        return result;
    }
    if (jitterFlag->count() > 0 || jitterPosition->count() > 0 || jitterOrientation->count() > 0) {
        options.jitterPositionMm = jitterPositionMm;
        options.jitterOrientationDegrees = jitterOrientationDegrees;
    }
    if (pose->count() > 0) {
        if (path->count() > 0 && pathName != "fixed") {
            result.message = std::string(kProgram) +
                             ": --pose sets a fixed pose; it cannot go with --path " + pathName +
                             " (see --help)\n";
            result.exitCode = kSimExitBadArguments;
            return result;
        }
        ParsePose(poseText, &options.path.fixedPose);
        options.path.kind = MocapPathKind::kFixed;
    } else if (pathName == "fixed") {
        options.path.kind = MocapPathKind::kFixed;
    } else if (pathName == "orbit") {
        options.path.kind = MocapPathKind::kOrbit;
    }
    result.run = true;
    return result;
}
