#include "viewer/net/PictureAssembler.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>

#include "protocol/ScreenBitmap.h"
#include "tests/TestPicture.h"

namespace telvo {
namespace {

using Picture = std::vector<std::uint8_t>;
constexpr auto kComplete = AcceptStatus::kPictureComplete, kMore = AcceptStatus::kMoreToCome,
               kOlder = AcceptStatus::kOlderPicture, kWrong = AcceptStatus::kWrongLength;

// A picture that compresses to four fragments: noise, then a plain half.
Picture FourFragmentPicture(std::uint32_t seed) {
    auto picture = test::MakeNoisePicture(200, 400, seed);
    std::fill(picture.begin() + kBitmapHeadersSize + 120000, picture.end(), 0);
    return picture;
}

// One step of a scenario: `picture` sent compressed as `number`, its fragments whose bit is set in
// `lostMask` lost, then `waitMs` without a datagram. Its last fragment gets `status`; after it,
// the last picture published is `published` and `shown` is on show.
struct Step {
    const Picture& picture;
    std::uint32_t number;
    unsigned lostMask;
    std::uint64_t waitMs;
    AcceptStatus status;
    std::uint32_t published;
    const Picture& shown;
};

class Assembly : public ::testing::Test {
  protected:
    Assembly() {
        assembler.SetLossNotifier([this](const LostPicture& p) { lost.push_back(p); });
    }
    AcceptStatus Feed(const Picture& datagram) {
        return assembler.AcceptFragment(test::HeaderOf(datagram), datagram.data(), datagram.size());
    }
    AcceptStatus Send(const Picture& picture, std::uint32_t number, unsigned lostMask = 0,
                      bool compress = true) {
        AcceptStatus status = kMore;
        for (const auto& datagram : test::Packetize(picture, number, compress)) {
            const std::uint32_t index = test::HeaderOf(datagram).fragmentIndex;
            if (index >= 32 || !(lostMask >> index & 1)) status = Feed(datagram);
        }
        return status;
    }
    void Run(std::initializer_list<Step> steps) {
        for (const Step& step : steps) {
            EXPECT_EQ(step.status, Send(step.picture, step.number, step.lostMask)) << step.number;
            now += step.waitMs;
            assembler.CheckStalled();
            EXPECT_EQ(step.published, last.number) << step.number;
            EXPECT_TRUE(step.shown == Shown()) << step.number;
        }
    }
    Picture Shown() {
        ImageReader image(store);
        return image.bytes() ? Picture(image.bytes(), image.bytes() + image.size()) : Picture();
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
};

TEST_F(Assembly, PicturesComeBackByteForByteInAnyOrder) {
    std::mt19937 random(5);
    std::uint32_t number = 0;
    for (const bool compress : {false, true}) {
        for (int order = 0; order < 3; ++order, ++number) {
            const auto picture = test::MakeDesktopPicture(640, 480, number);
            auto packets = test::Packetize(picture, number, compress);
            if (order == 1) std::reverse(packets.begin(), packets.end());
            if (order == 2) std::shuffle(packets.begin(), packets.end(), random);
            for (std::size_t i = 0; i + 1 < packets.size(); ++i) EXPECT_EQ(kMore, Feed(packets[i]));
            EXPECT_EQ(kComplete, Feed(packets.back()));
            EXPECT_TRUE(picture == Shown());
            EXPECT_EQ(number, assembler.lastPictureNumber());
        }
    }
    EXPECT_EQ(6, notified);
}

// Fragments count by index: a repeat never stands in for a lost fragment, in either kind; a
// picture is published once.
TEST_F(Assembly, ARepeatedFragmentNeverStandsInForALostOne) {
    const auto plain = test::Packetize(test::MakeDesktopPicture(100, 133, 3), 1, false);
    const auto noise = FourFragmentPicture(4);
    const auto three = test::Packetize(noise, 3, true);
    for (const auto* datagram : {&plain[0], &plain[0]}) EXPECT_EQ(kMore, Feed(*datagram));
    EXPECT_EQ(kComplete, Feed(plain[1]));
    EXPECT_EQ(kOlder, Feed(plain[1]));
    for (const std::size_t i : {0, 1, 1, 3}) EXPECT_EQ(kMore, Feed(three[i]));
    now += kStallMs;
    assembler.CheckStalled();
    EXPECT_EQ(kComplete, Send(noise, 4));
    EXPECT_EQ(2, notified);
    ASSERT_EQ(1u, lost.size());
    EXPECT_EQ(
        (std::vector<std::uint32_t>{3, 3, 4}),
        (std::vector<std::uint32_t>{lost[0].number, lost[0].fragmentsSeen, lost[0].fragments}));
}

// Nothing is written outside its picture nor decoded past its block, no picture whose bitmap
// headers lie is published, and reception goes on.
TEST_F(Assembly, HostileFragmentsAreDropped) {
    static const std::uint8_t zeros[kMaxDatagramSize + 8] = {};
    constexpr std::uint16_t kZlib = kFlagCompressed;
    constexpr std::uint32_t kFull = kMaxDataLength;
    const struct {
        std::uint16_t flags;
        std::uint32_t number, size, count, index, dataLength;
        std::size_t length;
        AcceptStatus status;
    } cases[] = {
        {0, 1, 100000, 4, 0, 100, kHeaderSize + 99, kWrong},            // shorter than it says
        {0, 1, 100000, 4, 0, 100, kHeaderSize + 101, kWrong},           // longer
        {0, 1, 100000, 4, 3, kFull, kMaxDatagramSize, kWrong},          // past the picture's end
        {0, 1, 100000, 4, 0xFFFFFFFF, 1, kHeaderSize + 1, kWrong},      // index far out
        {0, 1, 100000, 4, 0, kFull + 8, kMaxDatagramSize + 8, kWrong},  // more than a fragment
        {0, 1, kMaxPictureSize + 1, 4097, 0, kFull, kMaxDatagramSize, kWrong},  // no screen's size
        {0, 1, 100000, 4, 0, 0xFFFFFFF0, 16, kWrong},  // 32 + dataLength wraps to the length
        {kZlib, 2, 40000, 2, 0, kFull, kMaxDatagramSize, kMore},
        {kZlib, 2, 40000, 2, 0, kFull, kMaxDatagramSize, kMore},  // a repeat
        {kZlib, 2, 40000, 2, 1, 40000 - kFull, 40000 - kFull + kHeaderSize,
         AcceptStatus::kDecodeFailed},
        {kZlib, 3, 40000, 2, 0, 100, kHeaderSize + 100, kWrong},   // only the last may be short
        {kZlib, 3, 40000, 2, 2, 100, kHeaderSize + 100, kWrong},   // index past the count
        {kZlib, 3, 40000, 3, 0, kFull, kMaxDatagramSize, kWrong},  // more than 40000 bytes need
    };
    for (const auto& c : cases) {
        const ScreenPacketHeader header{1,       1, c.flags, c.number, c.size, c.count,
                                        c.index, 1, 1,       0,        0,      c.dataLength};
        EXPECT_EQ(c.status, assembler.AcceptFragment(header, zeros, c.length)) << &c - cases;
    }
    auto picture = test::MakeDesktopPicture(40, 30, 6);
    picture[19] = 0x40;  // width 16424: far more pixels than the picture holds
    EXPECT_EQ(kWrong, Send(picture, 4, 0, false));
    EXPECT_EQ(kWrong, Send(Picture(20, 0), 5));  // no room even for the headers
    EXPECT_EQ(0, notified);
    picture[19] = 0;
    EXPECT_EQ(kComplete, Send(picture, 6, 0, false));
    EXPECT_TRUE(picture == Shown());
}

TEST_F(Assembly, AShortStreamLeavesZerosNotOldBytes) {
    // Noise in the blocks that the next pictures recycle.
    const auto size = static_cast<std::uint32_t>(NeededLength(100, 100)) + 5000;
    auto noise = test::MakeNoisePicture(100, 150, 7);
    noise.resize(size);
    WriteBitmapHeaders(noise.data(), 100, 100);
    EXPECT_EQ(kComplete, Send(noise, 1, 0, false));
    // A stream that inflates to fewer bytes than its pictureSize says.
    auto expected = test::MakeDesktopPicture(100, 100, 8);
    Picture datagram(kHeaderSize + compressBound(expected.size()));
    uLongf length = datagram.size() - kHeaderSize;
    ASSERT_EQ(Z_OK, compress(&datagram[kHeaderSize], &length, expected.data(), expected.size()));
    expected.resize(size, 0);
    const auto dataLength = static_cast<std::uint32_t>(length);
    for (std::uint32_t number = 2; number <= 3; ++number) {  // the second time in recycled blocks
        const ScreenPacketHeader header{1, 1, kFlagCompressed, number, size, 1, 0, 1, 1,
                                        0, 0, dataLength};
        EXPECT_EQ(kComplete, assembler.AcceptFragment(header, datagram.data(), 32 + length));
        EXPECT_TRUE(expected == Shown());
    }
}

// A still screen: the same stream each time, different fragments lost each time. A compressed
// picture that cannot complete (its last fragment has passed, it stalled, or a newer one begins)
// is filled with the copies of earlier ones once every index was seen.
TEST_F(Assembly, AStillPictureCompletesOnceEveryIndexWasSeen) {
    const auto still = FourFragmentPicture(10);
    const Picture none;
    Run({{still, 1, 0b0101, 0, kMore, 0, none},
         {still, 2, 0b0110, kStallMs, kMore, 0, none},  // index 2 never seen
         {still, 3, 0b0011, 0, kComplete, 3, still}});
    EXPECT_EQ(2u, last.reused);
    Run({{still, 4, 0b1000, kStallMs - 1, kMore, 3, still},
         {still, 5, 0b1001, 0, kMore, 4, still},  // 4 filled when 5 began
         {still, 6, 0b1000, kStallMs, kMore, 6, still},
         {still, 7, 0b1110, 0, kMore, 6, still}});
    EXPECT_EQ(1u, last.reused);
    EXPECT_EQ(2u, lost.size());  // 1 and 2
    // Uncompressed pictures carry no check and are never filled.
    const auto plain = test::MakeDesktopPicture(100, 133, 11);
    EXPECT_EQ(kComplete, Send(plain, 8, 0, false));
    EXPECT_EQ(kMore, Send(plain, 9, 0b01, false));
    Run({{still, 10, 0b1000, kStallMs, kMore, 8, plain}});
}

// A changed screen: a fill with the earlier picture's fragments fails zlib's check; a fill never
// takes a copy older than the picture on show; a change of size or fragment count forgets.
TEST_F(Assembly, StaleFragmentsNeverMakeAPictureThatWasNotSent) {
    const auto first = FourFragmentPicture(12);
    auto changed = first, tail = first;
    changed[kBitmapHeadersSize] ^= 1;  // its first fragment and its check differ
    tail.back() ^= 1;                  // only its last fragment differs
    const auto small = test::MakeDesktopPicture(64, 48, 13);
    const auto oneFragment = test::MakeDesktopPicture(200, 400, 14);
    Run({{first, 1, 0, 0, kComplete, 1, first},
         {changed, 2, 0b0001, kStallMs, kMore, 1, first},
         {first, 3, 0, 0, kComplete, 3, first},
         {tail, 4, 0b1000, kStallMs, kMore, 4, first},  // the fill is the picture on show
         {tail, 5, 0, 0, kComplete, 5, tail},
         {first, 6, 0b1000, kStallMs, kMore, 6, tail},  // it never brings back an older one
         {small, 7, 0, 0, kComplete, 7, small},
         {first, 8, 0b0001, kStallMs, kMore, 7, small},
         {first, 9, 0, 0, kComplete, 9, first},
         {oneFragment, 10, 0, 0, kComplete, 10, oneFragment},
         {first, 11, 0b0001, kStallMs, kMore, 10, oneFragment}});
}

// A restarted sender begins at 0 again; one whose picture 0 was lost is followed once the higher
// numbers fell silent; a sender with higher numbers that keeps sending prevails.
TEST_F(Assembly, ARestartedSenderIsFollowed) {
    const auto ours = FourFragmentPicture(15), other = FourFragmentPicture(16);
    Run({{ours, 100, 0, 1000, kComplete, 100, ours},
         {ours, 101, 0, 1000, kComplete, 101, ours},
         {other, 0, 0b1110, 0, kMore, 101, ours}});
    EXPECT_EQ(101u, assembler.lastPictureNumber());  // the title stays until it completes
    Run({{other, 0, 0, 0, kComplete, 0, other},
         {ours, 1, 0, 0, kComplete, 1, ours},
         {ours, 100, 0, 1000, kComplete, 100, ours}});
    // Picture 0 lost: lower numbers are taken once nothing was accepted for kTakeOverMs.
    std::uint32_t number = 3;
    for (const std::uint64_t silentSince = now - 1000; now - silentSince < kTakeOverMs;
         now += 1000) {
        EXPECT_EQ(kOlder, Send(other, number++, 0b1110));
    }
    Run({{other, number, 0, 0, kComplete, number, other}});
    EXPECT_EQ(number, assembler.lastPictureNumber());
    // Two senders interleaved: the higher numbers keep being taken.
    for (std::uint32_t i = 0; i < 20; ++i, now += 1000) {
        EXPECT_EQ(kComplete, Send(ours, 500 + i));
        EXPECT_EQ(kOlder, Send(other, 20 + i, 0b1110));
    }
    EXPECT_EQ(519u, assembler.lastPictureNumber());
    EXPECT_TRUE(ours == Shown());
}

TEST_F(Assembly, PicturesOfALeftChannelAreRefused) {
    store.Clear();
    EXPECT_EQ(kComplete, Send(test::MakeDesktopPicture(64, 48, 9), 1, 0, false));
    EXPECT_EQ(0, notified);
    ImageReader outer(store);  // imageLock is re-entrant on one thread
    EXPECT_TRUE(Shown().empty());
}

}  // namespace
}  // namespace telvo
