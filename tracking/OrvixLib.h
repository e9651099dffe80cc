#pragma once

// Declarations of the motion-capture vendor's client library, OrvixLib, as the tracker calls it.
// The record layouts are fixed by the library's binary interface, so every offset the tracker
// reads is pinned below.

#include <cstddef>
#include <cstdint>

using ErrorCode = int32_t;
inline constexpr ErrorCode ErrorCode_OK = 0;
inline constexpr ErrorCode ErrorCode_InvalidArgument = 1;
inline constexpr ErrorCode ErrorCode_Network = 2;
inline constexpr ErrorCode ErrorCode_NoServer = 3;  // no answer from the server in time
inline constexpr ErrorCode ErrorCode_NotConnected = 4;
inline constexpr ErrorCode ErrorCode_AlreadyConnected = 5;
inline constexpr ErrorCode ErrorCode_BadResponse = 6;

struct sOrvixClientConnectParams {
    int32_t connectionType;  // 0 multicast, 1 unicast
    uint16_t commandPort;
    uint16_t dataPort;
    const char* serverAddress;
    const char* localAddress;
    const char* multicastGroup;  // may be null: the library's default group
    bool optionFlag;
    int32_t reserved;
};

// Filled by the library; the tracker only keeps it.
struct sServerDescription {
    bool hostPresent;
    char hostComputerName[256];
    uint8_t hostComputerAddress[4];
    char hostApp[256];
    uint8_t hostAppVersion[4];
    uint8_t protocolVersion[4];
    uint64_t highResClockFrequency;
    bool connectionInfoValid;
    uint16_t connectionDataPort;
    bool connectionMulticast;
    uint8_t connectionMulticastAddress[4];
};
static_assert(sizeof(sServerDescription) == 552);

struct DiscoveredServer {
    char localAddress[16];   // NUL-terminated when it fits
    char serverAddress[16];  // NUL-terminated when it fits
    uint16_t serverCommandPort;
    uint8_t serverInfo[546];
    uint8_t multicastFlag;  // nonzero: the server streams multicast
    char multicastAddress[16];
};
static_assert(offsetof(DiscoveredServer, localAddress) == 0);
static_assert(offsetof(DiscoveredServer, serverAddress) == 16);
static_assert(offsetof(DiscoveredServer, multicastFlag) == 580);

struct RigidBodyEntry {
    int32_t id;
    float x, y, z;
    float qx, qy, qz, qw;
    float meanError;
    int16_t params;
};
static_assert(sizeof(RigidBodyEntry) == 40);
static_assert(offsetof(RigidBodyEntry, id) == 0);
static_assert(offsetof(RigidBodyEntry, x) == 4);
static_assert(offsetof(RigidBodyEntry, y) == 8);
static_assert(offsetof(RigidBodyEntry, z) == 12);
static_assert(offsetof(RigidBodyEntry, qx) == 16);
static_assert(offsetof(RigidBodyEntry, qy) == 20);
static_assert(offsetof(RigidBodyEntry, qz) == 24);
static_assert(offsetof(RigidBodyEntry, qw) == 28);

// As many rigid bodies as fit between the count and the timestamps.
inline constexpr int32_t kMaxRigidBodies = 8909;

struct sFrameOfMocapData {
    int32_t iFrame;
    uint8_t markerData[272020];  // marker sets and loose markers; the tracker does not read them
    int32_t nRigidBodies;
    RigidBodyEntry rigidBodies[kMaxRigidBodies];
    int32_t nSkeletons;
    uint64_t cameraMidExposureTimestamp;  // host clock ticks; 0 when the server did not set it
    uint64_t cameraDataReceivedTimestamp;
    uint64_t transmitTimestamp;
};
static_assert(offsetof(sFrameOfMocapData, nRigidBodies) == 272024);
static_assert(offsetof(sFrameOfMocapData, rigidBodies) == 272028);
static_assert(offsetof(sFrameOfMocapData, cameraMidExposureTimestamp) == 628392);
static_assert(offsetof(sFrameOfMocapData, cameraDataReceivedTimestamp) == 628400);

using OrvixFrameCallback = void (*)(sFrameOfMocapData* frame, void* context);
using OrvixDiscoveryCallback = void (*)(const DiscoveredServer* server, void* context);
using OrvixDiscoveryHandle = void*;

class OrvixClient {
public:
    OrvixClient();
    ~OrvixClient();
    OrvixClient(const OrvixClient&) = delete;
    OrvixClient& operator=(const OrvixClient&) = delete;

    ErrorCode Connect(const sOrvixClientConnectParams& params);
    // After it returns, no frame callback of this client runs.
    ErrorCode Disconnect();
    ErrorCode GetServerDescription(sServerDescription* description);
    // On success *response points to *responseSize bytes owned by the client.
    ErrorCode SendMessageAndWait(const char* command, void** response, int* responseSize);
    ErrorCode SetFrameReceivedCallback(OrvixFrameCallback callback, void* context);
    double SecondsSinceHostTimestamp(uint64_t hostTimestamp) const;

    class Impl;

private:
    Impl* impl_;
};

// Starts a discovery thread that reports every server it finds; *handle receives its handle.
ErrorCode Orvix_CreateAsyncServerDiscovery(OrvixDiscoveryHandle* handle,
                                           OrvixDiscoveryCallback callback, void* context);
// Ends the discovery; no callback of it runs after this returns.
ErrorCode Orvix_FreeAsyncServerDiscovery(OrvixDiscoveryHandle handle);
