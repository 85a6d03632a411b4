#include "protocol/ScreenBitmap.h"

#include <gtest/gtest.h>

#include <vector>

namespace telvo {
namespace {

void PutLittle32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

TEST(ScreenBitmap, LayoutOfCommonScreens) {
    EXPECT_EQ(3072u, RowStride(1024));
    EXPECT_EQ(2359350u, NeededLength(1024, 768));
    EXPECT_EQ(4100u, RowStride(1366));
    EXPECT_EQ(54u + 3148800u, NeededLength(1366, 768));
    EXPECT_EQ(4u, RowStride(1));

    std::vector<std::uint8_t> picture(NeededLength(1366, 768), 0);
    WriteBitmapHeaders(picture.data(), 1366, 768);
    EXPECT_EQ('B', picture[0]);
    EXPECT_EQ('M', picture[1]);
    EXPECT_EQ(54u + 3148800u, ReadLittle32(&picture[2]));
    EXPECT_EQ(54u, ReadLittle32(&picture[10]));
    EXPECT_EQ(40u, ReadLittle32(&picture[14]));
    EXPECT_EQ(1366u, ReadLittle32(&picture[18]));
    EXPECT_EQ(768u, ReadLittle32(&picture[22]));
    EXPECT_EQ(0x00180001u, ReadLittle32(&picture[26]));  // 1 plane, 24 bits
    EXPECT_EQ(3148800u, ReadLittle32(&picture[34]));

    BitmapLayout layout;
    ASSERT_TRUE(DescribeBitmap(picture.data(), picture.size(), &layout));
    EXPECT_EQ(1366u, layout.width);
    EXPECT_EQ(768u, layout.height);
    EXPECT_EQ(4100u, layout.stride);
    EXPECT_EQ(54u, layout.pixelOffset);
    picture.resize(picture.size() + 5000, 0);  // a buffer grown for a larger screen earlier
    EXPECT_TRUE(DescribeBitmap(picture.data(), picture.size(), &layout));
}

TEST(ScreenBitmap, DescribeRefusesHeadersThatLie) {
    std::vector<std::uint8_t> good(NeededLength(16, 8), 0);
    WriteBitmapHeaders(good.data(), 16, 8);
    BitmapLayout layout;
    ASSERT_TRUE(DescribeBitmap(good.data(), good.size(), &layout));
    EXPECT_FALSE(DescribeBitmap(good.data(), good.size() - 1, &layout));
    EXPECT_FALSE(DescribeBitmap(good.data(), 53, &layout));
    EXPECT_FALSE(DescribeBitmap(nullptr, 0, &layout));

    struct Lie {
        std::size_t at;
        std::uint32_t value;
    };
    const Lie lies[] = {
        {18, 0},          {18, 0x80000000},  // width zero, negative
        {22, 0},          {22, 0xFFFFFFF8},  // height zero, negative (top-down)
        {18, 0x7FFFFFFF}, {22, 0x7FFFFFFF},  // more pixels than held; no overflow
        {10, 53},         {10, 55},          // pixel offset inside the headers, past the room
        {10, 0xFFFFFFFF}, {14, 108},         // pixel offset far out; another info header
        {26, 0x00200001}, {30, 1},           // 32 bits per pixel; RLE compression
        {46, 256},                           // a colour table
    };
    for (const Lie& lie : lies) {
        std::vector<std::uint8_t> picture = good;
        PutLittle32(picture, lie.at, lie.value);
        EXPECT_FALSE(DescribeBitmap(picture.data(), picture.size(), &layout))
            << "offset " << lie.at << " value " << lie.value;
    }
}

}  // namespace
}  // namespace telvo
