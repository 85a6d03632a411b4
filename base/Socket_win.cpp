#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>

#include "base/Socket.h"

namespace telvo {

void SocketTraits::Close(Handle socket) {
    ::closesocket(static_cast<SOCKET>(socket));
}

int StartSockets(std::uint8_t major, std::uint8_t minor) {
    // Started once per process and never cleaned up; process exit ends it. A failed start-up
    // (a system short of resources) is tried again on the next call.
    static std::mutex lock;
    static bool started = false;
    std::lock_guard<std::mutex> guard(lock);
    if (started) return 0;
    WSADATA data{};
    const int result = ::WSAStartup(MAKEWORD(major, minor), &data);
    if (result != 0) return result;
    // Only the version asked for will do; another is released again.
    if (data.wVersion != MAKEWORD(major, minor)) {
        ::WSACleanup();
        return WSAVERNOTSUPPORTED;
    }
    started = true;
    return 0;
}

int LastSocketError() {
    return ::WSAGetLastError();
}

int InvalidArgumentError() {
    return WSAEINVAL;
}

bool ParseIPv4(const char* text, std::uint32_t* address) {
    const unsigned long parsed = ::inet_addr(text);
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
    return ::sendto(static_cast<SOCKET>(socket), reinterpret_cast<const char*>(data),
                    static_cast<int>(length), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

int BindAnyAddress(NativeSocket socket, std::uint16_t port) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    return ::bind(static_cast<SOCKET>(socket), reinterpret_cast<const sockaddr*>(&local),
                  sizeof local) == 0
               ? 0
               : ::WSAGetLastError();
}

int JoinMulticastGroup(NativeSocket socket, std::uint32_t group) {
    ip_mreq request{};
    request.imr_multiaddr.s_addr = group;
    request.imr_interface.s_addr = htonl(INADDR_ANY);
    return ::setsockopt(static_cast<SOCKET>(socket), IPPROTO_IP, IP_ADD_MEMBERSHIP,
                        reinterpret_cast<const char*>(&request), sizeof request) == 0
               ? 0
               : ::WSAGetLastError();
}

int JoinMulticastGroupOn(NativeSocket socket, std::uint32_t group, std::uint32_t adapter) {
    ip_mreq request{};
    request.imr_multiaddr.s_addr = group;
    request.imr_interface.s_addr = adapter;
    return ::setsockopt(static_cast<SOCKET>(socket), IPPROTO_IP, IP_ADD_MEMBERSHIP,
                        reinterpret_cast<const char*>(&request), sizeof request) == 0
               ? 0
               : ::WSAGetLastError();
}

int SetMulticastInterface(NativeSocket socket, std::uint32_t adapter) {
    in_addr address{};
    address.s_addr = adapter;
    return ::setsockopt(static_cast<SOCKET>(socket), IPPROTO_IP, IP_MULTICAST_IF,
                        reinterpret_cast<const char*>(&address), sizeof address) == 0
               ? 0
               : ::WSAGetLastError();
}

int SetMulticastTimeToLive(NativeSocket socket, int ttl) {
    const DWORD value = static_cast<DWORD>(ttl);
    return ::setsockopt(static_cast<SOCKET>(socket), IPPROTO_IP, IP_MULTICAST_TTL,
                        reinterpret_cast<const char*>(&value), sizeof value) == 0
               ? 0
               : ::WSAGetLastError();
}

int SetReceiveBufferSize(NativeSocket socket, int bytes) {
    return ::setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_RCVBUF,
                        reinterpret_cast<const char*>(&bytes), sizeof bytes) == 0
               ? 0
               : ::WSAGetLastError();
}

int SetNonBlocking(NativeSocket socket) {
    u_long nonBlocking = 1;
    return ::ioctlsocket(static_cast<SOCKET>(socket), FIONBIO, &nonBlocking) == 0
               ? 0
               : ::WSAGetLastError();
}

bool LastErrorWouldBlock() {
    return ::WSAGetLastError() == WSAEWOULDBLOCK;
}

int WaitReadable(NativeSocket socket, unsigned timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(static_cast<SOCKET>(socket), &readable);
    timeval timeout{static_cast<long>(timeoutMs / 1000),
                    static_cast<long>(timeoutMs % 1000) * 1000};
    const int ready = ::select(0, &readable, nullptr, nullptr, &timeout);
    return ready < 0 ? -1 : ready;
}

long ReceiveDatagramFrom(NativeSocket socket, std::uint8_t* buffer, std::size_t size,
                         std::uint32_t* fromAddress, std::uint16_t* fromPort) {
    sockaddr_in from{};
    int fromLength = sizeof from;
    const long length =
        ::recvfrom(static_cast<SOCKET>(socket), reinterpret_cast<char*>(buffer),
                   static_cast<int>(size), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (fromAddress != nullptr) *fromAddress = from.sin_addr.s_addr;
    if (fromPort != nullptr) *fromPort = ntohs(from.sin_port);
    return length;
}

}  // namespace telvo
