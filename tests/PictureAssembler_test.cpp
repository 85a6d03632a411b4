#include "viewer/net/PictureAssembler.h"

#include <gtest/gtest.h>

#include <atomic>

#include "protocol/ScreenBitmap.h"
#include "tests/TestPicture.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/allocator_interface.h>
#define TELVO_ALLOCATION_HOOKS 1
#endif
#endif

namespace telvo {
namespace {

#ifdef TELVO_ALLOCATION_HOOKS
std::atomic<std::size_t> gLargestAllocation{0};
void OnAllocation(const volatile void*, std::size_t size) {
    if (size > gLargestAllocation) gLargestAllocation = size;
}
void OnFree(const volatile void*) {}
#endif

using Picture = std::vector<std::uint8_t>;
constexpr auto kComplete = AcceptStatus::kPictureComplete, kMore = AcceptStatus::kMoreToCome,
               kOlder = AcceptStatus::kOlderPicture, kWrong = AcceptStatus::kWrongLength;
const Picture kNone;
const DatagramSource kSender{0x0100007F, 40000}, kOther{0x0200007F, 40000},
    kRestarted{0x0100007F, 40001}, kAgain{0x0100007F, 40002}, kFourth{0x0100007F, 40003};

using test::FourFragmentPicture;

// `picture` sent as `number`: the fragments `arrive` in that order, the last gets `status`,
// `waitMs` pass; then `shown` is on show, published as `published`, titled `title`.
struct Step {
    const Picture& picture;
    std::uint32_t number;
    const char* arrive;
    std::uint64_t waitMs;
    AcceptStatus status;
    std::uint32_t published, title;
    const Picture& shown;
    bool compress = true;
    DatagramSource from = kSender;
};

class Assembly : public ::testing::Test {
  protected:
    void Run(std::initializer_list<Step> steps) {
        for (const Step& step : steps) {
            const auto datagrams = test::Packetize(step.picture, step.number, step.compress);
            AcceptStatus status = kMore;
            for (const char* index = step.arrive; *index != 0; ++index) {
                const auto& datagram = datagrams.at(static_cast<std::size_t>(*index - '0'));
                status = Offer(datagram, test::HeaderOf(datagram), step.from);
            }
            now += step.waitMs;
            if (step.waitMs > 0) assembler.CheckStalled();
            EXPECT_EQ(step.status, status) << step.number;
            EXPECT_EQ(step.published, last.number) << step.number;
            EXPECT_EQ(step.title, assembler.lastPictureNumber()) << step.number;
            EXPECT_TRUE(step.shown == test::Shown(store)) << step.number;
        }
    }

    AcceptStatus Offer(const Picture& datagram, const ScreenPacketHeader& header,
                       const DatagramSource& from = kSender) {
        return assembler.AcceptFragment(header, datagram.data(), datagram.size(), from);
    }

