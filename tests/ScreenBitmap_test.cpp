#include "protocol/ScreenBitmap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace telvo {
namespace {

TEST(ScreenBitmap, HeadersDescribeAScreenWithPaddedRows) {
    std::vector<std::uint8_t> picture(NeededLength(1366, 768), 0);
    ASSERT_EQ(54u + 4100u * 768, picture.size());
    WriteBitmapHeaders(picture.data(), 1366, 768);
    EXPECT_EQ(0, std::memcmp("BM", picture.data(), 2));
    EXPECT_EQ(picture.size(), ReadLittle32(&picture[2]));
    EXPECT_EQ(4100u * 768, ReadLittle32(&picture[34]));
    BitmapLayout layout;
    ASSERT_TRUE(DescribeBitmap(picture.data(), picture.size(), &layout));
    EXPECT_EQ((std::vector<std::uint32_t>{1366, 768, 4100, 54}),
              (std::vector<std::uint32_t>{layout.width, layout.height, layout.stride,
                                          layout.pixelOffset}));
    EXPECT_FALSE(DescribeBitmap(picture.data(), picture.size() - 1, &layout));
    picture.resize(picture.size() + 5000, 0);  // a buffer grown for a larger screen earlier
    EXPECT_TRUE(DescribeBitmap(picture.data(), picture.size(), &layout));
}

TEST(ScreenBitmap, DescribeRefusesHeadersThatLie) {
    std::vector<std::uint8_t> good(NeededLength(16, 8), 0);
    WriteBitmapHeaders(good.data(), 16, 8);
    BitmapLayout layout;
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
}

}  // namespace
}  // namespace telvo
