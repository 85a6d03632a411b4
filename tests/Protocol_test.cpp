// What every peer must agree on: the packet header and the bitmap layout.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "protocol/ScreenBitmap.h"
#include "protocol/ScreenPacket.h"

namespace telvo {
namespace {

TEST(ScreenPacket, HeaderIsBigEndianForeignDatagramsAreToldAndNothingOverflows) {
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
    EXPECT_EQ(0, ChannelPort(65535, 1));
    EXPECT_EQ(0u, FragmentCount(0));
    EXPECT_EQ(131072u, FragmentCount(0xFFFFFFFF));
    EXPECT_EQ(32767u, FragmentDataLength(0xFFFFFFFF, 131071));
}

TEST(ScreenBitmap, HeadersDescribeTheirPictureAndThoseThatLieAreRefused) {
    std::vector<std::uint8_t> good(NeededLength(1366, 768), 0);  // rows padded to 4100 bytes
    ASSERT_EQ(54u + 4100u * 768, good.size());
    WriteBitmapHeaders(good.data(), 1366, 768);
    EXPECT_EQ(0, std::memcmp(good.data(), "BM", 2));
    EXPECT_EQ(good.size(), ReadLittle32(&good[2]));
    EXPECT_EQ(4100u * 768, ReadLittle32(&good[34]));
    BitmapLayout layout;
    ASSERT_TRUE(DescribeBitmap(good.data(), good.size(), &layout));
    EXPECT_EQ((std::vector<std::uint32_t>{1366, 768, 4100, 54}),
              (std::vector<std::uint32_t>{layout.width, layout.height, layout.stride,
                                          layout.pixelOffset}));
    EXPECT_FALSE(DescribeBitmap(good.data(), good.size() - 1, &layout));
    EXPECT_FALSE(DescribeBitmap(good.data(), 53, &layout));
    EXPECT_FALSE(DescribeBitmap(nullptr, 0, &layout));
    const std::pair<std::size_t, std::uint32_t> lies[] = {
        {18, 0},          {18, 0x80000000},  // width zero, negative
        {22, 0},          {22, 0xFFFFFFF8},  // height zero, negative (top-down)
        {18, 0x7FFFFFFF}, {22, 0x7FFFFFFF},  // more pixels than held; no overflow
        {10, 53},         {10, 55},          // pixel offset inside the headers, past the room
        {10, 0xFFFFFFFF}, {14, 108},         // pixel offset far out; another info header
        {26, 0x00200001}, {30, 1},           // 32 bits per pixel; RLE compression
        {46, 256},                           // a colour table
    };
    for (const auto& [at, value] : lies) {
        std::vector<std::uint8_t> picture = good;
        for (int i = 0; i < 4; ++i) picture[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        EXPECT_FALSE(DescribeBitmap(picture.data(), picture.size(), &layout)) << at << " " << value;
    }
    good.resize(good.size() + 5000, 0);  // a buffer grown for a larger screen earlier
    EXPECT_TRUE(DescribeBitmap(good.data(), good.size(), &layout));
}

}  // namespace
}  // namespace telvo