    PictureStore store;
    CompletedPicture last;
    std::uint64_t now = 1000;
    PictureAssembler assembler{store, store.generation(),
                               [this](const CompletedPicture& picture) { last = picture; },
                               [this] { return now; }};
};

// Fragments count by index, in any order: a repeat never stands in for a lost one; a picture is
// published once; a newer one gives up an incomplete one; late copies are refused. The title shows
// the number of the picture on show, never that of a fragment.
TEST_F(Assembly, PicturesComeBackByteForByteInAnyOrder) {
    const auto plain = test::MakeDesktopPicture(200, 150, 1);   // three fragments uncompressed
    const auto larger = test::MakeDesktopPicture(200, 160, 2);  // as many, more bytes
    const auto four = FourFragmentPicture(3);
    Run({{plain, 1, "00", 0, kMore, 0, 0, kNone, false},
         {larger, 2, "201", 0, kComplete, 2, 2, larger, false},
         {four, 3, "0113", kStallMs, kMore, 2, 2, larger},
         {four, 4, "3210", 0, kComplete, 4, 4, four},
         {plain, 5, "102", 0, kComplete, 5, 5, plain, false},
         {plain, 6, "10", 0, kMore, 5, 5, plain, false},
         {larger, 7, "012", 0, kComplete, 7, 7, larger, false},
         {larger, 7, "0", 0, kOlder, 7, 7, larger, false},
         {plain, 6, "2", 0, kMore, 7, 7, larger, false}});
    // A steady stream allocates nothing: a picture lands in the block of the one before the last.
    const std::uint8_t* seventh = ImageReader(store).bytes();
    Run({{larger, 8, "012", 0, kComplete, 8, 8, larger, false},
         {larger, 9, "012", 0, kComplete, 9, 9, larger, false}});
    EXPECT_EQ(seventh, ImageReader(store).bytes());
    // A picture interrupted by a newer one still counts the fragments it had.
    Run({{plain, 10, "0", 0, kMore, 9, 9, larger, false},
         {plain, 11, "1", 0, kMore, 9, 9, larger, false},
         {plain, 10, "12", 0, kComplete, 10, 10, plain, false}});
}

// Only exact pictures are shown: a stream that inflates short or long, uncompressed fragments that
// do not make the picture's size, bitmap headers that describe more than the picture holds. None
// of them, nor a picture of a channel that was left, moves what later pictures are judged by.
TEST_F(Assembly, OnlyExactPicturesAreShown) {
    const auto good = test::MakeDesktopPicture(40, 30, 6);
    auto lying = good;
    lying[19] = 0x40;  // width 16424: far more pixels than the picture holds
    auto padded = good;
    padded.resize(good.size() + 5000, 0x55);  // bytes after the pixel rows are allowed
    const auto black = test::MakePicture(2000, 1500, [](int, int) { return 0; });
    const Picture tiny(20, 0);  // no room even for the headers
    Run({{lying, 4, "0", 0, kWrong, 0, 0, kNone, false},
         {tiny, 5, "0", 0, kWrong, 0, 0, kNone},
         {good, 6, "0", 0, kComplete, 6, 6, good, false},
         {padded, 7, "0", 0, kComplete, 7, 7, padded},
         {black, 8, "0", 0, kComplete, 8, 8, black}});  // deflate's highest ratio
    // Pictures numbered above the sender's that claim more bytes than their stream or their
    // fragments hold; a stream with a byte after its end; a damaged stream.
    for (const bool compress : {true, false}) {
        const auto datagram = test::Packetize(good, 1000, compress)[0];
        auto header = test::HeaderOf(datagram);
        ++header.pictureSize;
        EXPECT_EQ(compress ? AcceptStatus::kDecodeFailed : kWrong, Offer(datagram, header));
    }
    auto longer = test::Packetize(good, 1001, true)[0];
    longer.push_back(0);
    auto header = test::HeaderOf(longer);
    ++header.dataLength;
    EXPECT_EQ(AcceptStatus::kDecodeFailed, Offer(longer, header));
    longer[40] ^= 0xFF;
    header.pictureNumber = 1002;
    EXPECT_EQ(AcceptStatus::kDecodeFailed, Offer(longer, header));
    Run({{good, 9, "0", 0, kComplete, 9, 9, good}});
    store.Clear();
    Run({{good, 10, "0", 0, kComplete, 9, 10, kNone, false}});
}

// What a header claims costs no memory: datagrams of a few bytes claiming 128 MiB pictures take
// no block larger than their data can fill.
TEST_F(Assembly, AClaimCostsNoMemory) {
#ifndef TELVO_ALLOCATION_HOOKS
    GTEST_SKIP() << "needs AddressSanitizer's allocation hooks";
#else
    static const int installed = __sanitizer_install_malloc_and_free_hooks(OnAllocation, OnFree);
    ASSERT_NE(0, installed);
    const auto datagram = test::OneDatagram(test::MakeDesktopPicture(1, 1, 1), 0, kMaxPictureSize);
    auto header = test::HeaderOf(datagram);
    const auto good = test::MakeDesktopPicture(40, 30, 2);
    Run({{good, 1, "0", 0, kComplete, 1, 1, good}});
    gLargestAllocation = 0;
    for (const DatagramSource& from : {kSender, kRestarted}) {  // followed, or started again
        for (std::uint32_t number = 100; number < 110; ++number) {
            header.pictureNumber = number;
            EXPECT_EQ(AcceptStatus::kDecodeFailed, Offer(datagram, header, from));
        }
    }
    EXPECT_LT(gLargestAllocation.load(), std::size_t{1} << 20);
#endif
}

// A still screen, different fragments lost each time: a compressed picture that cannot complete (it
// stalled, or a newer one began) is filled from earlier copies once every index was seen.
// Uncompressed pictures carry no check and are never filled.
TEST_F(Assembly, AStillPictureCompletesOnceEveryIndexWasSeen) {
    const auto still = FourFragmentPicture(10), plain = test::MakeDesktopPicture(100, 133, 11);
    Run({{still, 1, "13", 0, kMore, 0, 0, kNone},
         {still, 2, "03", kStallMs, kMore, 0, 0, kNone},  // index 2 never seen
         {still, 3, "23", 0, kComplete, 3, 3, still}});
    EXPECT_EQ(2u, last.reused);
    Run({{still, 4, "012", kStallMs - 1, kMore, 3, 3, still},
         {still, 5, "12", 0, kMore, 4, 4, still},            // 4 when 5 began
         {still, 6, "012", kStallMs, kMore, 6, 6, still}});  // 5 when 6 began, 6 when it stalled
    EXPECT_EQ(1u, last.reused);
    Run({{plain, 7, "01", 0, kComplete, 7, 7, plain, false},
         {plain, 8, "1", kStallMs, kMore, 7, 7, plain, false}});
    // Late copies of the picture on show and other senders' datagrams keep the stall check going.
    Run({{still, 9, "0123", 0, kComplete, 9, 9, still}, {still, 10, "01", 0, kMore, 9, 9, still}});
    now += kStallMs;
    Run({{still, 9, "0", 0, kOlder, 10, 10, still}, {still, 11, "01", 0, kMore, 10, 10, still}});
    now += kStallMs;
    Run({{plain, 1, "0", 0, AcceptStatus::kOtherSender, 11, 11, still, false, kOther}});
}

// A new sender whose picture is completed from copies as its next one begins is followed from that
// next fragment on.
TEST_F(Assembly, AFillThatShowsANewSenderFollowsItAtOnce) {
    const auto still = FourFragmentPicture(20), plain = test::MakeDesktopPicture(200, 150, 21);
    Run({{still, 1, "13", 0, kMore, 0, 0, kNone},
         {still, 2, "02", 0, kMore, 0, 0, kNone},
         {plain, 3, "0", 0, kMore, 2, 2, still, false},
         {plain, 3, "12", kLiveMinMs, kComplete, 3, 3, plain, false}});
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
    Run({{first, 1, "0123", 0, kComplete, 1, 1, first},
         {changed, 2, "123", kStallMs, kMore, 1, 1, first},
         {first, 3, "0123", 0, kComplete, 3, 3, first},
         {tail, 4, "012", kStallMs, kMore, 4, 4, first},  // the fill is the picture on show
         {tail, 5, "0123", 0, kComplete, 5, 5, tail},
         {first, 6, "012", kStallMs, kMore, 6, 6, tail},  // never one older than it
         {small, 7, "0", 0, kComplete, 7, 7, small},
         {first, 8, "123", kStallMs, kMore, 7, 7, small},
         {first, 9, "0123", 0, kComplete, 9, 9, first},
         {oneFragment, 10, "0", 0, kComplete, 10, 10, oneFragment},
         {first, 11, "123", kStallMs, kMore, 10, 10, oneFragment},
         {tail, 12, "0123", 0, kComplete, 12, 12, tail},
         {first, 10, "3", 0, kMore, 12, 12, tail},  // a late copy, older than the one on show
         {tail, 13, "012", kStallMs, kMore, 12, 12, tail}});
}

// One sender per channel: another address is ignored while the followed sender is live (it sent
// within max(3 s, 2 x the median of its gaps)), and followed after; the same address from another
// port is the sender started again; numbers are compared serially.
TEST_F(Assembly, OneSenderIsFollowed) {
    const auto ours = FourFragmentPicture(15), other = FourFragmentPicture(16);
    Run({{ours, 100, "0123", 1000, kComplete, 100, 100, ours},
         {other, 0xFFFFFFFF, "0123", 0, AcceptStatus::kOtherSender, 100, 100, ours, true, kOther},
         {ours, 101, "0123", kLiveMinMs - 1, kComplete, 101, 101, ours},
         {other, 7, "0123", 0, AcceptStatus::kOtherSender, 101, 101, ours, true, kOther},
         {other, 8, "0123", 1, AcceptStatus::kOtherSender, 101, 101, ours, true, kOther},
         {other, 9, "0", 0, kMore, 101, 101, ours, true, kOther},  // silent for 3 s now
         {other, 9, "123", 0, kComplete, 9, 9, other, true, kOther},
         {ours, 102, "0123", 0, AcceptStatus::kOtherSender, 9, 9, other}});
    // The other sender's pictures come 2.5 s apart, once after 20 minutes: it is live for 5 s.
    for (std::uint32_t number = 10; number < 16; ++number) {
        const std::uint64_t gap = number == 14 ? 20 * 60 * 1000 : number == 15 ? 3500 : 2500;
        Run({{other, number, "0123", gap, kComplete, number, number, other, true, kOther}});
    }
    Run({{ours, 103, "0123", 1500, AcceptStatus::kOtherSender, 15, 15, other},
         {ours, 104, "0123", 0, kComplete, 104, 104, ours}});
    // Started again: the same address from another port, its numbers lower; the old ones after it
    // are from another port again.
    Run({{other, 1, "012", 0, kMore, 104, 104, ours, true, kRestarted},
         {other, 1, "3", 0, kComplete, 1, 1, other, true, kRestarted},
         {ours, 105, "0123", 0, kComplete, 105, 105, ours},
         {ours, 2, "0123", 0, kComplete, 2, 2, ours, true, kRestarted},
         {ours, 105, "0123", kStallMs, kOlder, 2, 2, ours},  // late, from a port followed before
         {other, 20, "0", kLiveMinMs, AcceptStatus::kOtherSender, 2, 2, ours, true, kOther},
         {other, 21, "0", 0, kMore, 2, 2, ours, true, kOther},
         {ours, 3, "0123", 0, kComplete, 3, 3, ours, true, kFourth}});  // started again goes first
    // The count wraps cleanly; a number 2^31 ahead is not newer.
    Run({{other, 0xFFFFFFFE, "0123", 0, AcceptStatus::kOtherSender, 3, 3, ours, true, kOther},
         {ours, 0xFFFFFFFE, "0123", 0, kComplete, 0xFFFFFFFE, 0xFFFFFFFE, ours, true, kAgain},
         {other, 0xFFFFFFFF, "0123", 0, kComplete, 0xFFFFFFFF, 0xFFFFFFFF, other, true, kAgain},
         {ours, 0, "0123", 0, kComplete, 0, 0, ours, true, kAgain},
         {other, 0xFFFFFFFF, "0123", 0, kOlder, 0, 0, ours, true, kAgain},
         {other, 0x80000000, "0123", 0, kOlder, 0, 0, ours, true, kAgain},
         {other, 0x7FFFFFFF, "0123", 0, kComplete, 0x7FFFFFFF, 0x7FFFFFFF, other, true, kAgain}});
}

// A forged high number that slipped in (or a count that went back): three complete older pictures
// in a row are followed. Incomplete or failing pictures judge nothing.
TEST_F(Assembly, ThreeOlderPicturesInARowAreFollowed) {
    const auto ours = FourFragmentPicture(17), forged = FourFragmentPicture(18);
    Run({{ours, 10, "0123", 0, kComplete, 10, 10, ours},
         {forged, 0x40000000, "012", 0, kMore, 10, 10, ours},
         {ours, 11, "0123", 0, kComplete, 11, 11, ours},
         {forged, 0x40000000, "0123", 0, kComplete, 0x40000000, 0x40000000, forged},
         {ours, 12, "0123", 0, kOlder, 0x40000000, 0x40000000, forged},
         {ours, 13, "0123", 0, kOlder, 0x40000000, 0x40000000, forged},
         {ours, 12, "0123", 0, kOlder, 0x40000000, 0x40000000, forged},  // not in a row
         {ours, 13, "0123", 0, kOlder, 0x40000000, 0x40000000, forged},
         {ours, 14, "0123", 0, kComplete, 14, 14, ours},
         {ours, 13, "0123", 0, kOlder, 14, 14, ours},
         {ours, 10, "0123", 0, kOlder, 14, 14, ours},  // shown lately: late copies, no run
         {ours, 11, "0123", 0, kOlder, 14, 14, ours},
         {ours, 13, "0123", 0, kOlder, 14, 14, ours},
         {ours, 16, "01", 0, kMore, 14, 14, ours},
         {ours, 12, "0", 0, kOlder, 14, 14, ours},  // never at the cost of a newer one arriving
         {ours, 16, "23", 0, kComplete, 16, 16, ours}});
}

// A view behind its sender skips pictures: one that completes while another datagram waits is held
// back, dropped when that datagram begins a newer picture of its sender, and otherwise shown before
// anything else is done, as it is when the receive loop finds nothing more.
TEST_F(Assembly, ABacklogShowsItsNewestPicture) {
    const auto plain = test::MakeDesktopPicture(200, 150, 1);
    const auto larger = test::MakeDesktopPicture(200, 160, 2);
    bool waiting = false;
    assembler.SetBacklogProbe([&] { return waiting; });
    Run({{plain, 1, "012", 0, kComplete, 1, 1, plain, false}});
    waiting = true;
    Run({{larger, 2, "012", 0, kMore, 1, 1, plain, false},
         {plain, 3, "012", 0, kMore, 1, 1, plain, false},
         {larger, 9, "0", 0, AcceptStatus::kOtherSender, 3, 3, plain, false, kOther},
         {larger, 4, "012", 1, kMore, 4, 4, larger, false}});
    waiting = false;
    Run({{plain, 5, "012", 0, kComplete, 5, 5, plain, false}});
}

}  // namespace
}  // namespace telvo
