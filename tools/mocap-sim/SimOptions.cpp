#include "tools/mocap-sim/SimOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

bool ParseDouble(const std::string& text, double* value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(parsed)) {
        return false;
    }
    *value = parsed;
    return true;
}

bool ParseInt(const std::string& text, long long low, long long high, long long* value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) {
        return false;
    }
    *value = parsed;
    return true;
}

bool ParseFloats(const std::string& text, std::vector<float>* values) {
    values->clear();
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = text.find(',', start);
        const std::string part =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        double value = 0.0;
        if (!ParseDouble(part, &value)) {
            return false;
        }
        values->push_back(static_cast<float>(value));
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return true;
}

}  // namespace

bool ParseCommandAnswer(const std::string& text, CommandAnswer* answer) {
    long long value = 0;
    if (text == "empty") {
        *answer = {CommandAnswer::Kind::kEmpty, 0};
        return true;
    }
    if (text == "silent") {
        *answer = {CommandAnswer::Kind::kSilent, 0};
        return true;
    }
    if (text.rfind("long:", 0) == 0 && ParseInt(text.substr(5), INT32_MIN, INT32_MAX, &value)) {
        *answer = {CommandAnswer::Kind::kLong, static_cast<int32_t>(value)};
        return true;
    }
    if (text.rfind("error:", 0) == 0 && ParseInt(text.substr(6), INT32_MIN, INT32_MAX, &value) &&
        value != 0) {
        *answer = {CommandAnswer::Kind::kError, static_cast<int32_t>(value)};
        return true;
    }
    if (ParseInt(text, INT32_MIN, INT32_MAX, &value)) {
        *answer = {CommandAnswer::Kind::kInt32, static_cast<int32_t>(value)};
        return true;
    }
    return false;
}

std::string DescribeCommandAnswer(const CommandAnswer& answer) {
    switch (answer.kind) {
        case CommandAnswer::Kind::kInt32:
            return std::to_string(answer.value);
        case CommandAnswer::Kind::kEmpty:
            return "empty";
        case CommandAnswer::Kind::kLong:
            return "long:" + std::to_string(answer.value);
        case CommandAnswer::Kind::kError:
            return "error:" + std::to_string(answer.value);
        case CommandAnswer::Kind::kSilent:
            return "silent";
    }
    return "?";
}

std::string SimUsage() {
    return R"(Usage: tarvex-mocap-sim [switches]

A simulated motion-capture server for the Orvix stand-in client library, on loopback UDP.
It answers discovery queries and commands, and streams frames of several rigid bodies, the
headset among them, to every connected client (unicast) or to a multicast group.

Network:
  --bind ADDRESS            address to listen on (default 127.0.0.1)
  --command-port PORT       command and discovery port (default 1510; 0: any free port,
                            printed in the first line)
  --data-port PORT          port multicast frames go to (default 1511)
  --multicast               stream to the multicast group instead of to each client
  --multicast-group GROUP   the group (default 239.255.60.60)

Stream:
  --rate HZ                 frames per second (default 240)
  --headset-id ID           rigid-body id of the headset (default 1)
  --bodies N                rigid bodies per frame, the headset included (default 4, 1..64)
  --path circle|fixed       headset path (default circle: 1.5 m radius at 1.7 m height, one lap
                            per 20 s, head turns of +-30 degrees at 0.25 Hz)
  --pose X,Y,Z,QX,QY,QZ,QW  the fixed pose, motion-capture frame (metres, Y up); implies
                            --path fixed (default 0,1.7,0,0,0,0,1)
  --clock-offset SECONDS    add this to every host timestamp, as a server whose clock differs
                            from the client's would

Faults:
  --refuse CODE             refuse every connection with this nonzero code
  --answer-subscribe A      answer to "SubscribeToData" (default 0)
  --answer-unsubscribe A    answer to "SubscribeToData,AllTypes,None" (default 0)
  --answer-disconnect A     answer to "Disconnect" (default 0)
                            A is one of: an integer (four bytes), empty (no bytes), long:N
                            (eight bytes, N first), error:N (the command fails with code N),
                            silent (no answer)
  --pause-after M --pause-for N
                            stop streaming for N seconds, M seconds after the start
  --stop-after T            stop streaming for good T seconds after the start; commands and
                            discovery are still answered
  --truncate-every K        send every K-th frame cut short (malformed)

Run:
  --duration SECONDS        exit by itself after this long (default: until Ctrl-C)
  --log-frames              print a line per frame sent (noisy)
  --help                    this text

Every event is printed as one line; a summary follows at exit. Ctrl-C (SIGINT) or SIGTERM stops
it cleanly. Host timestamps are nanoseconds on the monotonic clock; the first line gives the
start time in seconds on that clock, which is where path time 0 lies.
)";
}

