#pragma once

// Why a connection to the motion-capture server failed, and what to do about it.

#include <string>

#include "tracking/OrvixLib.h"

// Told apart by the client library's code: a server that answered with an error is running and
// turns us away; one that said nothing is not there, or is cut off.
struct ConnectFailure {
    const char* kind;  // for the machine-readable form: silent, bad_address, local_network, refused
    std::string what;  // "did not answer", "refused the connection", ...
    std::string detail;  // the code and what it means
};

// standinClient: the build links the stand-in client library, whose waiting time for an answer
// is known; the vendor's library waits as long as it sees fit.
ConnectFailure DescribeConnectFailure(ErrorCode code, bool standinClient);

// standinClient: the build links the stand-in client library, which only the simulator answers,
// so silence there says nothing about a real server.
std::string ConnectAdvice(const ConnectFailure& failure, const sOrvixClientConnectParams& params,
                          bool standinClient);
