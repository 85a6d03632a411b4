#include "protocol/ScreenBitmap.h"

#include <gtest/gtest.h>

#include <vector>

namespace telvo {
namespace {

TEST(ScreenBitmap, HeadersDescribeTheirPictureAndThoseThatLieAreRefused) {
    std::vector<std::uint8_t> good(NeededLength(1366, 768), 0);  // rows padded to 4100 bytes
    ASSERT_EQ(54u + 4100u * 768, good.size());
    WriteBitmapHeaders(good.data(), 1366, 768);
    EXPECT_EQ('B', good[0]);
    EXPECT_EQ('M', good[1]);
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
