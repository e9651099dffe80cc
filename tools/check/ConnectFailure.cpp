#include "tools/check/ConnectFailure.h"

#include <sstream>

#include "standins/orvix/OrvixStandin.h"

namespace {

std::string Seconds(double value) {
    std::ostringstream out;
    out.precision(4);
    out << value;
    return out.str();
}

}  // namespace

ConnectFailure DescribeConnectFailure(ErrorCode code, bool standinClient) {
    const std::string codeText = "error code " + std::to_string(code);
    switch (code) {
        case Orvix_ErrorNoServer:
            // Only the stand-in's waiting time is known here; the vendor's library keeps its own.
            return {"silent", "did not answer",
                    standinClient
                        ? "(no reply within " + Seconds(kOrvixAnswerTimeoutMs / 1000.0) + " s, " +
                              codeText + ")"
                        : "(no reply within the client library's waiting time, " + codeText + ")"};
        case Orvix_ErrorInvalidArgument:
            return {"bad_address", "could not be tried",
                    "(serveraddress or localaddress is no dotted IPv4 address, " + codeText + ")"};
        case Orvix_ErrorNetwork:
            return {"local_network", "could not be tried",
                    "(the client library could not open its sockets on localaddress, " + codeText +
                        ")"};
        default:
            return {"refused", "refused the connection", "(" + codeText + ")"};
    }
}

std::string ConnectAdvice(const ConnectFailure& failure, const sOrvixClientConnectParams& params,
                          bool standinClient) {
    const std::string kind = failure.kind;
    if (kind == "refused") {
        return "the server runs but turns this computer away: check its streaming settings "
               "(unicast or multicast, allowed clients) and the server's own log";
    }
    if (kind == "bad_address" || kind == "local_network") {
        return "set serveraddress to the server's IPv4 address and localaddress to this "
               "computer's address on the motion-capture network";
    }
    const std::string network = "check serveraddress and localaddress, and that UDP ports " +
                                std::to_string(params.commandPort) + " and " +
                                std::to_string(params.dataPort) + " are open";
    if (standinClient) {
        return "this build links the stand-in client library and talks only to "
               "tarvex-mocap-sim, so a real motion-capture server will never answer it: for a "
               "real server, get a build made against the vendor's SDK (the CMake option "
               "TARVEX_ORVIX_SDK_DIR); to try this build, start tarvex-mocap-sim and " +
               network;
    }
    return "start the motion-capture server and its streaming; " + network;
}
