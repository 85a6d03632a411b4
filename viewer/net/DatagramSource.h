// Where a datagram came from: the sender's IPv4 address (network order) and UDP port (host order),
// as the receive call reports them. A sender is one address and port; the same address from
// another port is that computer's sender started again.
#pragma once

#include <cstdint>

namespace telvo {

struct DatagramSource {
    std::uint32_t address = 0;
    std::uint16_t port = 0;

    bool operator==(const DatagramSource& other) const {
        return address == other.address && port == other.port;
    }
    bool operator!=(const DatagramSource& other) const { return !(*this == other); }
};

}  // namespace telvo
