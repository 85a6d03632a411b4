#include "viewer/net/PictureAssembler.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>

#include "protocol/ScreenBitmap.h"
#include "tests/TestPicture.h"

namespace telvo {
namespace {

using Datagrams = std::vector<std::vector<std::uint8_t>>;

class Assembly : public ::testing::Test {
  protected:
    AcceptStatus Feed(const std::vector<std::uint8_t>& datagram) {
        ScreenPacketHeader header;
        EXPECT_TRUE(DecodeHeader(datagram.data(), datagram.size(), &header));
        return assembler.AcceptFragment(header, datagram.data(), datagram.size());
    }
    AcceptStatus FeedAll(const Datagrams& datagrams) {
        AcceptStatus status = AcceptStatus::MoreToCome;
        for (const auto& datagram : datagrams) status = Feed(datagram);
        return status;
    }
    std::vector<std::uint8_t> Shown() {
        ImageReader image(store);
        return image.bytes()
                   ? std::vector<std::uint8_t>(image.bytes(), image.bytes() + image.size())
                   : std::vector<std::uint8_t>();
    }

    PictureStore store;
    int notified = 0;
    PictureAssembler assembler{store, store.generation(),
                               [this](const CompletedPicture&) { ++notified; }};
};

std::vector<std::uint8_t> Datagram(ScreenPacketHeader header, const std::uint8_t* data,
                                   std::uint32_t dataLength) {
    header.version = kProtocolVersion;
    header.kind = kPictureFragmentKind;
    header.dataLength = dataLength;
    std::vector<std::uint8_t> datagram(kHeaderSize + dataLength);
    EncodeHeader(header, datagram.data());
    if (dataLength > 0) std::memcpy(datagram.data() + kHeaderSize, data, dataLength);
    return datagram;
}

TEST_F(Assembly, PicturesComeBackByteForByteInAnyOrder) {
    std::mt19937 shuffle(5);
    std::uint32_t number = 0;
    for (const bool compress : {false, true}) {
        const auto picture = test::MakeDesktopPicture(640, 480, number);
        Datagrams packets = test::Packetize(picture, number++, compress);
        EXPECT_EQ(AcceptStatus::PictureComplete, FeedAll(packets));
        EXPECT_EQ(picture, Shown());

        std::reverse(packets.begin(), packets.end());
        for (auto& packet : packets) packet[7] = static_cast<std::uint8_t>(number);  // renumber
        ++number;
        EXPECT_EQ(AcceptStatus::PictureComplete, FeedAll(packets));
        EXPECT_EQ(picture, Shown());

        const auto next = test::MakeDesktopPicture(640, 480, number);
        packets = test::Packetize(next, number++, compress);
        std::shuffle(packets.begin(), packets.end(), shuffle);
        EXPECT_EQ(AcceptStatus::PictureComplete, FeedAll(packets));
        EXPECT_EQ(next, Shown());
        EXPECT_EQ(number - 1, assembler.lastPictureNumber());
    }
    EXPECT_EQ(6, notified);
}

TEST_F(Assembly, OlderAndNewerPictures) {
    const auto small = test::MakeDesktopPicture(64, 48, 1);  // one fragment
    EXPECT_EQ(AcceptStatus::PictureComplete, FeedAll(test::Packetize(small, 8, false)));
    EXPECT_EQ(small.size(), Shown().size());

    const auto large = test::MakeDesktopPicture(200, 120, 2);  // three fragments
    const Datagrams seven = test::Packetize(large, 7, false);
    EXPECT_EQ(AcceptStatus::OlderPicture, Feed(seven[0]));

    Datagrams nine = test::Packetize(large, 9, false), ten = test::Packetize(small, 10, false);
    EXPECT_EQ(AcceptStatus::MoreToCome, Feed(nine[1]));
    EXPECT_EQ(AcceptStatus::MoreToCome, Feed(nine[0]));
    EXPECT_EQ(AcceptStatus::PictureComplete, Feed(ten[0]));  // drops the incomplete nine
    EXPECT_EQ(AcceptStatus::OlderPicture, Feed(nine[2]));
    EXPECT_EQ(small, Shown());

    // A late repeat of a one-fragment picture publishes it again; the number stays.
    EXPECT_EQ(AcceptStatus::PictureComplete, Feed(ten[0]));
    EXPECT_EQ(3, notified);

    std::vector<std::uint8_t> offByOne = ten[0];
    offByOne.pop_back();
    EXPECT_EQ(AcceptStatus::WrongLength, Feed(offByOne));
    offByOne.resize(offByOne.size() + 2);
    EXPECT_EQ(AcceptStatus::WrongLength, Feed(offByOne));
}

TEST_F(Assembly, RepeatedFragmentCompletesWithBlackRest) {
    const auto picture = test::MakeDesktopPicture(100, 133, 3);  // 39954 bytes: two fragments
    const Datagrams packets = test::Packetize(picture, 1, false);
    ASSERT_EQ(2u, packets.size());
    EXPECT_EQ(AcceptStatus::MoreToCome, Feed(packets[0]));
    EXPECT_EQ(AcceptStatus::PictureComplete, Feed(packets[0]));
    std::vector<std::uint8_t> expected = picture;
    std::fill(expected.begin() + kMaxDataLength, expected.end(), 0);
    EXPECT_EQ(expected, Shown());
    EXPECT_EQ(AcceptStatus::MoreToCome, Feed(packets[1]));  // begins an assembly never completed
    EXPECT_EQ(expected, Shown());
}

TEST_F(Assembly, DamagedStreamEndsReceptionAndKeepsThePicture) {
    const auto picture = test::MakeDesktopPicture(320, 240, 4);
    EXPECT_EQ(AcceptStatus::PictureComplete, FeedAll(test::Packetize(picture, 1, true)));
    Datagrams damaged = test::Packetize(test::MakeDesktopPicture(320, 240, 5), 2, true);
    damaged.back()[damaged.back().size() - 3] ^= 0x55;
    const AcceptStatus status = FeedAll(damaged);
    EXPECT_EQ(AcceptStatus::DecodeFailed, status);
    EXPECT_FALSE(ContinuesReception(status));
    EXPECT_STREQ("圧縮パケットの解凍に失敗しました", StatusText(status));
    EXPECT_EQ(picture, Shown());
}

TEST_F(Assembly, FragmentsOutsideTheirPictureAreNeverWritten) {
    const std::uint8_t data[kMaxDataLength + 8] = {};
    ScreenPacketHeader header;
    header.pictureNumber = 1;
    header.pictureSize = 100000;
    header.fragmentCount = 1;
    header.width = 1;

    header.fragmentIndex = 3;  // 98304 + 32768 > 100000
    EXPECT_EQ(AcceptStatus::WrongLength, Feed(Datagram(header, data, kMaxDataLength)));
    header.fragmentIndex = 0xFFFFFFFF;
    EXPECT_EQ(AcceptStatus::WrongLength, Feed(Datagram(header, data, 1)));
    header.fragmentIndex = 0;
    EXPECT_EQ(AcceptStatus::WrongLength, Feed(Datagram(header, data, kMaxDataLength + 8)));
    header.pictureSize = kMaxPictureSize + 1;
    EXPECT_EQ(AcceptStatus::WrongLength, Feed(Datagram(header, data, 1)));

    // dataLength near 2^32: 32 + dataLength wraps to the datagram's real length in 32 bits.
    header.pictureSize = 100000;
    std::vector<std::uint8_t> wrapping = Datagram(header, data, 0);
    wrapping.resize(16);
    ScreenPacketHeader decoded;
    ASSERT_TRUE(DecodeHeader(wrapping.data(), wrapping.size(), &decoded));
    decoded.dataLength = 0xFFFFFFF0;
    EXPECT_EQ(AcceptStatus::WrongLength,
              assembler.AcceptFragment(decoded, wrapping.data(), wrapping.size()));
    EXPECT_EQ(0, notified);
}

TEST_F(Assembly, PicturesWhoseHeadersLieAreNotPublished) {
    const auto good = test::MakeDesktopPicture(40, 30, 6);
    std::vector<std::uint8_t> lying = good;
    lying[19] = 0x40;  // width 16424: far more pixels than the picture holds
    EXPECT_EQ(AcceptStatus::WrongLength, FeedAll(test::Packetize(lying, 1, false)));
    std::vector<std::uint8_t> tiny(20, 0);  // no room even for the headers
    EXPECT_EQ(AcceptStatus::WrongLength, FeedAll(test::Packetize(tiny, 2, true)));
    EXPECT_TRUE(Shown().empty());
    EXPECT_EQ(0, notified);
    EXPECT_EQ(AcceptStatus::PictureComplete, FeedAll(test::Packetize(good, 3, false)));
    EXPECT_EQ(good, Shown());
}

TEST_F(Assembly, ShortStreamLeavesZerosNotOldBytes) {
    // The first picture fills a block that is recycled for the second one.
    const std::uint32_t size = static_cast<std::uint32_t>(NeededLength(100, 100)) + 5000;
    const auto first = test::MakeNoisePicture(100, 150, 7);  // larger than size, all noise
    std::vector<std::uint8_t> firstSized(first.begin(), first.begin() + size);
    WriteBitmapHeaders(firstSized.data(), 100, 100);
    EXPECT_EQ(AcceptStatus::PictureComplete, FeedAll(test::Packetize(firstSized, 1, false)));

    // A stream that inflates to fewer bytes than its pictureSize says.
    const auto second = test::MakeDesktopPicture(100, 100, 8);
    std::vector<std::uint8_t> stream(compressBound(second.size()));
    uLongf streamLength = stream.size();
    ASSERT_EQ(Z_OK, compress(stream.data(), &streamLength, second.data(), second.size()));
    ScreenPacketHeader header;
    header.flags = kFlagCompressed;
    header.pictureSize = size;
    header.fragmentCount = 1;
    header.width = 100;
    std::vector<std::uint8_t> expected = second;
    expected.resize(size, 0);
    for (const std::uint32_t number : {2, 3}) {  // the second time in recycled blocks
        header.pictureNumber = number;
        EXPECT_EQ(AcceptStatus::PictureComplete,
                  Feed(Datagram(header, stream.data(), static_cast<std::uint32_t>(streamLength))));
        EXPECT_EQ(expected, Shown());
    }
}

TEST_F(Assembly, RepeatsNeverLetTheDecoderReadPastTheBlock) {
    const std::vector<std::uint8_t> data(kMaxDataLength, 0x78);
    ScreenPacketHeader header;
    header.flags = kFlagCompressed;
    header.pictureNumber = 1;
    header.pictureSize = 40000;
    header.fragmentCount = 2;
    header.width = 1;
    const auto datagram = Datagram(header, data.data(), kMaxDataLength);
    EXPECT_EQ(AcceptStatus::MoreToCome, Feed(datagram));
    EXPECT_EQ(AcceptStatus::DecodeFailed, Feed(datagram));  // 65536 bytes counted, 40000 held
}

TEST(AssemblyStore, PicturesOfALeftChannelAreRefused) {
    PictureStore store;
    int notified = 0;
    PictureAssembler stale(store, store.generation(), [&](const CompletedPicture&) { ++notified; });
    store.Clear();
    const auto picture = test::MakeDesktopPicture(64, 48, 9);
    const auto packets = test::Packetize(picture, 1, false);
    ScreenPacketHeader header;
    ASSERT_TRUE(DecodeHeader(packets[0].data(), packets[0].size(), &header));
    EXPECT_EQ(AcceptStatus::PictureComplete,
              stale.AcceptFragment(header, packets[0].data(), packets[0].size()));
    EXPECT_EQ(0, notified);
    ImageReader outer(store);
    ImageReader inner(store);  // imageLock is re-entrant on one thread
    EXPECT_EQ(nullptr, inner.bytes());
}

TEST(AssemblyStatus, TextsDecideWhetherReceptionGoesOn) {
    EXPECT_STREQ(" 揃った", StatusText(AcceptStatus::PictureComplete));
    EXPECT_STREQ(" まだ続きがある", StatusText(AcceptStatus::MoreToCome));
    EXPECT_STREQ(" 現在より古い画像パケット", StatusText(AcceptStatus::OlderPicture));
    EXPECT_STREQ(" 不正なサイズのパケット", StatusText(AcceptStatus::WrongLength));
    EXPECT_STREQ("ビットマップデータ用のメモリを確保できませんでした",
                 StatusText(AcceptStatus::NoPictureMemory));
    EXPECT_STREQ("圧縮パケットを解凍するためのメモリを確保できませんでした",
                 StatusText(AcceptStatus::NoDecodeMemory));
    for (const AcceptStatus status : {AcceptStatus::PictureComplete, AcceptStatus::MoreToCome,
                                      AcceptStatus::OlderPicture, AcceptStatus::WrongLength}) {
        EXPECT_TRUE(ContinuesReception(status));
    }
    EXPECT_FALSE(ContinuesReception(AcceptStatus::NoPictureMemory));
    EXPECT_FALSE(ContinuesReception(AcceptStatus::NoDecodeMemory));
}

}  // namespace
}  // namespace telvo
