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

// The test is the broadcast's screen, clock, tray icon and network. The clock moves only when the
// loop sleeps, so intervals are exact. The vectors are read once the thread has ended.
class Broadcast : public ::testing::Test, public BroadcastHost, public DatagramSink {
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
        for (held = hold.exchange(false); held;) std::this_thread::yield();  // the test acts here
        picture = failCapture ? HeapBlock() : HeapBlock::Allocate(screen.size());
        if (picture) std::memcpy(picture.get(), screen.data(), screen.size());
        return !failCapture;
    }
    void CursorPosition(std::int32_t* x, std::int32_t* y) override { *x = -5, *y = 7; }
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
    DatagramSink& Sink() override { return *this; }
    int Send(const std::uint8_t* datagram, std::size_t length) override {
        if (failSend) return 10054;
        headers.push_back(test::HeaderOf({datagram, datagram + length}));
        times.push_back(clock);
        ++sent;
        return 0;
    }
    void Pause(unsigned) override {}

    const std::vector<std::uint8_t> screen = test::MakeDesktopPicture(64, 48, 1);
    std::atomic<std::uint32_t> clock{0u - 5000u};  // wraps at the second picture
    std::atomic<bool> failCapture{false}, failSend{false}, hold{false}, held{false};
    std::atomic<bool> startWhileReporting{false};
    std::atomic<int> sent{0}, networkMessages{0};
    std::vector<bool> icons;
    std::vector<ScreenPacketHeader> headers;
    std::vector<std::uint32_t> times;
    SenderSettings settings;
    Broadcaster broadcaster{settings, *this, CountingStarter};
};

TEST_F(Broadcast, PicturesGoOutAtOnceThenEveryIntervalAcrossTheClockWrapNumberedAcrossRuns) {
    ASSERT_EQ(0, broadcaster.Start());
    ASSERT_TRUE(WaitUntil([&] { return sent >= 3; }));
    StopAndWait();
    const std::size_t firstRun = times.size();
    const std::uint32_t restart = clock;
    ASSERT_EQ(0, broadcaster.Start());
    ASSERT_TRUE(WaitUntil([&] { return sent >= 5; }));
    StopAndWait();

    std::uint32_t expected = 0u - 5000u;
    for (std::size_t i = 0; i < headers.size(); ++i, expected += 5000) {  // one fragment each
        if (i == firstRun) expected = restart;
        EXPECT_EQ(expected, times[i]) << i;
        EXPECT_EQ(i, headers[i].pictureNumber);
        EXPECT_EQ(65531u, headers[i].cursorX);
    }
    EXPECT_EQ(headers.size(), broadcaster.pictureCounter());
    EXPECT_EQ(2 * headers.size() + 2, icons.size());  // a pair per picture, idle at each end
    EXPECT_FALSE(icons.back());
}

TEST_F(Broadcast, FailuresEndTheBroadcastAndStartsWhileTheThreadRunsAreTakenUpByIt) {
    const auto runAlone = [&] {
        ASSERT_EQ(0, broadcaster.Start());
        ASSERT_TRUE(WaitUntil([&] { return !broadcaster.threadRunning(); }));
        EXPECT_FALSE(broadcaster.broadcasting());
    };
    failCapture = true;
    runAlone();
    EXPECT_EQ(0u, broadcaster.pictureCounter());  // a failed capture uses up no number
    failCapture = false;
    failSend = true;
    runAlone();
    EXPECT_EQ(1u, broadcaster.pictureCounter());  // a failed send does
    EXPECT_FALSE(icons.back());
    std::strcpy(settings.toAddress, "abc");
    runAlone();
    EXPECT_EQ(1, networkMessages.load());
    EXPECT_EQ(1u, broadcaster.pictureCounter());  // nothing captured after the failed open
    ASSERT_EQ(3, threadStarts.load());

    // Stopped and started while the thread is busy with a picture: that thread goes on, and its
    // next picture goes out at once, not an interval after the last.
    failSend = false;
    hold = true;
    ASSERT_EQ(0, broadcaster.Start());
    ASSERT_TRUE(WaitUntil([&] { return held.load(); }));
    for (int i = 0; i < 2; ++i) {
        broadcaster.Stop();
        ASSERT_EQ(0, broadcaster.Start());
    }
    held = false;
    ASSERT_TRUE(WaitUntil([&] { return sent >= 2; }));
    StopAndWait();
    EXPECT_EQ(times[0], times[1]);

    // A start given while the network-failure message is shown tries the network again.
    std::strcpy(settings.toAddress, "abc");
    startWhileReporting = true;
    ASSERT_EQ(0, broadcaster.Start());
    ASSERT_TRUE(WaitUntil([&] { return sent >= 3; }));
    EXPECT_TRUE(broadcaster.broadcasting());
    EXPECT_EQ(2, networkMessages.load());
    EXPECT_EQ(5, threadStarts.load());
}

}  // namespace
}  // namespace telvo
