#include "tests/TestPicture.h"

#include <cstdlib>

#include "protocol/ScreenBitmap.h"

namespace telvo::test {

std::vector<std::uint8_t> MakePicture(std::uint32_t width, std::uint32_t height,
                                      const std::function<std::uint32_t(int x, int y)>& colour) {
    std::vector<std::uint8_t> picture(NeededLength(width, height));
    WriteBitmapHeaders(picture.data(), width, height);
    for (std::uint32_t y = 0; y < height; ++y) {
        std::uint8_t* row =
            picture.data() + kBitmapHeadersSize + RowStride(width) * (height - 1 - y);
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint32_t c = colour(static_cast<int>(x), static_cast<int>(y));
            for (int channel = 0; channel < 3; ++channel)  // B, G, R
                row[3 * x + channel] = static_cast<std::uint8_t>(c >> (16 - 8 * channel));
        }
    }
    return picture;
}

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
