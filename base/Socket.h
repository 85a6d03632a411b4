// The few socket calls both programs make, over Windows Sockets on Windows and BSD sockets
// elsewhere (so the transport is tested natively too). Addresses are IPv4 in network byte order;
// ports are in host order. Error codes are the socket layer's own (WSAGetLastError / errno).
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/UniqueHandle.h"

namespace telvo {

#ifdef _WIN32
using NativeSocket = std::uintptr_t;  // SOCKET
inline constexpr NativeSocket kInvalidSocket = ~NativeSocket{0};
#else
using NativeSocket = int;
inline constexpr NativeSocket kInvalidSocket = -1;
#endif

struct SocketTraits {
    using Handle = NativeSocket;
    static constexpr Handle Invalid() { return kInvalidSocket; }
    static void Close(Handle socket);
};
using UniqueSocket = UniqueHandle<SocketTraits>;

// Starts the socket layer once per process (Windows Sockets asks for `major`.`minor`, and fails
// unless exactly that version is granted). After a success later calls return 0 at once; after a
// failure the next call tries again. Returns 0 or the start-up's error code.
[[nodiscard]] int StartSockets(std::uint8_t major, std::uint8_t minor);

int LastSocketError();

// The error code for an argument the socket layer refuses (WSAEINVAL / EINVAL).
int InvalidArgumentError();

// Parses dotted IPv4 text as inet_addr does. False when it does not parse; like inet_addr, this
// includes "255.255.255.255", which inet_addr cannot tell from its failure value.
[[nodiscard]] bool ParseIPv4(const char* text, std::uint32_t* address);

// A UDP socket (AF_INET, SOCK_DGRAM, protocol 0), or an empty one; then LastSocketError() says why.
UniqueSocket CreateUdpSocket();

// Sends one datagram. Returns the bytes sent, or -1 (LastSocketError() says why).
[[nodiscard]] long SendDatagramTo(NativeSocket socket, const std::uint8_t* data, std::size_t length,
                                  std::uint32_t address, std::uint16_t port);

// Each returns 0 or the socket layer's error code.
[[nodiscard]] int BindAnyAddress(NativeSocket socket, std::uint16_t port);
[[nodiscard]] int JoinMulticastGroup(NativeSocket socket, std::uint32_t group);
[[nodiscard]] int SetReceiveBufferSize(NativeSocket socket, int bytes);

// Joins `group` on the adapter whose IPv4 address is `adapter` (network order). A membership that
// is already in place fails harmlessly (EADDRINUSE / WSAEADDRINUSE).
[[nodiscard]] int JoinMulticastGroupOn(NativeSocket socket, std::uint32_t group,
                                       std::uint32_t adapter);
// Multicast datagrams leave through the adapter whose IPv4 address is `adapter` (IP_MULTICAST_IF).
[[nodiscard]] int SetMulticastInterface(NativeSocket socket, std::uint32_t adapter);
// Multicast datagrams carry the time-to-live `ttl`, 1 to 255 (IP_MULTICAST_TTL).
[[nodiscard]] int SetMulticastTimeToLive(NativeSocket socket, int ttl);

// Whether an IPv4 address (network order) is a multicast group, 224.0.0.0 to 239.255.255.255.
inline bool IsMulticastGroup(std::uint32_t address) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&address);
    return (bytes[0] & 0xF0) == 0xE0;
}

// Makes receives return at once when nothing is there. Returns 0 or the error code.
[[nodiscard]] int SetNonBlocking(NativeSocket socket);

// Whether the last failed call failed only because it would have had to wait.
bool LastErrorWouldBlock();

// Waits until a datagram can be read: 1 readable, 0 timed out, -1 failed.
[[nodiscard]] int WaitReadable(NativeSocket socket, unsigned timeoutMs);

// Receives one datagram from any host. Returns its length, or -1. When given, `fromAddress`
// (network order) and `fromPort` (host order) receive the sender's IPv4 address and port.
[[nodiscard]] long ReceiveDatagramFrom(NativeSocket socket, std::uint8_t* buffer, std::size_t size,
                                       std::uint32_t* fromAddress = nullptr,
                                       std::uint16_t* fromPort = nullptr);

}  // namespace telvo
