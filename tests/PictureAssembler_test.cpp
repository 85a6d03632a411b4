#include "viewer/net/PictureAssembler.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
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
        AcceptStatus status = AcceptStatus::kMoreToCome;
        for (const auto& datagram : datagrams) status = Feed(datagram);
        return status;
    }
    std::vector<std::uint8_t> Shown() {
        ImageReader image(store);
        return image.bytes()
                   ? std::vector<std::uint8_t>(image.bytes(), image.bytes() + image.size())
                   : std::vector<std::uint8_t>();
    }

    // Feeds a picture's datagrams but those whose index is in `lost`.
    AcceptStatus FeedExcept(const Datagrams& datagrams, std::initializer_list<std::uint32_t> lost) {
        AcceptStatus status = AcceptStatus::kMoreToCome;
        for (const auto& datagram : datagrams) {
            const std::uint32_t index = test::HeaderOf(datagram).fragmentIndex;
            if (std::find(lost.begin(), lost.end(), index) == lost.end()) status = Feed(datagram);
        }
        return status;
    }

    PictureStore store;
    int notified = 0;
    CompletedPicture last;
    std::vector<LostPicture> lost;
    std::uint64_t now = 1000;
    PictureAssembler assembler{store, store.generation(),
                               [this](const CompletedPicture& picture) {
                                   ++notified;
                                   last = picture;
                               },
                               [this] { return now; }};
    void SetUp() override {
        assembler.SetLossNotifier([this](const LostPicture& picture) { lost.push_back(picture); });
    }
};

// A picture that compresses to four fragments: noise, then a plain half.
std::vector<std::uint8_t> FourFragmentPicture(std::uint32_t seed) {
    auto picture = test::MakeNoisePicture(200, 400, seed);
    std::fill(picture.begin() + kBitmapHeadersSize + 120000, picture.end(), 0);
    return picture;
}

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
        EXPECT_EQ(AcceptStatus::kPictureComplete, FeedAll(packets));
        EXPECT_EQ(picture, Shown());

        const auto reversed = test::MakeDesktopPicture(640, 480, number);
        packets = test::Packetize(reversed, number++, compress);
        std::reverse(packets.begin(), packets.end());
        EXPECT_EQ(AcceptStatus::kPictureComplete, FeedAll(packets));
        EXPECT_EQ(reversed, Shown());

        const auto next = test::MakeDesktopPicture(640, 480, number);
        packets = test::Packetize(next, number++, compress);
        std::shuffle(packets.begin(), packets.end(), shuffle);
        EXPECT_EQ(AcceptStatus::kPictureComplete, FeedAll(packets));
        EXPECT_EQ(next, Shown());
        EXPECT_EQ(number - 1, assembler.lastPictureNumber());
    }
    EXPECT_EQ(6, notified);
}

TEST_F(Assembly, OlderAndNewerPictures) {
    const auto small = test::MakeDesktopPicture(64, 48, 1);  // one fragment
    EXPECT_EQ(AcceptStatus::kPictureComplete, FeedAll(test::Packetize(small, 8, false)));
    EXPECT_EQ(small.size(), Shown().size());

    const auto large = test::MakeDesktopPicture(200, 120, 2);  // three fragments
    const Datagrams seven = test::Packetize(large, 7, false);
    EXPECT_EQ(AcceptStatus::kOlderPicture, Feed(seven[0]));

    Datagrams nine = test::Packetize(large, 9, false), ten = test::Packetize(small, 10, false);
    EXPECT_EQ(AcceptStatus::kMoreToCome, Feed(nine[1]));
    EXPECT_EQ(AcceptStatus::kMoreToCome, Feed(nine[0]));
    EXPECT_EQ(AcceptStatus::kPictureComplete, Feed(ten[0]));  // drops the incomplete nine
    EXPECT_EQ(AcceptStatus::kOlderPicture, Feed(nine[2]));
    EXPECT_EQ(small, Shown());

    // A late repeat of a complete picture is not published again.
    EXPECT_EQ(AcceptStatus::kOlderPicture, Feed(ten[0]));
    EXPECT_EQ(2, notified);
    EXPECT_EQ(1u, lost.size());  // nine

    std::vector<std::uint8_t> offByOne = ten[0];
    offByOne.pop_back();
    EXPECT_EQ(AcceptStatus::kWrongLength, Feed(offByOne));
    offByOne.resize(offByOne.size() + 2);
    EXPECT_EQ(AcceptStatus::kWrongLength, Feed(offByOne));
}

