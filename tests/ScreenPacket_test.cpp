#include "protocol/ScreenPacket.h"

#include <gtest/gtest.h>

#include <cstring>

namespace telvo {
namespace {

TEST(ScreenPacket, HeaderIsBigEndianAndForeignDatagramsAreTold) {
    const ScreenPacketHeader header{1,          1,      0x0102, 0x03040506, 0x0708090A, 0x0B0C0D0E,
                                    0x0F101112, 0x1314, 0x1516, 0x1718,     0x191A,     0x1B1C1D1E};
    std::uint8_t wire[kHeaderSize], again[kHeaderSize];
    EncodeHeader(header, wire);
    for (std::size_t i = 0; i < kHeaderSize; ++i) EXPECT_EQ(i < 2 ? 1 : i - 1, wire[i]) << i;
    ScreenPacketHeader decoded;
    ASSERT_TRUE(DecodeHeader(wire, sizeof wire, &decoded));
    EncodeHeader(decoded, again);
    EXPECT_EQ(0, std::memcmp(wire, again, kHeaderSize));
    ASSERT_TRUE(DecodeHeader(wire, 20, &decoded));  // bytes past a short datagram read as zero
    EXPECT_EQ(0u, decoded.width | decoded.dataLength);
    EXPECT_EQ(0x0F101112u, decoded.fragmentIndex);
    EXPECT_FALSE(DecodeHeader(wire, 1, &decoded));
    wire[0] = 2;  // another version
    EXPECT_FALSE(DecodeHeader(wire, kHeaderSize, &decoded));
    wire[0] = 1;
    wire[1] = 0;  // another kind
    EXPECT_FALSE(DecodeHeader(wire, kHeaderSize, &decoded));
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
