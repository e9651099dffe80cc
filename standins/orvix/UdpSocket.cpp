#include "standins/orvix/UdpSocket.h"

#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace orvix {

namespace {

#ifdef _WIN32
using SocketLength = int;
using SocketHandle = SOCKET;
// Winsock must be started once per process before the first socket; it stays up until exit.
void EnsureSocketsStarted() {
    static std::once_flag started;
    std::call_once(started, [] {
        WSADATA data{};
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}
void CloseHandle(SocketHandle handle) {
    closesocket(handle);
}
#else
using SocketLength = socklen_t;
using SocketHandle = int;
void EnsureSocketsStarted() {}
void CloseHandle(SocketHandle handle) {
    close(handle);
}
#endif

sockaddr_in ToSockaddr(const Endpoint& endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(endpoint.address);
    address.sin_port = htons(endpoint.port);
    return address;
}

in_addr ToInAddr(uint32_t address) {
    in_addr result{};
    result.s_addr = htonl(address);
    return result;
}

}  // namespace

#ifdef _WIN32
const UdpSocket::Handle UdpSocket::kInvalid = static_cast<UdpSocket::Handle>(INVALID_SOCKET);
#else
const UdpSocket::Handle UdpSocket::kInvalid = -1;
#endif

bool ParseIPv4(const char* text, uint32_t* address) {
    if (text == nullptr) {
        return false;
    }
    EnsureSocketsStarted();
    in_addr parsed{};
    if (inet_pton(AF_INET, text, &parsed) != 1) {
        return false;
    }
    *address = ntohl(parsed.s_addr);
    return true;
}

std::string FormatIPv4(uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof(text), "%u.%u.%u.%u", (address >> 24) & 0xFFu,
                  (address >> 16) & 0xFFu, (address >> 8) & 0xFFu, address & 0xFFu);
    return text;
}

std::string FormatEndpoint(const Endpoint& endpoint) {
    return FormatIPv4(endpoint.address) + ":" + std::to_string(endpoint.port);
}

UdpSocket::~UdpSocket() {
    Close();
}

bool UdpSocket::Open(bool reuseAddress) {
    Close();
    EnsureSocketsStarted();
    const SocketHandle handle = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
#ifdef _WIN32
    if (handle == INVALID_SOCKET) {
        return false;
    }
#else
    if (handle < 0) {
        return false;
    }
#endif
    handle_ = static_cast<Handle>(handle);
    if (reuseAddress) {
        const int on = 1;
        setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on),
                   sizeof(on));
    }
    // Frames come in bursts at high rates; a larger buffer rides out a late receive thread.
    const int bufferBytes = 1 << 20;
    setsockopt(handle, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bufferBytes),
               sizeof(bufferBytes));
    return true;
}

bool UdpSocket::Bind(const Endpoint& local) {
    const sockaddr_in address = ToSockaddr(local);
    return bind(static_cast<SocketHandle>(handle_), reinterpret_cast<const sockaddr*>(&address),
                sizeof(address)) == 0;
}

bool UdpSocket::IsOpen() const {
    return handle_ != kInvalid;
}

void UdpSocket::Close() {
    if (handle_ != kInvalid) {
        CloseHandle(static_cast<SocketHandle>(handle_));
        handle_ = kInvalid;
    }
}

bool UdpSocket::LocalEndpoint(Endpoint* local) const {
    sockaddr_in address{};
    SocketLength length = sizeof(address);
    if (getsockname(static_cast<SocketHandle>(handle_), reinterpret_cast<sockaddr*>(&address),
                    &length) != 0) {
        return false;
    }
    local->address = ntohl(address.sin_addr.s_addr);
    local->port = ntohs(address.sin_port);
    return true;
}

bool UdpSocket::JoinGroup(uint32_t group, uint32_t interfaceAddress) {
    ip_mreq request{};
    request.imr_multiaddr = ToInAddr(group);
    request.imr_interface = ToInAddr(interfaceAddress);
    return setsockopt(static_cast<SocketHandle>(handle_), IPPROTO_IP, IP_ADD_MEMBERSHIP,
                      reinterpret_cast<const char*>(&request), sizeof(request)) == 0;
}

void UdpSocket::LeaveGroup(uint32_t group, uint32_t interfaceAddress) {
    ip_mreq request{};
    request.imr_multiaddr = ToInAddr(group);
    request.imr_interface = ToInAddr(interfaceAddress);
    setsockopt(static_cast<SocketHandle>(handle_), IPPROTO_IP, IP_DROP_MEMBERSHIP,
               reinterpret_cast<const char*>(&request), sizeof(request));
}

bool UdpSocket::SetMulticastSending(uint32_t interfaceAddress) {
    const in_addr outgoing = ToInAddr(interfaceAddress);
    const SocketHandle handle = static_cast<SocketHandle>(handle_);
    if (setsockopt(handle, IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&outgoing),
                   sizeof(outgoing)) != 0) {
        return false;
    }
#ifdef _WIN32
    const DWORD loop = 1;
    const DWORD ttl = 1;
#else
    const unsigned char loop = 1;
    const unsigned char ttl = 1;
#endif
    setsockopt(handle, IPPROTO_IP, IP_MULTICAST_TTL, reinterpret_cast<const char*>(&ttl),
               sizeof(ttl));
    return setsockopt(handle, IPPROTO_IP, IP_MULTICAST_LOOP, reinterpret_cast<const char*>(&loop),
                      sizeof(loop)) == 0;
}

bool UdpSocket::SendTo(const Endpoint& to, const uint8_t* data, size_t size) {
    const sockaddr_in address = ToSockaddr(to);
#ifdef _WIN32
    const int length = static_cast<int>(size);
#else
    const size_t length = size;
#endif
    const auto sent =
        sendto(static_cast<SocketHandle>(handle_), reinterpret_cast<const char*>(data), length, 0,
               reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    return sent >= 0 && static_cast<size_t>(sent) == size;
}

long UdpSocket::ReceiveFrom(uint8_t* buffer, size_t capacity, int timeoutMs, Endpoint* from) {
    const SocketHandle handle = static_cast<SocketHandle>(handle_);
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(handle, &readable);
    timeval timeout{};
    timeout.tv_sec = timeoutMs / 1000;
    timeout.tv_usec = (timeoutMs % 1000) * 1000;
#ifdef _WIN32
    const int ready = select(0, &readable, nullptr, nullptr, &timeout);
    const int length = static_cast<int>(capacity);
#else
    const int ready = select(handle + 1, &readable, nullptr, nullptr, &timeout);
    const size_t length = capacity;
#endif
    if (ready < 0) {
        return -1;
    }
    if (ready == 0) {
        return 0;
    }
    sockaddr_in address{};
    SocketLength addressLength = sizeof(address);
    const auto received = recvfrom(handle, reinterpret_cast<char*>(buffer), length, 0,
                                   reinterpret_cast<sockaddr*>(&address), &addressLength);
    if (received < 0) {
#ifdef _WIN32
        // A datagram larger than the buffer arrives cut; Winsock reports it as an error.
        if (WSAGetLastError() == WSAEMSGSIZE) {
            return static_cast<long>(capacity);
        }
        // An earlier send to a closed port surfaces here on Windows; it is not our failure.
        if (WSAGetLastError() == WSAECONNRESET) {
            return 0;
        }
#endif
        return -1;
    }
    if (from != nullptr) {
        from->address = ntohl(address.sin_addr.s_addr);
        from->port = ntohs(address.sin_port);
    }
    return static_cast<long>(received);
}

}  // namespace orvix
