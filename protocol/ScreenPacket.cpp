#include "protocol/ScreenPacket.h"

#include <cstring>

namespace telvo {
namespace {

void Put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

std::uint16_t Get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

std::uint32_t Get32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

}  // namespace

void EncodeHeader(const ScreenPacketHeader& header, std::uint8_t out[kHeaderSize]) {
    out[0] = header.version;
    out[1] = header.kind;
    Put16(out + 2, header.flags);
    Put32(out + 4, header.pictureNumber);
    Put32(out + 8, header.pictureSize);
    Put32(out + 12, header.fragmentCount);
    Put32(out + 16, header.fragmentIndex);
    Put16(out + 20, header.width);
    Put16(out + 22, header.height);
    Put16(out + 24, header.cursorX);
    Put16(out + 26, header.cursorY);
    Put32(out + 28, header.dataLength);
}

bool DecodeHeader(const std::uint8_t* datagram, std::size_t length, ScreenPacketHeader* header) {
    if (length < 2) return false;
    std::uint8_t bytes[kHeaderSize] = {};
    std::memcpy(bytes, datagram, length < kHeaderSize ? length : kHeaderSize);
    if (bytes[0] != kProtocolVersion || bytes[1] != kPictureFragmentKind) return false;
    header->version = bytes[0];
    header->kind = bytes[1];
    header->flags = Get16(bytes + 2);
    header->pictureNumber = Get32(bytes + 4);
    header->pictureSize = Get32(bytes + 8);
    header->fragmentCount = Get32(bytes + 12);
    header->fragmentIndex = Get32(bytes + 16);
    header->width = Get16(bytes + 20);
    header->height = Get16(bytes + 22);
    header->cursorX = Get16(bytes + 24);
    header->cursorY = Get16(bytes + 26);
    header->dataLength = Get32(bytes + 28);
    return true;
}

std::uint16_t ChannelPort(std::uint16_t basePort, std::uint32_t channelIndex) {
    return static_cast<std::uint16_t>(basePort + channelIndex);
}

std::uint32_t FragmentCount(std::uint32_t length) {
    return length / kMaxDataLength + (length % kMaxDataLength != 0 ? 1 : 0);
}

std::uint32_t FragmentDataLength(std::uint32_t length, std::uint32_t index) {
    const std::uint64_t start = std::uint64_t{index} * kMaxDataLength;
    if (start >= length) return 0;
    const std::uint64_t rest = length - start;
    return rest < kMaxDataLength ? static_cast<std::uint32_t>(rest) : kMaxDataLength;
}

}  // namespace telvo