bool ParseSimOptions(int argc, char** argv, SimOptions* options, std::string* message,
                     bool* wantsHelp) {
    *wantsHelp = false;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            *wantsHelp = true;
            *message = SimUsage();
            return false;
        }
        if (name == "--multicast") {
            options->multicast = true;
            continue;
        }
        if (name == "--log-frames") {
            options->logFrames = true;
            continue;
        }
        if (i + 1 >= argc) {
            *message = "missing value for " + name;
            return false;
        }
        const std::string value = argv[++i];
        long long integer = 0;
        double real = 0.0;
        bool ok = true;
        if (name == "--bind") {
            options->bindAddress = value;
        } else if (name == "--command-port") {
            ok = ParseInt(value, 0, 65535, &integer);
            options->commandPort = static_cast<uint16_t>(integer);
        } else if (name == "--data-port") {
            ok = ParseInt(value, 1, 65535, &integer);
            options->dataPort = static_cast<uint16_t>(integer);
        } else if (name == "--multicast-group") {
            options->multicastGroup = value;
        } else if (name == "--rate") {
            ok = ParseDouble(value, &real) && real > 0.0 && real <= 10000.0;
            options->rateHz = real;
        } else if (name == "--headset-id") {
            ok = ParseInt(value, INT32_MIN, INT32_MAX, &integer);
            options->headsetId = static_cast<int32_t>(integer);
        } else if (name == "--bodies") {
            ok = ParseInt(value, 1, 64, &integer);
            options->bodyCount = static_cast<int>(integer);
        } else if (name == "--path") {
            ok = value == "circle" || value == "fixed";
            options->path.kind =
                value == "fixed" ? MocapPathKind::kFixed : MocapPathKind::kCircleWalk;
        } else if (name == "--pose") {
            std::vector<float> values;
            ok = ParseFloats(value, &values) && values.size() == 7;
            if (ok) {
                options->path.kind = MocapPathKind::kFixed;
                options->path.fixedPose = {values[0], values[1], values[2], values[3],
                                           values[4], values[5], values[6]};
            }
        } else if (name == "--clock-offset") {
            ok = ParseDouble(value, &real);
            options->clockOffsetSeconds = real;
        } else if (name == "--refuse") {
            ok = ParseInt(value, INT32_MIN, INT32_MAX, &integer) && integer != 0;
            options->refuse = true;
            options->refuseCode = static_cast<int32_t>(integer);
        } else if (name == "--answer-subscribe") {
            ok = ParseCommandAnswer(value, &options->subscribeAnswer);
        } else if (name == "--answer-unsubscribe") {
            ok = ParseCommandAnswer(value, &options->unsubscribeAnswer);
        } else if (name == "--answer-disconnect") {
            ok = ParseCommandAnswer(value, &options->disconnectAnswer);
        } else if (name == "--pause-after") {
            ok = ParseDouble(value, &real) && real >= 0.0;
            options->pauseAfterSeconds = real;
        } else if (name == "--pause-for") {
            ok = ParseDouble(value, &real) && real >= 0.0;
            options->pauseForSeconds = real;
        } else if (name == "--stop-after") {
            ok = ParseDouble(value, &real) && real >= 0.0;
            options->stopAfterSeconds = real;
        } else if (name == "--duration") {
            ok = ParseDouble(value, &real) && real > 0.0;
            options->durationSeconds = real;
        } else if (name == "--truncate-every") {
            ok = ParseInt(value, 1, 1000000, &integer);
            options->truncateEvery = static_cast<int>(integer);
        } else {
            *message = "unknown switch " + name + " (see --help)";
            return false;
        }
        if (!ok) {
            *message = "bad value '" + value + "' for " + name + " (see --help)";
            return false;
        }
    }
    return true;
}
