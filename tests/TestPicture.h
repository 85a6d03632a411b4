// Pictures, packets and a recording sink for tests.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "protocol/ScreenPacket.h"
#include "sender/Packetizer.h"
#include "tools/DesktopPicture.h"

namespace telvo::test {

using telvo::MakeDesktopPicture;
using telvo::MakeNoisePicture;

// A ScreenBitmap whose pixel (x, y) (top row 0) is `colour(x, y)`, given as 0x00BBGGRR (COLORREF).
std::vector<std::uint8_t> MakePicture(std::uint32_t width, std::uint32_t height,
                                      const std::function<std::uint32_t(int x, int y)>& colour);

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
