// telvo_ttl_probe GROUP PORT ADAPTER COUNT: joins GROUP:PORT on the adapter with IPv4 address
// ADAPTER and reads pictures until COUNT of them are complete (or 60 s pass), reading each
// datagram's time-to-live. Prints one line:
//   complete <pictures complete> incomplete <pictures given up> ttl <lowest> <highest>
// A picture counts as given up when one with a higher number arrives before it is complete.
// For the tests of the real sender (tests/lab/adapter-lab.sh); Linux only.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "protocol/ScreenPacket.h"

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(std::atoi(argv[2])));
    ip_mreq request{};
    request.imr_multiaddr.s_addr = ::inet_addr(argv[1]);
    request.imr_interface.s_addr = ::inet_addr(argv[3]);
    const int on = 1;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) != 0 ||
        ::setsockopt(fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof on) != 0) {
        std::perror("telvo_ttl_probe");
        return 1;
    }
    const long wanted = std::atol(argv[4]);
    std::set<std::uint32_t> seen;  // fragments of picture `newest`, while it is not complete
    long long newest = -1;
    long complete = 0, incomplete = 0;
    int lowest = 256, highest = -1;
    static std::uint8_t buffer[65536];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (complete < wanted && std::chrono::steady_clock::now() < deadline) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 200) != 1) continue;
        iovec data{buffer, sizeof buffer};
        alignas(cmsghdr) char control[256];
        msghdr message{nullptr, 0, &data, 1, control, sizeof control, 0};
        const ssize_t length = ::recvmsg(fd, &message, 0);
        telvo::ScreenPacketHeader header;
        if (length < 0 || !telvo::DecodeHeader(buffer, static_cast<std::size_t>(length), &header))
            continue;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_TTL) continue;
            int ttl = 0;
            std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
            lowest = std::min(lowest, ttl);
            highest = std::max(highest, ttl);
        }
        // The first picture may have begun before the probe: count from the next one.
        if (newest < 0 && header.fragmentIndex != 0) continue;
        if (header.pictureNumber > newest) {
            incomplete += seen.empty() ? 0 : 1;
            seen.clear();
            newest = header.pictureNumber;
        }
        if (header.pictureNumber == newest && seen.insert(header.fragmentIndex).second &&
            seen.size() == header.fragmentCount) {
            ++complete;
            seen.clear();
        }
    }
    std::printf("complete %ld incomplete %ld ttl %d %d\n", complete, incomplete, lowest, highest);
    return complete >= wanted ? 0 : 1;
}
