#include "protocol/ScreenPacket.h"

#include <gtest/gtest.h>

namespace telvo {
namespace {

TEST(ScreenPacket, HeaderIsBigEndianAndRoundTrips) {
    ScreenPacketHeader header;
    header.version = 1;
    header.kind = 1;
    header.flags = 0x0102;
    header.pictureNumber = 0x03040506;
    header.pictureSize = 0x0708090A;
    header.fragmentCount = 0x0B0C0D0E;
    header.fragmentIndex = 0x0F101112;
    header.width = 0x1314;
    header.height = 0x1516;
    header.cursorX = 0x1718;
    header.cursorY = 0x191A;
    header.dataLength = 0x1B1C1D1E;
    std::uint8_t wire[kHeaderSize];
    EncodeHeader(header, wire);
    const std::uint8_t expected[kHeaderSize] = {1,    1,    1,    2,    3,    4,    5,    6,
                                                7,    8,    9,    0x0A, 0x0B, 0x0C, 0x0D, 0x0E,
                                                0x0F, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16,
                                                0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E};
    EXPECT_EQ(0, memcmp(expected, wire, kHeaderSize));

    ScreenPacketHeader decoded;
    ASSERT_TRUE(DecodeHeader(wire, sizeof wire, &decoded));
    EXPECT_EQ(header.flags, decoded.flags);
    EXPECT_EQ(header.pictureNumber, decoded.pictureNumber);
    EXPECT_EQ(header.pictureSize, decoded.pictureSize);
    EXPECT_EQ(header.fragmentCount, decoded.fragmentCount);
    EXPECT_EQ(header.fragmentIndex, decoded.fragmentIndex);
    EXPECT_EQ(header.width, decoded.width);
    EXPECT_EQ(header.height, decoded.height);
    EXPECT_EQ(header.cursorX, decoded.cursorX);
    EXPECT_EQ(header.cursorY, decoded.cursorY);
    EXPECT_EQ(header.dataLength, decoded.dataLength);
}

TEST(ScreenPacket, DecodeTellsForeignDatagramsAndZeroesMissingBytes) {
    ScreenPacketHeader header;
    const std::uint8_t ours[20] = {1, 1, 0, 1, 0, 0, 0, 9, 0, 0, 0, 7, 0, 0, 0, 2, 0, 0, 0, 1};
    EXPECT_FALSE(DecodeHeader(ours, 0, &header));
    EXPECT_FALSE(DecodeHeader(ours, 1, &header));
    const std::uint8_t otherVersion[2] = {2, 1}, otherKind[2] = {1, 0};
    EXPECT_FALSE(DecodeHeader(otherVersion, 2, &header));
    EXPECT_FALSE(DecodeHeader(otherKind, 2, &header));

    ASSERT_TRUE(DecodeHeader(ours, 2, &header));
    EXPECT_EQ(0u, header.flags);
    EXPECT_EQ(0u, header.pictureNumber);
    ASSERT_TRUE(DecodeHeader(ours, sizeof ours, &header));
    EXPECT_TRUE(header.compressed());
    EXPECT_EQ(9u, header.pictureNumber);
    EXPECT_EQ(1u, header.fragmentIndex);
    EXPECT_EQ(0u, header.width);  // bytes 20.. were not received
    EXPECT_EQ(0u, header.dataLength);
}

TEST(ScreenPacket, PortsAndFragments) {
    EXPECT_EQ(54321, ChannelPort(kDefaultBasePort, 0));
    EXPECT_EQ(54325, ChannelPort(kDefaultBasePort, 4));
    EXPECT_EQ(0, ChannelPort(65535, 1));

    EXPECT_EQ(73u, FragmentCount(2359350));
    EXPECT_EQ(32768u, FragmentDataLength(2359350, 71));
    EXPECT_EQ(54u, FragmentDataLength(2359350, 72));
    EXPECT_EQ(1u, FragmentCount(32768));
    EXPECT_EQ(32768u, FragmentDataLength(32768, 0));
    EXPECT_EQ(2u, FragmentCount(32769));
    EXPECT_EQ(1u, FragmentDataLength(32769, 1));
    EXPECT_EQ(0u, FragmentCount(0));
    EXPECT_EQ(131072u, FragmentCount(0xFFFFFFFF));
    EXPECT_EQ(32767u, FragmentDataLength(0xFFFFFFFF, 131071));
}

}  // namespace
}  // namespace telvo
