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

// The test is the broadcast's screen, clock, tray icon and user. The clock moves only when the loop
// sleeps, so intervals are exact. What the thread records is read once it has ended.
class Broadcast : public ::testing::Test, public BroadcastHost {
  protected:
    void TearDown() override {
        held = false;
        StopAndWait();
    }
    void StopAndWait() {
        broadcaster.Stop();
        ASSERT_TRUE(WaitUntil([&] { return !broadcaster.threadRunning(); }));
    }
    bool CaptureScreen(HeapBlock& picture) override {
        for (held = hold.exchange(false); held;) std::this_thread::yield();  // the test acts here
        picture = failCapture ? HeapBlock() : HeapBlock::Allocate(screen.size());
        if (!picture) return false;
        std::memcpy(picture.get(), screen.data(), screen.size());
        times.push_back(clock);
        ++captures;
        return true;
    }
    void CursorPosition(std::int32_t* x, std::int32_t* y) override { *x = *y = 0; }
    void ShowSendingIcon(bool sending) override { icons.push_back(sending); }
    void ReportNetworkFailure() override {
        std::strcpy(settings.toAddress, kDefaultGroup);
        ++networkMessages;
        if (startWhileReporting) EXPECT_EQ(0, broadcaster.Start());
    }
    std::uint32_t Milliseconds() override { return clock; }
    void Sleep(unsigned ms) override {
        clock += ms;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    DatagramSink& Sink() override { return sink; }

    const std::vector<std::uint8_t> screen = test::MakeDesktopPicture(64, 48, 1);
    std::atomic<std::uint32_t> clock{0u - 5000u};  // wraps at the second picture
    std::atomic<bool> failCapture{false}, hold{false}, held{false}, startWhileReporting{false};
    std::atomic<int> captures{0}, networkMessages{0};
    std::vector<bool> icons;
    std::vector<std::uint32_t> times;
    test::RecordingSink sink;
    SenderSettings settings;
    Broadcaster broadcaster{settings, *this, CountingStarter};
};

TEST_F(Broadcast, RunsAsToldEndsOnFailuresAndTakesUpStartsWhileItsThreadRuns) {
    // At once, then every interval across the clock's wrap.
    ASSERT_EQ(0, broadcaster.Start());
    ASSERT_TRUE(WaitUntil([&] { return captures >= 4; }));
    StopAndWait();
    ASSERT_EQ(times.size(), sink.datagrams.size());  // one datagram a picture
    std::uint32_t expected = 0u - 5000u;
    for (std::size_t i = 0; i < times.size(); ++i, expected += 5000) {
        EXPECT_EQ(expected, times[i]) << i;
        EXPECT_EQ(test::Packetize(screen, i, true)[0], sink.datagrams[i]);
    }
    EXPECT_EQ(2 * times.size() + 1, icons.size());  // a pair per picture, idle at the end

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
    EXPECT_FALSE(icons.back());
    std::strcpy(settings.toAddress, "abc");
    runAlone();
    EXPECT_EQ(pictures + 1, broadcaster.pictureCounter());  // nothing captured after that

    // Stopped and started while the thread is busy with a picture: that thread goes on, and its
    // next picture goes out at once, not an interval after the last.
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
    EXPECT_EQ(times[before], times[before + 1]);

    // A start given while the network-failure message is shown tries the network again.
    std::strcpy(settings.toAddress, "abc");
    startWhileReporting = true;
    ASSERT_EQ(0, broadcaster.Start());
    ASSERT_TRUE(WaitUntil([&] { return captures >= before + 3; }));
    EXPECT_TRUE(broadcaster.broadcasting());
    EXPECT_EQ(2, networkMessages.load());  // one for each failed open
    EXPECT_EQ(6, threadStarts.load());     // none while a thread ran
}

}  // namespace
}  // namespace telvo
