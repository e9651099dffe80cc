#pragma once

// A scripted stand-in for the client library, linked into the tracker's tests in its place.
// It records every call and command in order, answers with scripted codes and responses, and
// delivers frames and discovered servers on threads of its own, as the library does.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tracking/OrvixLib.h"

namespace scripted {

// The answer to one text command.
struct CommandResponse {
    ErrorCode code = ErrorCode_OK;
    bool present = true;         // false: success with a null response
    std::vector<uint8_t> bytes;  // the response; its length is the reported size
};

// A response of one 32-bit integer, as the server gives to subscription commands.
CommandResponse Int32Response(int32_t value);

struct Script {
    ErrorCode connectCode = ErrorCode_OK;
    ErrorCode descriptionCode = ErrorCode_OK;
    ErrorCode callbackCode = ErrorCode_OK;
    // Commands without an entry succeed with a four-byte zero.
    std::map<std::string, CommandResponse> responses;
    // What SecondsSinceHostTimestamp answers.
    double latencySeconds = 0.004;
    // Connect waits until ReleaseConnect() while this is set.
    bool holdConnect = false;
};

// Starts a new script and clears the record. Call with no client or discovery alive.
void Reset(const Script& script);
void SetLatency(double seconds);
void SetConnectCode(ErrorCode code);

// Every call so far, in order. Recording can be switched off for streaming runs.
std::vector<std::string> Calls();
void ClearCalls();
void SetRecording(bool on);

// Connect calls that have started waiting because of holdConnect; releases them.
bool WaitUntilConnectHeld(std::chrono::milliseconds timeout);
void ReleaseConnect();

using FrameFiller = std::function<void(sFrameOfMocapData&)>;

// Fills a frame on the newest connected client's frame thread and passes it to the registered
// callback; returns once the callback has returned. False when no client has a callback.
bool DeliverFrame(const FrameFiller& fill);

// While streaming, every connected client with a callback delivers frames continuously
// (several thousand a second); frame n is filled by fill(frame, n), n counting over all clients.
using StreamFiller = std::function<void(sFrameOfMocapData&, uint64_t)>;
void StartStreaming(StreamFiller fill);
void StopStreaming();
uint64_t StreamedFrames();

// Reports a server on the newest running discovery's thread; returns once the callback has
// returned. False when no discovery runs.
bool Announce(const DiscoveredServer& server);
// While set, every running discovery reports this server again and again.
void SetAutoAnnounce(std::optional<DiscoveredServer> server);

int LiveClients();
int LiveDiscoveries();

// A discovered-server record with the given texts; addresses longer than 15 bytes fill the
// field without a terminator.
DiscoveredServer MakeServer(const std::string& serverAddress, const std::string& localAddress,
                            bool multicast);

}  // namespace scripted
