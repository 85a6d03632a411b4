// The screen broadcast protocol: one picture travels as ScreenPackets, each one UDP datagram of a
// 32-byte big-endian header and up to 32768 data bytes. Both programs use this one definition.
#pragma once

#include <cstddef>
#include <cstdint>

namespace telvo {

inline constexpr std::size_t kHeaderSize = 32;
inline constexpr std::uint32_t kMaxDataLength = 32768;
inline constexpr std::size_t kMaxDatagramSize = kHeaderSize + kMaxDataLength;  // 32800
inline constexpr std::uint8_t kProtocolVersion = 1;
inline constexpr std::uint8_t kPictureFragmentKind = 1;
inline constexpr std::uint16_t kFlagCompressed = 1;
inline constexpr char kDefaultGroup[] = "224.3.2.1";
inline constexpr std::uint16_t kDefaultBasePort = 54321;
inline constexpr std::uint32_t kChannelCount = 5;  // channels 1..5, indexes 0..4

// The header in host byte order.
struct ScreenPacketHeader {
    std::uint8_t version = 0;
    std::uint8_t kind = 0;
    std::uint16_t flags = 0;
    std::uint32_t pictureNumber = 0;
    std::uint32_t pictureSize = 0;
    std::uint32_t fragmentCount = 0;
    std::uint32_t fragmentIndex = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint16_t cursorX = 0;
    std::uint16_t cursorY = 0;
    std::uint32_t dataLength = 0;

    bool compressed() const { return (flags & kFlagCompressed) != 0; }
};

// Writes the header as its 32 wire bytes.
void EncodeHeader(const ScreenPacketHeader& header, std::uint8_t out[kHeaderSize]);

// Reads the header of a received datagram of `length` bytes. Returns false when the datagram is
// no ScreenPacket: shorter than 2 bytes, or version or kind not 1. Header bytes past the end of
// a short datagram read as zero, as if the receive buffer had been cleared before the receive.
[[nodiscard]] bool DecodeHeader(const std::uint8_t* datagram, std::size_t length,
                                ScreenPacketHeader* header);

// Port of a channel: (basePort + channelIndex) modulo 65536.
std::uint16_t ChannelPort(std::uint16_t basePort, std::uint32_t channelIndex);

// Fragments needed for a transmitted picture of `length` bytes: ceil(length / 32768).
std::uint32_t FragmentCount(std::uint32_t length);

// Data bytes of fragment `index` of a transmitted picture of `length` bytes.
std::uint32_t FragmentDataLength(std::uint32_t length, std::uint32_t index);

}  // namespace telvo
