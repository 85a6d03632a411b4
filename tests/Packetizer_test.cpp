#include "sender/Packetizer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "protocol/ScreenBitmap.h"
#include "tests/TestPicture.h"

namespace telvo {
namespace {

using test::HeaderOf;
using test::RecordingSink;

std::vector<std::uint8_t> JoinData(const std::vector<std::vector<std::uint8_t>>& datagrams) {
    std::vector<std::uint8_t> joined;
    for (const auto& datagram : datagrams) {
        joined.insert(joined.end(), datagram.begin() + kHeaderSize, datagram.end());
    }
    return joined;
}

TEST(Packetizer, UncompressedScreenIsCutIntoEqualHeaderedFragments) {
    const auto picture = test::MakeDesktopPicture(1024, 768, 1);
    RecordingSink sink;
    ASSERT_EQ(0, SendPicture(sink, picture.data(), 2359350, 42, -5, 70000, false));

    ASSERT_EQ(73u, sink.datagrams.size());
    for (std::uint32_t i = 0; i < 73; ++i) {
        const ScreenPacketHeader header = HeaderOf(sink.datagrams[i]);
        EXPECT_EQ(kHeaderSize + header.dataLength, sink.datagrams[i].size());
        EXPECT_EQ(i, header.fragmentIndex);
        EXPECT_EQ(i < 72 ? 32768u : 54u, header.dataLength);
        EXPECT_EQ(0u, header.flags);
        EXPECT_EQ(42u, header.pictureNumber);
        EXPECT_EQ(2359350u, header.pictureSize);
        EXPECT_EQ(73u, header.fragmentCount);
        EXPECT_EQ(1024u, header.width);
        EXPECT_EQ(768u, header.height);
        EXPECT_EQ(65531u, header.cursorX);  // -5 as its two's complement
        EXPECT_EQ(70000u & 0xFFFF, header.cursorY);
    }
    EXPECT_EQ(picture, JoinData(sink.datagrams));
    EXPECT_EQ(std::vector<unsigned>(73, 0), sink.pauses);  // only a yield after each
}

TEST(Packetizer, CompressedFragmentsFormOneZlibStream) {
    const auto picture = test::MakeDesktopPicture(800, 600, 2, NeededLength(800, 600) + 999);
    RecordingSink sink;
    ASSERT_EQ(0, SendPicture(sink, picture.data(), static_cast<std::uint32_t>(picture.size()), 7, 0,
                             0, true));
    ASSERT_FALSE(sink.datagrams.empty());
    const ScreenPacketHeader first = HeaderOf(sink.datagrams[0]);
    EXPECT_EQ(1u, first.flags);
    EXPECT_EQ(picture.size(), first.pictureSize);
    EXPECT_EQ(sink.datagrams.size(), first.fragmentCount);

    const std::vector<std::uint8_t> stream = JoinData(sink.datagrams);
    std::vector<std::uint8_t> decoded(picture.size());
    uLongf decodedLength = decoded.size();
    ASSERT_EQ(Z_OK, uncompress(decoded.data(), &decodedLength, stream.data(), stream.size()));
    EXPECT_EQ(picture.size(), decodedLength);
    EXPECT_EQ(picture, decoded);
}

TEST(Packetizer, PausesFollowTheFragmentCount) {
    const unsigned expected[] = {10, 5, 3, 2, 2, 1, 1, 1, 1, 1, 0, 0, 0};
    for (std::uint32_t count = 1; count <= 13; ++count) {
        EXPECT_EQ(expected[count - 1], PauseAfterFragment(count)) << count;
    }
    const std::vector<std::uint8_t> exact(32768, 0x11), oneMore(32769, 0x22);
    RecordingSink one, two;
    ASSERT_EQ(0, SendPicture(one, exact.data(), 32768, 0, 0, 0, false));
    ASSERT_EQ(0, SendPicture(two, oneMore.data(), 32769, 0, 0, 0, false));
    ASSERT_EQ(1u, one.datagrams.size());
    EXPECT_EQ(32768u, HeaderOf(one.datagrams[0]).dataLength);
    EXPECT_EQ(std::vector<unsigned>{10}, one.pauses);
    ASSERT_EQ(2u, two.datagrams.size());
    EXPECT_EQ(1u, HeaderOf(two.datagrams[1]).dataLength);
    EXPECT_EQ((std::vector<unsigned>{5, 5}), two.pauses);
}

TEST(Packetizer, SkipsWhatCannotBeSentAndStopsAtAFailedSend) {
    const auto noise = test::MakeNoisePicture(200, 100, 3);
    RecordingSink skipped;
    EXPECT_EQ(0, SendPicture(skipped, noise.data(), static_cast<std::uint32_t>(noise.size()), 1, 0,
                             0, true));
    EXPECT_TRUE(skipped.datagrams.empty());

    const auto picture = test::MakeDesktopPicture(320, 240, 4);
    RecordingSink failing;
    failing.failAt = 2;
    EXPECT_EQ(failing.failCode,
              SendPicture(failing, picture.data(), static_cast<std::uint32_t>(picture.size()), 1, 0,
                          0, false));
    EXPECT_EQ(2u, failing.datagrams.size());
    EXPECT_EQ(2u, failing.pauses.size());

    RecordingSink empty;  // nothing to send, and no division by a zero fragment count
    EXPECT_EQ(0, SendPicture(empty, picture.data(), 0, 1, 0, 0, false));
    EXPECT_TRUE(empty.datagrams.empty());
}

}  // namespace
}  // namespace telvo
