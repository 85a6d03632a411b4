// Sinks and packets for tests.
#pragma once

#include <cstdint>
#include <vector>

#include "protocol/ScreenPacket.h"
#include "sender/Packetizer.h"
#include "tools/DesktopPicture.h"

namespace telvo::test {

using telvo::MakeDesktopPicture;
using telvo::MakeNoisePicture;

// Keeps every datagram and pause; can fail the send of one datagram.
class RecordingSink : public DatagramSink {
  public:
    int Send(const std::uint8_t* datagram, std::size_t length) override;
    void Pause(unsigned ms) override { pauses.push_back(ms); }

    std::vector<std::vector<std::uint8_t>> datagrams;
    std::vector<unsigned> pauses;
    std::size_t failAt = SIZE_MAX;  // index of the send that fails
    int failCode = 10054;
};

// Decoded header of a datagram (which must be a ScreenPacket).
ScreenPacketHeader HeaderOf(const std::vector<std::uint8_t>& datagram);

// The packets of one picture, as SendPicture makes them.
std::vector<std::vector<std::uint8_t>> Packetize(const std::vector<std::uint8_t>& picture,
                                                 std::uint32_t pictureNumber, bool compress);

}  // namespace telvo::test
