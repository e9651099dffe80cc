#pragma once

// A small UDP socket over BSD sockets or Winsock, just what the stand-in and the simulator need.

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvix {

// An IPv4 address and port, both in host byte order.
struct Endpoint {
    uint32_t address = 0;
    uint16_t port = 0;

    bool operator==(const Endpoint&) const = default;
};

// Parses dotted IPv4 text; false for anything else (including null).
bool ParseIPv4(const char* text, uint32_t* address);
std::string FormatIPv4(uint32_t address);
std::string FormatEndpoint(const Endpoint& endpoint);

inline constexpr uint32_t kLoopbackAddress = 0x7F000001u;
inline constexpr uint32_t kAnyAddress = 0;

class UdpSocket {
public:
    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Opens the socket; reuseAddress lets several receivers share a multicast port.
    bool Open(bool reuseAddress = false);
    bool Bind(const Endpoint& local);
    bool IsOpen() const;
    void Close();

    // The bound address and port (after Bind, the port the system chose for port 0).
    bool LocalEndpoint(Endpoint* local) const;

    bool JoinGroup(uint32_t group, uint32_t interfaceAddress);
    void LeaveGroup(uint32_t group, uint32_t interfaceAddress);
    // Sends multicast through interfaceAddress and loops it back to local receivers.
    bool SetMulticastSending(uint32_t interfaceAddress);

    bool SendTo(const Endpoint& to, const uint8_t* data, size_t size);

    // Waits up to timeoutMs for a datagram. Returns its size (it may have been cut to capacity),
    // 0 on timeout and -1 on failure. A zero-length datagram is reported as 0 as well.
    long ReceiveFrom(uint8_t* buffer, size_t capacity, int timeoutMs, Endpoint* from);

private:
#ifdef _WIN32
    using Handle = uintptr_t;
#else
    using Handle = int;
#endif
    static const Handle kInvalid;
    Handle handle_ = kInvalid;
};

}  // namespace orvix
