#pragma once

#include <cstdint>
#include <string>

#include "tracking/StreamBodyRecord.h"

class MocapTracker;

// What is known when a wait for the headset's first pose gives up.
struct HeadsetWaitFacts {
    bool started = false;  // the settings were read and a connection attempted
    int32_t hmdRigidBodyId = 0;
    std::string serverAddress;
    bool multicast = false;
    bool connected = false;    // a connection to the server is up now
    bool discovering = false;  // a server discovery is running
    double waitedSeconds = 0.0;
    StreamBodyRecord::Seen seen;
};

// Gathered on the waiting thread once the wait has failed, the watch still running.
HeadsetWaitFacts GatherHeadsetWaitFacts(const MocapTracker& tracker, double waitedSeconds);

// One line for the log file, newline included: why no headset pose came, from what the stream
// carried during the wait or what is known of the connection when nothing came.
std::string DescribeHeadsetWaitFailure(const HeadsetWaitFacts& facts);
