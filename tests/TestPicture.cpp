#include "tests/TestPicture.h"

#include <cstdlib>

namespace telvo::test {

int RecordingSink::Send(const std::uint8_t* datagram, std::size_t length) {
    if (datagrams.size() == failAt) return failCode;
    datagrams.emplace_back(datagram, datagram + length);
    return 0;
}

ScreenPacketHeader HeaderOf(const std::vector<std::uint8_t>& datagram) {
    ScreenPacketHeader header;
    if (!DecodeHeader(datagram.data(), datagram.size(), &header)) std::abort();
    return header;
}

std::vector<std::vector<std::uint8_t>> Packetize(const std::vector<std::uint8_t>& picture,
                                                 std::uint32_t pictureNumber, bool compress) {
    RecordingSink sink;
    if (SendPicture(sink, picture.data(), static_cast<std::uint32_t>(picture.size()), pictureNumber,
                    0, 0, compress) != 0) {
        std::abort();
    }
    return sink.datagrams;
}

}  // namespace telvo::test
