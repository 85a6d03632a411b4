#include "sender/Packetizer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>

#include "tests/TestPicture.h"

namespace telvo {
namespace {

using test::RecordingSink;

std::vector<std::uint8_t> Send(RecordingSink& sink, const std::vector<std::uint8_t>& picture,
                               std::uint32_t length, bool compress) {
    EXPECT_EQ(0, SendPicture(sink, picture.data(), length, 42, -5, 70000, compress));
    std::vector<std::uint8_t> data;  // the data bytes of all datagrams, joined
    for (const auto& datagram : sink.datagrams) {
        data.insert(data.end(), datagram.begin() + kHeaderSize, datagram.end());
    }
    return data;
}

TEST(Packetizer, AScreenIsCutIntoHeaderedFragmentsOfOneStream) {
    const auto picture = test::MakeDesktopPicture(1024, 768, 1);
    RecordingSink sink;
    EXPECT_EQ(picture, Send(sink, picture, 2359350, false));
    ASSERT_EQ(73u, sink.datagrams.size());
    for (std::uint32_t i = 0; i < 73; ++i) {
        const ScreenPacketHeader header{1, 1,    0,   42,    2359350, 73,
                                        i, 1024, 768, 65531, 4464,    i < 72 ? 32768u : 54u};
        std::uint8_t wire[kHeaderSize];
        EncodeHeader(header, wire);
        ASSERT_EQ(kHeaderSize + header.dataLength, sink.datagrams[i].size());
        EXPECT_TRUE(std::equal(wire, wire + kHeaderSize, sink.datagrams[i].begin())) << i;
    }
    EXPECT_EQ(std::vector<unsigned>(73, 0), sink.pauses);  // only a yield after each

    const auto padded = test::MakeDesktopPicture(800, 600, 2, picture.size());
    RecordingSink compressed;
    const auto stream = Send(compressed, padded, 2359350, true);
    const ScreenPacketHeader first = test::HeaderOf(compressed.datagrams.at(0));
    EXPECT_TRUE(first.compressed());
    EXPECT_EQ(2359350u, first.pictureSize);
    EXPECT_EQ(compressed.datagrams.size(), first.fragmentCount);
    std::vector<std::uint8_t> decoded(padded.size());
    uLongf decodedLength = decoded.size();
    ASSERT_EQ(Z_OK, uncompress(decoded.data(), &decodedLength, stream.data(), stream.size()));
    EXPECT_EQ(padded, decoded);
}

TEST(Packetizer, FragmentEdgesPausesSkipsAndFailedSends) {
    const std::vector<std::uint8_t> bytes(70000, 0x11);
    RecordingSink one, two, none, failing, noisy;
    EXPECT_EQ(std::vector<std::uint8_t>(32768, 0x11), Send(one, bytes, 32768, false));
    EXPECT_EQ(std::vector<std::uint8_t>(32769, 0x11), Send(two, bytes, 32769, false));
    EXPECT_EQ(std::vector<unsigned>{10}, one.pauses);  // one a datagram
    EXPECT_EQ((std::vector<unsigned>{5, 5}), two.pauses);
    EXPECT_TRUE(Send(none, bytes, 0, false).empty());        // and no division by zero
    const auto noise = test::MakeNoisePicture(200, 100, 3);  // does not compress: goes out raw
    EXPECT_EQ(noise, Send(noisy, noise, static_cast<std::uint32_t>(noise.size()), true));
    EXPECT_FALSE(test::HeaderOf(noisy.datagrams.at(0)).compressed());
    failing.failAt = 1;
    EXPECT_EQ(failing.failCode, SendPicture(failing, bytes.data(), 70000, 0, 0, 0, false));
    EXPECT_EQ(1u, failing.datagrams.size());  // the rest is not sent
    EXPECT_EQ(1u, failing.pauses.size());
}

}  // namespace
}  // namespace telvo
