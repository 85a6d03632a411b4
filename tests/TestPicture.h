// Pictures and sinks for tests and benchmarks.
#pragma once

#include <cstdint>
#include <vector>

#include "protocol/ScreenPacket.h"
#include "sender/Packetizer.h"

namespace telvo::test {

// A ScreenBitmap that looks like a desktop: a plain background, windows with title bars, lines of
// "text" and a photo-like area. `capacity` (at least the needed length) pads it with zeros.
std::vector<std::uint8_t> MakeDesktopPicture(std::uint32_t width, std::uint32_t height,
                                             std::uint32_t seed, std::uint64_t capacity = 0);

// A ScreenBitmap of pseudo-random pixels, which zlib cannot make smaller.
std::vector<std::uint8_t> MakeNoisePicture(std::uint32_t width, std::uint32_t height,
                                           std::uint32_t seed);

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