// Fragments count by index: a repeat never stands in for a lost fragment, in either kind.
TEST_F(Assembly, ARepeatedFragmentNeverStandsInForALostOne) {
    const auto picture = test::MakeDesktopPicture(100, 133, 3);  // 39954 bytes: two fragments
    const Datagrams packets = test::Packetize(picture, 1, false);
    ASSERT_EQ(2u, packets.size());
    EXPECT_EQ(AcceptStatus::kMoreToCome, Feed(packets[0]));
    EXPECT_EQ(AcceptStatus::kMoreToCome, Feed(packets[0]));
    EXPECT_TRUE(Shown().empty());
    EXPECT_EQ(AcceptStatus::kPictureComplete, Feed(packets[1]));
    EXPECT_EQ(picture, Shown());

    const auto noise = FourFragmentPicture(4);
    const Datagrams three = test::Packetize(noise, 3, true);
    ASSERT_EQ(4u, three.size());
    for (const std::size_t i : {0, 1, 1, 3}) EXPECT_EQ(AcceptStatus::kMoreToCome, Feed(three[i]));
    now += kStallMs;
    assembler.CheckStalled();
    EXPECT_EQ(picture, Shown());
    EXPECT_EQ(AcceptStatus::kPictureComplete, FeedAll(test::Packetize(noise, 4, true)));
    EXPECT_EQ(noise, Shown());
    ASSERT_EQ(1u, lost.size());
    EXPECT_EQ(3u, lost[0].number);
    EXPECT_EQ(3u, lost[0].fragmentsSeen);
    EXPECT_EQ(4u, lost[0].fragments);
}

TEST_F(Assembly, FragmentsOutsideTheirPictureAreNeverWritten) {
    const std::uint8_t data[kMaxDataLength + 8] = {};
    ScreenPacketHeader header;
    header.pictureNumber = 1;
    header.pictureSize = 100000;
    header.fragmentCount = 1;
    header.width = 1;

    header.fragmentIndex = 3;  // 98304 + 32768 > 100000
    EXPECT_EQ(AcceptStatus::kWrongLength, Feed(Datagram(header, data, kMaxDataLength)));
    header.fragmentIndex = 0xFFFFFFFF;
    EXPECT_EQ(AcceptStatus::kWrongLength, Feed(Datagram(header, data, 1)));
    header.fragmentIndex = 0;
    EXPECT_EQ(AcceptStatus::kWrongLength, Feed(Datagram(header, data, kMaxDataLength + 8)));
    header.pictureSize = kMaxPictureSize + 1;
    EXPECT_EQ(AcceptStatus::kWrongLength, Feed(Datagram(header, data, 1)));

    // dataLength near 2^32: 32 + dataLength wraps to the datagram's real length in 32 bits.
    header.pictureSize = 100000;
    std::vector<std::uint8_t> wrapping = Datagram(header, data, 0);
    wrapping.resize(16);
    ScreenPacketHeader decoded;
    ASSERT_TRUE(DecodeHeader(wrapping.data(), wrapping.size(), &decoded));
    decoded.dataLength = 0xFFFFFFF0;
    EXPECT_EQ(AcceptStatus::kWrongLength,
              assembler.AcceptFragment(decoded, wrapping.data(), wrapping.size()));
    EXPECT_EQ(0, notified);
}

TEST_F(Assembly, PicturesWhoseHeadersLieAreNotPublished) {
    const auto good = test::MakeDesktopPicture(40, 30, 6);
    std::vector<std::uint8_t> lying = good;
    lying[19] = 0x40;  // width 16424: far more pixels than the picture holds
    EXPECT_EQ(AcceptStatus::kWrongLength, FeedAll(test::Packetize(lying, 1, false)));
    std::vector<std::uint8_t> tiny(20, 0);  // no room even for the headers
    EXPECT_EQ(AcceptStatus::kWrongLength, FeedAll(test::Packetize(tiny, 2, true)));
    EXPECT_TRUE(Shown().empty());
    EXPECT_EQ(0, notified);
    EXPECT_EQ(AcceptStatus::kPictureComplete, FeedAll(test::Packetize(good, 3, false)));
    EXPECT_EQ(good, Shown());
}

