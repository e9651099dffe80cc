#pragma once

// The stand-in's datagram format, shared by the client library and the simulated server.
// Every datagram starts with an eight-byte header; all integers and floats are little-endian.
// Decoders check every length against the datagram's size and never read past its end.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tracking/OrvixLib.h"

namespace orvix::wire {

inline constexpr uint32_t kMagic = 0x5856524Fu;  // the bytes "ORVX"
inline constexpr uint8_t kVersion = 1;
inline constexpr size_t kHeaderSize = 8;
inline constexpr size_t kMaxDatagram = 65507;
inline constexpr size_t kBodyWireSize = 38;
inline constexpr size_t kFrameFixedSize = 4 + 8 + 8 + 8 + 2;
// As many rigid bodies as one datagram carries.
inline constexpr size_t kMaxBodiesPerFrame =
    (kMaxDatagram - kHeaderSize - kFrameFixedSize) / kBodyWireSize;
inline constexpr size_t kMaxTextLength = 255;
inline constexpr size_t kMaxPayloadLength = 1024;
inline constexpr uint64_t kNanosecondsPerSecond = 1000000000ull;

enum class MessageType : uint8_t {
    kDiscoveryQuery = 1,
    kDiscoveryReply = 2,
    kConnectRequest = 3,
    kConnectReply = 4,
    kCommand = 5,
    kCommandReply = 6,
    kFrame = 7,
    kLeave = 8,
};

struct DiscoveryReply {
    uint16_t commandPort = 0;
    uint16_t dataPort = 0;
    bool multicast = false;
    uint32_t multicastGroup = 0;
    std::string serverName;
};

struct ConnectRequest {
    uint32_t requestId = 0;
    bool unicast = true;
    uint16_t clientDataPort = 0;  // unicast: where the client wants its frames
    uint64_t clientTimeNs = 0;    // echoed by the server
};

struct ConnectReply {
    uint32_t requestId = 0;
    int32_t result = 0;  // 0 accepted, otherwise the server's refusal code
    uint64_t clientTimeNs = 0;
    uint64_t serverTicks = 0;  // the server's clock when it answered
    uint64_t ticksPerSecond = 0;
    uint16_t dataPort = 0;
    bool multicast = false;
    uint32_t multicastGroup = 0;
    uint8_t appVersion[4] = {};
    std::string hostName;
    std::string appName;
};

struct Command {
    uint32_t requestId = 0;
    std::string text;
};

struct CommandReply {
    uint32_t requestId = 0;
    int32_t result = 0;  // nonzero: the command failed with this code
    std::vector<uint8_t> payload;
};

struct FrameHeader {
    uint32_t frameNumber = 0;
    uint64_t cameraMidExposureTimestamp = 0;
    uint64_t cameraDataReceivedTimestamp = 0;
    uint64_t transmitTimestamp = 0;
};

// Encoders append one whole datagram to out (which they clear first).
void EncodeEmpty(MessageType type, std::vector<uint8_t>& out);
void EncodeDiscoveryReply(const DiscoveryReply& message, std::vector<uint8_t>& out);
void EncodeConnectRequest(const ConnectRequest& message, std::vector<uint8_t>& out);
void EncodeConnectReply(const ConnectReply& message, std::vector<uint8_t>& out);
void EncodeCommand(const Command& message, std::vector<uint8_t>& out);
void EncodeCommandReply(const CommandReply& message, std::vector<uint8_t>& out);
// Bodies beyond kMaxBodiesPerFrame are left out.
void EncodeFrame(const FrameHeader& header, const RigidBodyEntry* bodies, size_t count,
                 std::vector<uint8_t>& out);

// The message type of a datagram with a valid header, or false.
bool PeekType(const uint8_t* data, size_t size, MessageType* type);

// Decoders return false for a datagram of another type or of a wrong length.
bool DecodeDiscoveryReply(const uint8_t* data, size_t size, DiscoveryReply* message);
bool DecodeConnectRequest(const uint8_t* data, size_t size, ConnectRequest* message);
bool DecodeConnectReply(const uint8_t* data, size_t size, ConnectReply* message);
bool DecodeCommand(const uint8_t* data, size_t size, Command* message);
bool DecodeCommandReply(const uint8_t* data, size_t size, CommandReply* message);
// Fills the count, the rigid bodies, the frame number and the timestamps of frame; leaves the
// rest of the record alone, so a long-lived record costs nothing per frame.
bool DecodeFrameInto(const uint8_t* data, size_t size, sFrameOfMocapData* frame);

}  // namespace orvix::wire
