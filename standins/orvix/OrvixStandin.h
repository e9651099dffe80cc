#pragma once

// What only the stand-in offers beyond the declared client-library interface: its error codes,
// its defaults, and hooks for tests and tools.

#include <cstdint>

#include "tracking/OrvixLib.h"

inline constexpr ErrorCode Orvix_ErrorInvalidArgument = ErrorCode_InvalidArgument;
inline constexpr ErrorCode Orvix_ErrorNetwork = ErrorCode_Network;
// No answer within kOrvixAnswerTimeoutMs.
inline constexpr ErrorCode Orvix_ErrorNoServer = ErrorCode_NoServer;
inline constexpr ErrorCode Orvix_ErrorNotConnected = ErrorCode_NotConnected;
inline constexpr ErrorCode Orvix_ErrorAlreadyConnected = ErrorCode_AlreadyConnected;
inline constexpr ErrorCode Orvix_ErrorBadResponse = ErrorCode_BadResponse;

inline constexpr int kOrvixAnswerTimeoutMs = 500;
inline constexpr uint16_t kOrvixDefaultCommandPort = 1510;
inline constexpr uint16_t kOrvixDefaultDataPort = 1511;
inline constexpr const char* kOrvixDefaultMulticastGroup = "239.255.60.60";

// Changes what ports of 0 mean, and the command port discovery asks on, so that tests can run a
// server on ports of their own. Zero restores the built-in default. Without a call, the
// environment variable ORVIX_STANDIN_PORTS ("command,data") may set them for a whole process.
void OrvixStandin_SetDefaultPorts(uint16_t commandPort, uint16_t dataPort);
uint16_t OrvixStandin_DefaultCommandPort();
uint16_t OrvixStandin_DefaultDataPort();

// Datagrams dropped because they were malformed or truncated, over the whole process.
uint64_t OrvixStandin_MalformedDatagramCount();

// Nanoseconds on the client's monotonic clock, the clock the stand-in compares host times with.
int64_t OrvixStandin_ClientNowNs();
