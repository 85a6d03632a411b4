#include "sender/Packetizer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>

#include "tests/TestPicture.h"

namespace telvo {
namespace {

using test::RecordingSink;

std::vector<std::uint8_t> JoinData(const RecordingSink& sink) {
    std::vector<std::uint8_t> joined;
    for (const auto& datagram : sink.datagrams) {
        joined.insert(joined.end(), datagram.begin() + kHeaderSize, datagram.end());
    }
    return joined;
}

TEST(Packetizer, AScreenIsCutIntoHeaderedFragmentsOfOneStream) {
    const auto picture = test::MakeDesktopPicture(1024, 768, 1);
    RecordingSink sink;
    ASSERT_EQ(0, SendPicture(sink, picture.data(), 2359350, 42, -5, 70000, false));
    ASSERT_EQ(73u, sink.datagrams.size());
    for (std::uint32_t i = 0; i < 73; ++i) {
        const ScreenPacketHeader header{1, 1,    0,   42,    2359350, 73,
                                        i, 1024, 768, 65531, 4464,    i < 72 ? 32768u : 54u};
        std::uint8_t wire[kHeaderSize];
        EncodeHeader(header, wire);
        ASSERT_EQ(kHeaderSize + header.dataLength, sink.datagrams[i].size());
        EXPECT_TRUE(std::equal(wire, wire + kHeaderSize, sink.datagrams[i].begin())) << i;
    }
    EXPECT_EQ(picture, JoinData(sink));
    EXPECT_EQ(std::vector<unsigned>(73, 0), sink.pauses);  // only a yield after each

    const auto padded = test::MakeDesktopPicture(800, 600, 2, picture.size() + 999);
    RecordingSink compressed;
    ASSERT_EQ(0, SendPicture(compressed, padded.data(), static_cast<std::uint32_t>(padded.size()),
                             7, 0, 0, true));
    const ScreenPacketHeader first = test::HeaderOf(compressed.datagrams.at(0));
    EXPECT_TRUE(first.compressed());
    EXPECT_EQ(padded.size(), first.pictureSize);
    EXPECT_EQ(compressed.datagrams.size(), first.fragmentCount);
    const std::vector<std::uint8_t> stream = JoinData(compressed);
    std::vector<std::uint8_t> decoded(padded.size());
    uLongf decodedLength = decoded.size();
    ASSERT_EQ(Z_OK, uncompress(decoded.data(), &decodedLength, stream.data(), stream.size()));
    EXPECT_EQ(padded, decoded);
}

TEST(Packetizer, FragmentEdgesPausesSkipsAndFailedSends) {
    const std::vector<std::uint8_t> bytes(70000, 0x11);
    RecordingSink one, two, none, failing, skipped;
    ASSERT_EQ(0, SendPicture(one, bytes.data(), 32768, 0, 0, 0, false));
    ASSERT_EQ(0, SendPicture(two, bytes.data(), 32769, 0, 0, 0, false));
    ASSERT_EQ(0, SendPicture(none, bytes.data(), 0, 0, 0, 0, false));  // no division by zero
    failing.failAt = 1;
    EXPECT_EQ(failing.failCode, SendPicture(failing, bytes.data(), 70000, 0, 0, 0, false));
    const auto noise = test::MakeNoisePicture(200, 100, 3);  // does not compress: skipped
    EXPECT_EQ(0, SendPicture(skipped, noise.data(), static_cast<std::uint32_t>(noise.size()), 0, 0,
                             0, true));
    ASSERT_EQ(1u, one.datagrams.size());
    EXPECT_EQ(kHeaderSize + 32768, one.datagrams[0].size());
    EXPECT_EQ(std::vector<unsigned>{10}, one.pauses);
    ASSERT_EQ(2u, two.datagrams.size());
    EXPECT_EQ(kHeaderSize + 1, two.datagrams[1].size());
    EXPECT_EQ((std::vector<unsigned>{5, 5}), two.pauses);
    EXPECT_EQ(1u, failing.datagrams.size());  // the rest is not sent
    EXPECT_EQ(1u, failing.pauses.size());
    EXPECT_TRUE(none.datagrams.empty() && skipped.datagrams.empty());
}

}  // namespace
}  // namespace telvo
