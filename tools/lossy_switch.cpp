// telvo_lossy_switch (Linux): an Ethernet switch in user space for the simulated LAN. It forwards
// every frame that arrives on one port to all other ports, and drops each copy bound for a lossy
// port with the given probability, independently per port, and reorders a share of them. (Built
// because the kernel here has no netem.) Usage:
//   telvo_lossy_switch --loss-percent P --reorder-percent R PORT [LOSSY_PORT...]
// The first port is lossless (the sender's); the others lose. Runs until killed.
#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

struct Port {
    int socket = -1;
    int index = 0;
    bool lossy = false;
    std::vector<unsigned char> held;  // a frame held back to be sent after the next one
};

int OpenPort(const char* name, int* index) {
    const int fd = socket(AF_PACKET, SOCK_RAW, htons(ETH_P_ALL));
    if (fd < 0) return -1;
    *index = static_cast<int>(if_nametoindex(name));
    sockaddr_ll address{};
    address.sll_family = AF_PACKET;
    address.sll_protocol = htons(ETH_P_ALL);
    address.sll_ifindex = *index;
    // A large receive buffer takes the sender's bursts; a small send buffer makes a send wait
    // for the port's (rate-limited) queue instead of overflowing it.
    const int receiveBuffer = 16 * 1024 * 1024, sendBuffer = 256 * 1024;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &receiveBuffer, sizeof receiveBuffer);
    setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &sendBuffer, sizeof sendBuffer);
    if (*index == 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

int main(int argc, char** argv) {
    double loss = 0, reorder = 0;
    std::vector<Port> ports;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--loss-percent" && i + 1 < argc) {
            loss = std::atof(argv[++i]) / 100;
        } else if (arg == "--reorder-percent" && i + 1 < argc) {
            reorder = std::atof(argv[++i]) / 100;
        } else {
            Port port;
            port.socket = OpenPort(argv[i], &port.index);
            if (port.socket < 0) {
                std::fprintf(stderr, "cannot open port %s\n", argv[i]);
                return 1;
            }
            port.lossy = !ports.empty();
            ports.push_back(port);
        }
    }
    if (ports.size() < 2) {
        std::fprintf(stderr,
                     "usage: telvo_lossy_switch [--loss-percent P] [--reorder-percent R] "
                     "PORT LOSSY_PORT...\n");
        return 2;
    }
    std::printf("switching %zu ports\n", ports.size());
    std::fflush(stdout);
    std::mt19937_64 random(std::random_device{}());
    std::uniform_real_distribution<double> chance(0, 1);
    std::vector<pollfd> polls;
    for (const Port& port : ports) polls.push_back({port.socket, POLLIN, 0});
    std::vector<unsigned char> frame(65536);
    for (;;) {
        if (poll(polls.data(), polls.size(), -1) < 0) continue;
        for (std::size_t from = 0; from < ports.size(); ++from) {
            if ((polls[from].revents & POLLIN) == 0) continue;
            sockaddr_ll source{};
            socklen_t sourceLength = sizeof source;
            const ssize_t length =
                recvfrom(ports[from].socket, frame.data(), frame.size(), MSG_DONTWAIT,
                         reinterpret_cast<sockaddr*>(&source), &sourceLength);
            if (length <= 0 || source.sll_pkttype == PACKET_OUTGOING) continue;
            for (std::size_t to = 0; to < ports.size(); ++to) {
                Port& port = ports[to];
                if (to == from || (port.lossy && chance(random) < loss)) continue;
                if (port.held.empty() && chance(random) < reorder) {
                    port.held.assign(frame.begin(), frame.begin() + length);
                    continue;
                }
                send(port.socket, frame.data(), static_cast<std::size_t>(length), 0);
                if (!port.held.empty()) {
                    send(port.socket, port.held.data(), port.held.size(), 0);
                    port.held.clear();
                }
            }
        }
    }
}
