#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "base/Socket.h"

namespace telvo {

void SocketTraits::Close(Handle socket) {
    ::close(socket);
}

int StartSockets(std::uint8_t, std::uint8_t) {
    return 0;
}

int LastSocketError() {
    return errno;
}

int InvalidArgumentError() {
    return EINVAL;
}

bool ParseIPv4(const char* text, std::uint32_t* address) {
    const in_addr_t parsed = ::inet_addr(text);
    if (parsed == INADDR_NONE) return false;
    *address = parsed;
    return true;
}

UniqueSocket CreateUdpSocket() {
    return UniqueSocket(::socket(AF_INET, SOCK_DGRAM, 0));
}

long SendDatagramTo(NativeSocket socket, const std::uint8_t* data, std::size_t length,
                    std::uint32_t address, std::uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = address;
    return ::sendto(socket, data, length, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

int BindAnyAddress(NativeSocket socket, std::uint16_t port) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    return ::bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0 ? 0 : errno;
}

int JoinMulticastGroup(NativeSocket socket, std::uint32_t group) {
    ip_mreq request{};
    request.imr_multiaddr.s_addr = group;
    request.imr_interface.s_addr = htonl(INADDR_ANY);
    return ::setsockopt(socket, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) == 0
               ? 0
               : errno;
}

int JoinMulticastGroupOn(NativeSocket socket, std::uint32_t group, std::uint32_t adapter) {
    ip_mreq request{};
    request.imr_multiaddr.s_addr = group;
    request.imr_interface.s_addr = adapter;
    return ::setsockopt(socket, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) == 0
               ? 0
               : errno;
}

int SetMulticastInterface(NativeSocket socket, std::uint32_t adapter) {
    in_addr address{};
    address.s_addr = adapter;
    return ::setsockopt(socket, IPPROTO_IP, IP_MULTICAST_IF, &address, sizeof address) == 0 ? 0
                                                                                            : errno;
}

int SetMulticastTimeToLive(NativeSocket socket, int ttl) {
    return ::setsockopt(socket, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) == 0 ? 0 : errno;
}

int SetReceiveBufferSize(NativeSocket socket, int bytes) {
    return ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0 ? 0 : errno;
}

int SetNonBlocking(NativeSocket socket) {
    const int flags = ::fcntl(socket, F_GETFL, 0);
    return flags >= 0 && ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0 ? 0 : errno;
}

bool LastErrorWouldBlock() {
    return errno == EAGAIN || errno == EWOULDBLOCK;
}

int WaitReadable(NativeSocket socket, unsigned timeoutMs) {
    pollfd entry{socket, POLLIN, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(timeoutMs));
    if (ready < 0) return errno == EINTR ? 0 : -1;
    return ready;
}

long ReceiveDatagramFrom(NativeSocket socket, std::uint8_t* buffer, std::size_t size,
                         std::uint32_t* fromAddress, std::uint16_t* fromPort) {
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const long length =
        ::recvfrom(socket, buffer, size, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (fromAddress != nullptr) *fromAddress = from.sin_addr.s_addr;
    if (fromPort != nullptr) *fromPort = ntohs(from.sin_port);
    return length;
}

}  // namespace telvo
