#include "sender/BroadcastLoop.h"

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "tests/NetworkTest.h"
#include "tests/TestPicture.h"

namespace telvo {
namespace {

using test::WaitUntil;
using State = BroadcastState;

std::atomic<int> threadStarts{0};
std::atomic<bool> failThreadStart{false};
int CountingStarter(ThreadBody body, void* argument) {
    if (failThreadStart) return NoMemoryError();
    ++threadStarts;
    return StartDetachedThread(body, argument);
}

// The broadcast's screen, clock and tray; the clock moves only when the loop sleeps. While the
// loop is held in a capture, the test may change the screen, the failures and the settings.
class Broadcast : public ::testing::Test, public BroadcastHost {
  protected:
    void SetUp() override { threadStarts = 0; }
    void TearDown() override {
        held = false;
        StopAndWait();
    }
    void StopAndWait() {
        broadcaster.Stop();
        ASSERT_TRUE(WaitUntil([&] { return !broadcaster.threadRunning(); }));
    }
    // Runs `change` while the loop waits in its next capture.
    template <typename Change>
    void AtNextCapture(Change change) {
        hold = true;
        ASSERT_TRUE(WaitUntil([&] { return held.load(); }));
        change();
        held = false;
    }
    const std::uint8_t* CaptureScreen(std::uint32_t* length) override {
        for (held = hold.exchange(false); held;) std::this_thread::yield();  // the test acts
        attempts.push_back(clock);
        if (failCapture) return nullptr;
        *length = static_cast<std::uint32_t>(screen.size());
        EXPECT_TRUE(running);
        ++captures;
        return screen.data();
    }
    void CursorPosition(std::int32_t* x, std::int32_t* y) override { *x = *y = 0; }
    void ShowState(State state, bool announce) override {
        const std::lock_guard<std::mutex> lock(statesLock);
        states.emplace_back(state, announce);
    }
    std::uint32_t Milliseconds() override { return clock; }
    void Sleep(unsigned ms) override {
        sleeps.push_back(ms);
        if (holdSleep.exchange(false)) {  // never clears `held`: the sending stage sleeps too
            for (held = true; held;) std::this_thread::yield();
        }
        if (mendAddress.exchange(false)) std::strcpy(settings.toAddress, kDefaultGroup);
        clock += ms;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    void BroadcastRunning(bool on) override {
        EXPECT_NE(running.load(), on);
        running = on;
    }
    DatagramSink& Sink() override { return sink; }
    bool Shown(State state) {
        const std::lock_guard<std::mutex> lock(statesLock);
        return std::find(states.begin(), states.end(), std::pair(state, true)) != states.end();
    }

    std::vector<std::uint8_t> screen = test::MakeDesktopPicture(64, 48, 1);
    std::atomic<std::uint32_t> clock{0u - 5000u};  // wraps at the second picture
    std::atomic<bool> failCapture{false}, hold{false}, holdSleep{false}, held{false};
    std::atomic<bool> mendAddress{false}, running{false};
    std::atomic<int> captures{0};
    std::vector<std::uint32_t> attempts;  // clock at each capture, failed or not
    std::vector<unsigned> sleeps;
    std::mutex statesLock;
    std::vector<std::pair<State, bool>> states;
    test::RecordingSink sink;
    SenderSettings settings;
    Broadcaster broadcaster{settings, *this, CountingStarter};
};

TEST_F(Broadcast, GoesOnThroughFailedPicturesAndSendsEachAtItsOwnLength) {
    // At once, then every interval across the clock's wrap.
    const auto desktop = screen;
    ASSERT_EQ(0, broadcaster.Start());
    ASSERT_TRUE(WaitUntil([&] { return captures >= 2; }));
    // A smaller screen (a noisy one, which does not compress) in the same buffer.
    const auto noise = test::MakeNoisePicture(40, 10, 7);
    AtNextCapture([&] { screen = noise; });
    ASSERT_TRUE(WaitUntil([&] { return captures >= 3; }));
    AtNextCapture([&] { failCapture = true; });
    AtNextCapture([&] {  // the capture fails again, then a send
        failCapture = false;
        sink.failAt = sink.count();
    });
    AtNextCapture([&] { sink.failAt = SIZE_MAX; });
    ASSERT_TRUE(WaitUntil([&] { return sink.count() >= 4; }));
    EXPECT_TRUE(broadcaster.broadcasting());
    StopAndWait();

    // Pictures 5 s apart, checked again 10 ms late after the pause of a picture's one datagram;
    // after a failure, tries 1 s apart; numbers used by sends only. (A loaded machine may let the
    // loop take one more before the stop.)
    const std::uint32_t t0 = 0u - 5000u;
    ASSERT_LE(6u, attempts.size());
    EXPECT_EQ(
        (std::vector<std::uint32_t>{t0, t0 + 5010, t0 + 10020, t0 + 15030, t0 + 16030, t0 + 17030}),
        std::vector(attempts.begin(), attempts.begin() + 6));
    ASSERT_LE(4u, sink.datagrams.size());
    EXPECT_EQ(test::Packetize(desktop, 0, true)[0], sink.datagrams[0]);
    const std::vector<std::uint32_t> numbers = {0, 1, 2, 4};  // 3 was lost in the failed send
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(numbers[i], test::HeaderOf(sink.datagrams[i]).pictureNumber);
    }
    EXPECT_EQ(test::Packetize(noise, 2, true)[0], sink.datagrams[2]);  // raw, at its own length
    EXPECT_EQ(noise.size(), test::HeaderOf(sink.datagrams[2]).pictureSize);
    EXPECT_FALSE(test::HeaderOf(sink.datagrams[2]).compressed());

