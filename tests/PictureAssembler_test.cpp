#include "viewer/net/PictureAssembler.h"

#include <gtest/gtest.h>

#include "protocol/ScreenBitmap.h"
#include "tests/TestPicture.h"

namespace telvo {
namespace {

using Picture = std::vector<std::uint8_t>;
constexpr auto kComplete = AcceptStatus::kPictureComplete, kMore = AcceptStatus::kMoreToCome,
               kOlder = AcceptStatus::kOlderPicture, kWrong = AcceptStatus::kWrongLength;
const Picture kNone;

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
};

class Assembly : public ::testing::Test {
  protected:
    void Run(std::initializer_list<Step> steps) {
        for (const Step& step : steps) {
            const auto datagrams = test::Packetize(step.picture, step.number, step.compress);
            AcceptStatus status = kMore;
            for (const char* index = step.arrive; *index != 0; ++index) {
                const auto& datagram = datagrams.at(static_cast<std::size_t>(*index - '0'));
                status = assembler.AcceptFragment(test::HeaderOf(datagram), datagram.data(),
                                                  datagram.size());
            }
            now += step.waitMs;
            assembler.CheckStalled();
            EXPECT_EQ(step.status, status) << step.number;
            EXPECT_EQ(step.published, last.number) << step.number;
            EXPECT_EQ(step.title, assembler.lastPictureNumber()) << step.number;
            EXPECT_TRUE(step.shown == test::Shown(store)) << step.number;
        }
    }

    PictureStore store;
    CompletedPicture last;
    std::vector<std::uint32_t> lost;  // number, fragments seen, fragments of each
    std::uint64_t now = 1000;
    PictureAssembler assembler{store, store.generation(),
                               [this](const CompletedPicture& picture) { last = picture; },
                               [this] { return now; }};
    void SetUp() override {
        assembler.SetLossNotifier([this](const LostPicture& picture) {
            lost.insert(lost.end(), {picture.number, picture.fragmentsSeen, picture.fragments});
        });
    }
};

// Fragments count by index, in any order: a repeat never stands in for a lost one; a picture is
// published once; a newer one gives up an incomplete one; older ones are refused.
TEST_F(Assembly, PicturesComeBackByteForByteInAnyOrder) {
    const auto plain = test::MakeDesktopPicture(200, 150, 1);   // three fragments uncompressed
    const auto larger = test::MakeDesktopPicture(200, 160, 2);  // as many, more bytes
    const auto four = FourFragmentPicture(3);
    Run({{plain, 1, "00", 0, kMore, 0, 0, kNone, false},
         {larger, 2, "201", 0, kComplete, 2, 2, larger, false},
         {four, 3, "0113", kStallMs, kMore, 2, 3, larger},
         {four, 4, "3210", 0, kComplete, 4, 4, four},
         {plain, 5, "102", 0, kComplete, 5, 5, plain, false},
         {plain, 6, "10", 0, kMore, 5, 6, plain, false},
         {larger, 7, "012", 0, kComplete, 7, 7, larger, false},
         {plain, 6, "2", 0, kOlder, 7, 7, larger, false},
         {larger, 7, "0", 0, kOlder, 7, 7, larger, false},
         {plain, 5, "0", 0, kOlder, 7, 7, larger, false}});
    EXPECT_EQ((std::vector<std::uint32_t>{1, 1, 3, 3, 3, 4, 6, 2, 3}), lost);
}

// No picture whose bitmap headers lie is published (fragments whose lengths lie are the fuzzer's),
// nor one of a channel that was left; reception goes on.
TEST_F(Assembly, LyingPicturesAndALeftChannelAreNeverShown) {
    const auto good = test::MakeDesktopPicture(40, 30, 6);
    auto lying = good;
    lying[19] = 0x40;           // width 16424: far more pixels than the picture holds
    const Picture tiny(20, 0);  // no room even for the headers
    Run({{lying, 4, "0", 0, kWrong, 0, 0, kNone, false},
         {tiny, 5, "0", 0, kWrong, 0, 0, kNone},
         {good, 6, "0", 0, kComplete, 6, 6, good, false}});
    store.Clear();
    Run({{good, 7, "0", 0, kComplete, 6, 7, kNone, false}});
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
    Run({{still, 4, "012", kStallMs - 1, kMore, 3, 4, still},
         {still, 5, "12", 0, kMore, 4, 5, still},            // 4 when 5 began
         {still, 6, "012", kStallMs, kMore, 6, 6, still}});  // 5 when 6 began, 6 when it stalled
    EXPECT_EQ(1u, last.reused);
    Run({{plain, 7, "01", 0, kComplete, 7, 7, plain, false},
         {plain, 8, "1", kStallMs, kMore, 7, 8, plain, false}});
    EXPECT_EQ((std::vector<std::uint32_t>{1, 2, 4, 2, 2, 4}), lost);
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
         {changed, 2, "123", kStallMs, kMore, 1, 2, first},
         {first, 3, "0123", 0, kComplete, 3, 3, first},
         {tail, 4, "012", kStallMs, kMore, 4, 4, first},  // the fill is the picture on show
         {tail, 5, "0123", 0, kComplete, 5, 5, tail},
         {first, 6, "012", kStallMs, kMore, 6, 6, tail},  // never one older than it
         {small, 7, "0", 0, kComplete, 7, 7, small},
         {first, 8, "123", kStallMs, kMore, 7, 8, small},
         {first, 9, "0123", 0, kComplete, 9, 9, first},
         {oneFragment, 10, "0", 0, kComplete, 10, 10, oneFragment},
         {first, 11, "123", kStallMs, kMore, 10, 11, oneFragment}});
}

// A restarted sender begins at 0 again; one whose picture 0 was lost is followed once the higher
// numbers fell silent; a sender with higher numbers that keeps sending prevails.
TEST_F(Assembly, ARestartedSenderIsFollowed) {
    const auto ours = FourFragmentPicture(15), other = FourFragmentPicture(16);
    Run({{ours, 100, "0123", 1000, kComplete, 100, 100, ours},
         {other, 0, "0", 0, kMore, 100, 100, ours},  // the title stays until it completes
         {other, 0, "123", 0, kComplete, 0, 0, other},
         {ours, 1, "0123", 0, kComplete, 1, 1, ours},
         {ours, 100, "0123", 1000, kComplete, 100, 100, ours}});
    for (std::uint32_t number = 2; number <= 10; ++number) {  // picture 0 lost
        Run({{other, number, "0", 1000, kOlder, 100, 100, ours}});
    }
    Run({{other, 11, "0123", 0, kComplete, 11, 11, other}});  // silent for kTakeOverMs
    for (std::uint32_t i = 0; i < 20; ++i) {  // two senders: the higher numbers are taken
        Run({{ours, 500 + i, "0123", 0, kComplete, 500 + i, 500 + i, ours},
             {other, 20 + i, "0", 1000, kOlder, 500 + i, 500 + i, ours}});
    }
}

}  // namespace
}  // namespace telvo