TEST_F(Assembly, ShortStreamLeavesZerosNotOldBytes) {
    // The first picture fills a block that is recycled for the second one.
    const std::uint32_t size = static_cast<std::uint32_t>(NeededLength(100, 100)) + 5000;
    const auto first = test::MakeNoisePicture(100, 150, 7);  // larger than size, all noise
    std::vector<std::uint8_t> firstSized(first.begin(), first.begin() + size);
    WriteBitmapHeaders(firstSized.data(), 100, 100);
    EXPECT_EQ(AcceptStatus::kPictureComplete, FeedAll(test::Packetize(firstSized, 1, false)));

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
        EXPECT_EQ(AcceptStatus::kPictureComplete,
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
    EXPECT_EQ(AcceptStatus::kMoreToCome, Feed(datagram));
    EXPECT_EQ(AcceptStatus::kMoreToCome, Feed(datagram));
    header.fragmentIndex = 1;
    EXPECT_EQ(AcceptStatus::kDecodeFailed,
              Feed(Datagram(header, data.data(), 40000 - kMaxDataLength)));
    // Only the last fragment may be short, and no index reaches past fragmentCount.
    header.pictureNumber = 2;
    header.fragmentIndex = 0;
    EXPECT_EQ(AcceptStatus::kWrongLength, Feed(Datagram(header, data.data(), 100)));
    header.fragmentIndex = 2;
    EXPECT_EQ(AcceptStatus::kWrongLength, Feed(Datagram(header, data.data(), 100)));
    header.fragmentIndex = 0;
    header.fragmentCount = 3;  // more than 40000 bytes can need
    EXPECT_EQ(AcceptStatus::kWrongLength, Feed(Datagram(header, data.data(), kMaxDataLength)));
}

// A still screen: the same stream each time, with different fragments lost each time.
TEST_F(Assembly, AStillPictureCompletesOnceEveryIndexWasSeen) {
    const auto still = FourFragmentPicture(10);
    ASSERT_EQ(4u, test::Packetize(still, 1, true).size());
    EXPECT_EQ(AcceptStatus::kMoreToCome, FeedExcept(test::Packetize(still, 1, true), {0, 2}));
    EXPECT_EQ(AcceptStatus::kMoreToCome, FeedExcept(test::Packetize(still, 2, true), {1, 2}));
    now += kStallMs;
    assembler.CheckStalled();  // index 2 was never seen
    EXPECT_EQ(0, notified);
    // Its last fragment completes picture 3 from copies of 1 and 2.
    EXPECT_EQ(AcceptStatus::kPictureComplete, FeedExcept(test::Packetize(still, 3, true), {0, 1}));
    EXPECT_EQ(still, Shown());
    EXPECT_EQ(3u, last.number);
    EXPECT_EQ(2u, last.reused);
    // Its last fragment lost: completed when it stalls, or else when the next picture begins.
    EXPECT_EQ(AcceptStatus::kMoreToCome, FeedExcept(test::Packetize(still, 4, true), {3}));
    now += kStallMs - 1;
    assembler.CheckStalled();
    EXPECT_EQ(1, notified);
    now += 1;
    assembler.CheckStalled();
    EXPECT_EQ(2, notified);
    EXPECT_EQ(4u, last.number);
    EXPECT_EQ(AcceptStatus::kMoreToCome, FeedExcept(test::Packetize(still, 5, true), {0, 3}));
    EXPECT_EQ(AcceptStatus::kMoreToCome, FeedExcept(test::Packetize(still, 6, true), {3}));
    EXPECT_EQ(3, notified);  // 3, 4 and 5, when 6 began
    EXPECT_EQ(AcceptStatus::kMoreToCome, Feed(test::Packetize(still, 7, true)[0]));
    EXPECT_EQ(6u, last.number);
    EXPECT_EQ(1u, last.reused);
    EXPECT_EQ(still, Shown());
    EXPECT_EQ(2u, lost.size());  // 1 and 2

    // Uncompressed pictures carry no check and are never filled.
    const auto plain = test::MakeDesktopPicture(100, 133, 11);
    EXPECT_EQ(AcceptStatus::kPictureComplete, FeedAll(test::Packetize(plain, 8, false)));
    EXPECT_EQ(AcceptStatus::kMoreToCome, FeedExcept(test::Packetize(plain, 9, false), {0}));
    now += kStallMs;
    assembler.CheckStalled();
    EXPECT_EQ(8u, last.number);
}

// A changed screen: a fill with the earlier picture's fragments fails zlib's check; a fill never
// takes a copy older than the picture on show; and a change of size or fragment count forgets.
TEST_F(Assembly, StaleFragmentsNeverMakeAPictureThatWasNotSent) {
    const auto first = FourFragmentPicture(12);
    auto changed = first;
    changed[kBitmapHeadersSize] ^= 1;  // its first fragment and its check differ
    EXPECT_EQ(AcceptStatus::kPictureComplete, FeedAll(test::Packetize(first, 1, true)));
    EXPECT_EQ(AcceptStatus::kMoreToCome, FeedExcept(test::Packetize(changed, 2, true), {0}));
    now += kStallMs;
    assembler.CheckStalled();
    EXPECT_EQ(1, notified);
    EXPECT_EQ(first, Shown());

    // Only the last fragment differs, and it is lost: the fill is the picture on show again.
    auto tail = first;
    tail[tail.size() - 1] ^= 1;
    EXPECT_EQ(AcceptStatus::kPictureComplete, FeedAll(test::Packetize(first, 3, true)));
    EXPECT_EQ(AcceptStatus::kMoreToCome, FeedExcept(test::Packetize(tail, 4, true), {3}));
    now += kStallMs;
    assembler.CheckStalled();
    EXPECT_EQ(first, Shown());
    EXPECT_EQ(4u, last.number);
    // Once the changed picture is on show, the first one with its last fragment lost never
    // brings it back: the copies are the fragments of the picture on show.
    EXPECT_EQ(AcceptStatus::kPictureComplete, FeedAll(test::Packetize(tail, 5, true)));
    EXPECT_EQ(AcceptStatus::kMoreToCome, FeedExcept(test::Packetize(first, 6, true), {3}));
    now += kStallMs;
    assembler.CheckStalled();
    EXPECT_EQ(tail, Shown());
    EXPECT_EQ(6u, last.number);

    // Another size, then the first picture with a hole: nothing left to fill it with.
    EXPECT_EQ(AcceptStatus::kPictureComplete,
              FeedAll(test::Packetize(test::MakeDesktopPicture(64, 48, 13), 7, true)));
    EXPECT_EQ(AcceptStatus::kMoreToCome, FeedExcept(test::Packetize(first, 8, true), {0}));
    now += kStallMs;
    assembler.CheckStalled();
    EXPECT_EQ(7u, last.number);
    // The same size in another number of fragments forgets too.
    EXPECT_EQ(AcceptStatus::kPictureComplete, FeedAll(test::Packetize(first, 9, true)));
    const auto plainer = test::MakeDesktopPicture(200, 400, 14);  // one fragment
    ASSERT_EQ(first.size(), plainer.size());
    EXPECT_EQ(AcceptStatus::kPictureComplete, FeedAll(test::Packetize(plainer, 10, true)));
    EXPECT_EQ(AcceptStatus::kMoreToCome, FeedExcept(test::Packetize(first, 11, true), {0}));
    now += kStallMs;
    assembler.CheckStalled();
    EXPECT_EQ(10u, last.number);
}

// A restarted sender begins at 0 again; one whose picture 0 was lost is followed once the higher
// numbers fell silent; a sender with higher numbers that keeps sending prevails.
TEST_F(Assembly, ARestartedSenderIsFollowed) {
    const auto picture = FourFragmentPicture(15);
    const auto other = FourFragmentPicture(16);
    for (std::uint32_t number = 100; number <= 102; ++number, now += 1000) {
        EXPECT_EQ(AcceptStatus::kPictureComplete, FeedAll(test::Packetize(picture, number, true)));
    }
    const Datagrams zero = test::Packetize(other, 0, true);
    EXPECT_EQ(AcceptStatus::kMoreToCome, Feed(zero[0]));
    EXPECT_EQ(102u, assembler.lastPictureNumber());  // the title stays until it completes
    EXPECT_EQ(picture, Shown());
    EXPECT_EQ(AcceptStatus::kPictureComplete, FeedAll(zero));
    EXPECT_EQ(0u, assembler.lastPictureNumber());
    EXPECT_EQ(other, Shown());
    EXPECT_EQ(AcceptStatus::kPictureComplete, FeedAll(test::Packetize(picture, 1, true)));
    EXPECT_EQ(1u, assembler.lastPictureNumber());

    // Picture 0 lost: lower numbers are taken once nothing was accepted for 10 s.
    for (std::uint32_t number = 100; number <= 102; ++number, now += 1000) {
        EXPECT_EQ(AcceptStatus::kPictureComplete, FeedAll(test::Packetize(picture, number, true)));
    }
    std::uint32_t number = 3;
    const std::uint64_t silentSince = now - 1000;
    for (; now - silentSince < kTakeOverMs; now += 1000) {
        EXPECT_EQ(AcceptStatus::kOlderPicture, Feed(test::Packetize(other, number++, true)[0]));
    }
    EXPECT_EQ(AcceptStatus::kPictureComplete, FeedAll(test::Packetize(other, number, true)));
    EXPECT_EQ(number, assembler.lastPictureNumber());

    // Two senders interleaved: the higher numbers keep being taken.
    for (std::uint32_t i = 0; i < 20; ++i, now += 1000) {
        EXPECT_EQ(AcceptStatus::kPictureComplete, FeedAll(test::Packetize(picture, 500 + i, true)));
        EXPECT_EQ(AcceptStatus::kOlderPicture, Feed(test::Packetize(other, 20 + i, true)[0]));
    }
    EXPECT_EQ(picture, Shown());
    EXPECT_EQ(519u, assembler.lastPictureNumber());
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
    EXPECT_EQ(AcceptStatus::kPictureComplete,
              stale.AcceptFragment(header, packets[0].data(), packets[0].size()));
    EXPECT_EQ(0, notified);
    ImageReader outer(store);
    ImageReader inner(store);  // imageLock is re-entrant on one thread
    EXPECT_EQ(nullptr, inner.bytes());
}

}  // namespace
}  // namespace telvo
