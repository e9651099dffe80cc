#include "tracking/ErrorCodeText.h"

const char* DescribeErrorCode(ErrorCode code) noexcept {
    switch (code) {
        case ErrorCode_OK:
            return "ok";
        case ErrorCode_InvalidArgument:
            return "invalid argument: a setting the library refused, such as an address it cannot "
                   "read";
        case ErrorCode_Network:
            return "network error: the local address or a port could not be used";
        case ErrorCode_NoServer:
            return "no server: nothing answered at the server address in time";
        case ErrorCode_NotConnected:
            return "not connected";
        case ErrorCode_AlreadyConnected:
            return "already connected";
        case ErrorCode_BadResponse:
            return "bad response: the server's answer could not be read";
        default:
            return "a code the layer does not know";
    }
}
