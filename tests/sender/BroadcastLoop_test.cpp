#include "sender/BroadcastLoop.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "tests/NetworkTest.h"
#include "tests/TestPicture.h"

namespace telvo {
namespace {

using test::WaitUntil;

std::atomic<int> threadStarts{0};
int CountingStarter(ThreadBody body, void* argument) {
    ++threadStarts;
    return StartDetachedThread(body, argument);
}

// The broadcast's screen, clock, tray icon and user; the clock moves only when the loop sleeps.
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
    bool CaptureScreen(HeapBlock& picture) override {
        for (held = hold.exchange(false); held;) std::this_thread::yield();  // the test acts
        picture = failCapture ? HeapBlock() : HeapBlock::Allocate(screen.size());
        if (!picture) return false;
        std::memcpy(picture.get(), screen.data(), screen.size());
        EXPECT_TRUE(precise);
        times.push_back(clock);
        ++captures;
        return true;
    }
    void CursorPosition(std::int32_t* x, std::int32_t* y) override { *x = *y = 0; }
    void ShowSendingIcon(bool sending) override { iconSending = sending; }
    void ReportNetworkFailure() override {
        std::strcpy(settings.toAddress, kDefaultGroup);  // what the user mends meanwhile
        ++networkMessages;
    }
    std::uint32_t Milliseconds() override { return clock; }
    void Sleep(unsigned ms) override {
        sleeps.push_back(ms);
        clock += ms;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    void PrecisePauses(bool on) override {
        EXPECT_NE(precise.load(), on);
        precise = on;
    }
    DatagramSink& Sink() override { return sink; }

    std::vector<std::uint8_t> screen = test::MakeDesktopPicture(64, 48, 1);
    std::atomic<std::uint32_t> clock{0u - 5000u};  // wraps at the second picture
    std::atomic<bool> failCapture{false}, hold{false}, held{false}, iconSending{true},
        precise{false};
    std::atomic<int> captures{0}, networkMessages{0};
    std::vector<std::uint32_t> times;
    std::vector<unsigned> sleeps;
    test::RecordingSink sink;
    SenderSettings settings;
    Broadcaster broadcaster{settings, *this, CountingStarter};
};

TEST_F(Broadcast, RunsAsToldEndsOnFailuresAndTakesUpStartsWhileItsThreadRuns) {
    // At once, then every interval (and the check after the picture's pause) across the clock's
    // wrap.
    ASSERT_EQ(0, broadcaster.Start());
    ASSERT_TRUE(WaitUntil([&] { return captures >= 4; }));
    StopAndWait();
    ASSERT_EQ(times.size(), sink.datagrams.size());  // one datagram a picture
    std::uint32_t expected = 0u - 5000u;
    for (std::size_t i = 0; i < times.size(); ++i, expected += 5010) {
        EXPECT_EQ(expected, times[i]) << i;
        EXPECT_EQ(test::Packetize(screen, i, true)[0], sink.datagrams[i]);
    }

    const auto runAlone = [&] {
        ASSERT_EQ(0, broadcaster.Start());
        ASSERT_TRUE(WaitUntil([&] { return !broadcaster.threadRunning(); }));
        EXPECT_FALSE(broadcaster.broadcasting());
    };
    const std::uint32_t pictures = broadcaster.pictureCounter();
    failCapture = true;
    runAlone();
    EXPECT_EQ(pictures, broadcaster.pictureCounter());  // a failed capture uses up no number
    failCapture = false;
    sink.failAt = sink.datagrams.size();
    runAlone();
    EXPECT_EQ(pictures + 1, broadcaster.pictureCounter());  // a failed send does
    EXPECT_FALSE(iconSending);                              // idle again
    std::strcpy(settings.toAddress, "abc");
    runAlone();
    EXPECT_EQ(pictures + 1, broadcaster.pictureCounter());  // nothing captured after that

    // Restarted while its thread is busy: that thread goes on and sends its next picture at once.
    sink.failAt = SIZE_MAX;
    const int before = captures;
    hold = true;
    ASSERT_EQ(0, broadcaster.Start());
    ASSERT_TRUE(WaitUntil([&] { return held.load(); }));
    for (int i = 0; i < 2; ++i) {
        broadcaster.Stop();
        ASSERT_EQ(0, broadcaster.Start());
    }
    held = false;
    ASSERT_TRUE(WaitUntil([&] { return captures >= before + 2; }));
    StopAndWait();
    EXPECT_EQ(times[before] + 10, times[before + 1]);  // at once after the picture's pause
    EXPECT_EQ(1, networkMessages.load());
    EXPECT_EQ(5, threadStarts.load());  // none while a thread ran
}

TEST_F(Broadcast, PausesBetweenFragmentsAreTheLoopsPreciseSleepsAndAllItWaits) {
    screen = test::MakeDesktopPicture(220, 220, 1);  // five fragments uncompressed
    settings.compress = 0;
    settings.captureInterval = 0;
    ASSERT_EQ(0, broadcaster.Start());
    ASSERT_TRUE(WaitUntil([&] { return captures >= 3; }));
    StopAndWait();
    EXPECT_FALSE(precise);               // released with the broadcast
    EXPECT_EQ(times[0] + 10, times[1]);  // five pauses of 2 ms
    EXPECT_EQ(times[1] + 10, times[2]);
    ASSERT_LE(5u, sleeps.size());
    EXPECT_EQ(std::vector<unsigned>(5, 2),
              std::vector<unsigned>(sleeps.begin(), sleeps.begin() + 5));
}

}  // namespace
}  // namespace telvo