    // One announcement for the outage, whatever fails in it; back to normal when a picture goes.
    const std::vector<std::pair<State, bool>> outage = {
        {State::kCaptureFailing, true}, {State::kSendFailing, false}, {State::kWaiting, false}};
    EXPECT_EQ(outage, std::vector(states.begin() + 6, states.begin() + 9));
    EXPECT_EQ(std::pair(State::kWaiting, false), states.back());

    // Restarted while its thread is busy: that thread goes on; the picture it was taking when
    // stopped is dropped, and the next goes out at once.
    const std::size_t first = attempts.size(), sent = sink.count();
    const std::uint32_t dropped = broadcaster.pictureCounter();
    hold = true;
    ASSERT_EQ(0, broadcaster.Start());
    ASSERT_TRUE(WaitUntil([&] { return held.load(); }));
    for (int i = 0; i < 2; ++i) {
        broadcaster.Stop();
        ASSERT_EQ(0, broadcaster.Start());
    }
    held = false;
    ASSERT_TRUE(WaitUntil([&] { return sink.count() > sent; }));
    StopAndWait();
    EXPECT_EQ(attempts.at(first), attempts.at(first + 1));
    EXPECT_EQ(dropped + 1, test::HeaderOf(sink.datagrams.at(sent)).pictureNumber);
    EXPECT_EQ(2, threadStarts.load());  // none while a thread ran
}

TEST_F(Broadcast, ASocketThatCannotOpenIsTriedAgainAndAThreadThatCannotStartIsNoBroadcast) {
    failThreadStart = true;
    EXPECT_NE(0, broadcaster.Start());
    failThreadStart = false;
    EXPECT_FALSE(broadcaster.broadcasting());

    std::strcpy(settings.toAddress, "abc");
    ASSERT_EQ(0, broadcaster.Start());
    ASSERT_TRUE(WaitUntil([&] { return Shown(State::kNetworkFailing); }));
    holdSleep = true;  // a stop and a start while the message shows: the same thread tries on
    ASSERT_TRUE(WaitUntil([&] { return held.load(); }));
    broadcaster.Stop();
    ASSERT_EQ(0, broadcaster.Start());
    held = false;
    const std::uint32_t failedAt = clock;
    ASSERT_TRUE(WaitUntil([&] { return clock - failedAt >= 3000; }));
    EXPECT_EQ(0, captures.load());
    mendAddress = true;
    ASSERT_TRUE(WaitUntil([&] { return sink.count() >= 1; }));
    StopAndWait();
    EXPECT_EQ(1, threadStarts.load());
    EXPECT_EQ(0u, test::HeaderOf(sink.datagrams.at(0)).pictureNumber);
    const std::lock_guard<std::mutex> lock(statesLock);
    EXPECT_EQ(1, std::count_if(states.begin(), states.end(), [](auto s) { return s.second; }));
}

TEST_F(Broadcast, SendingOverlapsTheNextPictureAndNothingGoesOutAfterTheStop) {
    screen = test::MakeDesktopPicture(220, 220, 1);  // five fragments uncompressed
    settings.compress = 0;
    settings.captureInterval = 0;
    // Picture 1 is taken while picture 0 is held in its second datagram.
    sink.holding = [&] { return captures < 2; };
    sink.armed = true;
    ASSERT_EQ(0, broadcaster.Start());
    ASSERT_TRUE(WaitUntil([&] { return captures >= 4; }));
    // Captures that fail while the picture before is in flight: one announcement for the outage.
    AtNextCapture([&] { failCapture = true; });
    const std::uint32_t failedAt = clock;
    ASSERT_TRUE(WaitUntil([&] { return clock - failedAt >= 1000; }));
    failCapture = false;
    // Stopped while held in a picture's second datagram: that datagram ends the broadcast.
    sink.holding = [&] { return broadcaster.broadcasting(); };
    sink.held = false;
    sink.armed = true;
    ASSERT_TRUE(WaitUntil([&] { return sink.held.load(); }));
    broadcaster.Stop();
    const std::size_t atStop = sink.count();
    ASSERT_TRUE(WaitUntil([&] { return !broadcaster.threadRunning(); }));
    EXPECT_FALSE(running);  // released with the broadcast
    EXPECT_EQ(atStop, sink.count());
    ASSERT_EQ(2u, atStop % 5);

    // Whole pictures numbered in order, each fragment followed by the loop's precise sleep of 2 ms.
    for (std::size_t i = 0; i < atStop; ++i) {
        const auto header = test::HeaderOf(sink.datagrams[i]);
        EXPECT_EQ(i / 5, header.pictureNumber);
        EXPECT_EQ(i % 5, header.fragmentIndex);
    }
    EXPECT_EQ(atStop - 1, static_cast<std::size_t>(std::count(sleeps.begin(), sleeps.end(), 2u)));
    const std::lock_guard<std::mutex> lock(statesLock);
    EXPECT_EQ(1, std::count_if(states.begin(), states.end(), [](auto s) { return s.second; }));
}

}  // namespace
}  // namespace telvo
