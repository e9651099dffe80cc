#pragma once

// Settings of the simulated motion-capture server, from its command line (SimCommandLine.h) or
// from a test.

#include <cstdint>
#include <string>

#include "tools/mocap-sim/MocapPath.h"

// How the server answers one command.
struct CommandAnswer {
    enum class Kind {
        kInt32,   // four bytes: value
        kEmpty,   // success with no bytes
        kLong,    // eight bytes: value, then zero
        kError,   // the command fails with code value
        kSilent,  // no answer at all
    };
    Kind kind = Kind::kInt32;
    int32_t value = 0;
};

struct SimOptions {
    std::string bindAddress = "127.0.0.1";
    uint16_t commandPort = 1510;  // 0: let the system choose (tests)
    uint16_t dataPort = 1511;
    bool multicast = false;
    std::string multicastGroup = "239.255.60.60";
    double rateHz = 240.0;
    int32_t headsetId = 1;
    int bodyCount = 4;  // the headset, the hands and props standing still (FrameBodies.h)
    // Controller bodies moving as hands do (HandPoseAt); the ids are those of the sample settings
    // file's right and left controllers.
    bool hands = true;
    int32_t rightHandId = 2;
    int32_t leftHandId = 3;
    MocapPath path;
    // Noise on the headset's and the hands' poses, RMS sizes (PoseJitter.h); zero: exact poses.
    double jitterPositionMm = 0.0;
    double jitterOrientationDegrees = 0.0;
    bool refuse = false;
    int32_t refuseCode = 0;
    CommandAnswer subscribeAnswer;    // "SubscribeToData"
    CommandAnswer unsubscribeAnswer;  // "SubscribeToData,AllTypes,None"
    CommandAnswer disconnectAnswer;   // "Disconnect"
    double pauseAfterSeconds = -1.0;  // negative: never
    double pauseForSeconds = 0.0;
    double stopAfterSeconds = -1.0;  // negative: never
    double durationSeconds = 0.0;    // 0: until stopped
    double clockOffsetSeconds = 0.0;
    // How long before it is sent each frame was captured: its pose and timestamp are of then, so
    // that clients see frames this much older, as from a system with that latency.
    double latencyMs = 0.0;
    int truncateEvery = 0;  // 0: never
    bool logFrames = false;
};

bool ParseCommandAnswer(const std::string& text, CommandAnswer* answer);
std::string DescribeCommandAnswer(const CommandAnswer& answer);
