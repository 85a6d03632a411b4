#include "protocol/ScreenPacket.h"

#include <gtest/gtest.h>

#include <cstring>

namespace telvo {
namespace {

TEST(ScreenPacket, HeaderIsBigEndianAndBytesPastAShortDatagramReadAsZero) {
    const ScreenPacketHeader header{1,          1,      0x0102, 0x03040506, 0x0708090A, 0x0B0C0D0E,
                                    0x0F101112, 0x1314, 0x1516, 0x1718,     0x191A,     0x1B1C1D1E};
    std::uint8_t wire[kHeaderSize], again[kHeaderSize];
    EncodeHeader(header, wire);
    for (std::size_t i = 0; i < kHeaderSize; ++i) EXPECT_EQ(i < 2 ? 1 : i - 1, wire[i]) << i;
    ScreenPacketHeader decoded;
    ASSERT_TRUE(DecodeHeader(wire, sizeof wire, &decoded));
    EncodeHeader(decoded, again);
    EXPECT_EQ(0, std::memcmp(wire, again, kHeaderSize));

    const std::uint8_t ours[20] = {1, 1, 0, 1, 0, 0, 0, 9, 0, 0, 0, 7, 0, 0, 0, 2, 0, 0, 0, 1};
    ASSERT_TRUE(DecodeHeader(ours, sizeof ours, &decoded));
    EXPECT_TRUE(decoded.compressed());
    EXPECT_EQ(1u, decoded.fragmentIndex);
    EXPECT_EQ(0u, decoded.width);
    EXPECT_EQ(0u, decoded.dataLength);
    ASSERT_TRUE(DecodeHeader(ours, 2, &decoded));
    EXPECT_EQ(0u, decoded.pictureNumber);
    // Foreign datagrams.
    const std::uint8_t otherVersion[2] = {2, 1}, otherKind[2] = {1, 0};
    EXPECT_FALSE(DecodeHeader(ours, 1, &decoded));
    EXPECT_FALSE(DecodeHeader(otherVersion, 2, &decoded));
    EXPECT_FALSE(DecodeHeader(otherKind, 2, &decoded));
}

TEST(ScreenPacket, PortsAndFragmentCountsNeverOverflow) {
    EXPECT_EQ(54325, ChannelPort(kDefaultBasePort, 4));
    EXPECT_EQ(0, ChannelPort(65535, 1));
    EXPECT_EQ(0u, FragmentCount(0));
    EXPECT_EQ(131072u, FragmentCount(0xFFFFFFFF));
    EXPECT_EQ(32767u, FragmentDataLength(0xFFFFFFFF, 131071));
}

}  // namespace
}  // namespace telvo
