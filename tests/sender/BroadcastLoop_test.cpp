#include "sender/BroadcastLoop.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/NetworkTest.h"
#include "tests/TestPicture.h"

namespace telvo {
namespace {

using test::WaitUntil;

// A screen, clock and tray icon under the test's control. The clock moves only when the loop
// sleeps, so intervals are exact.
class FakeHost : public BroadcastHost, public DatagramSink {
  public:
    bool CaptureScreen(HeapBlock& picture) override {
        if (++inCapture != 1) overlapped = true;
        if (holdCapture.exchange(false)) {  // the test acts while the thread is busy here
            held = true;
            while (held.load()) std::this_thread::yield();
        }
        std::this_thread::yield();
        --inCapture;
        if (failCapture) {
            picture.reset();
            return false;
        }
        if (!picture) picture = HeapBlock::Allocate(screen.size());
        std::memcpy(picture.get(), screen.data(), screen.size());
        std::lock_guard<std::mutex> lock(mutex);
        shotTimes.push_back(clock.load());
        return true;
    }
    void CursorPosition(std::int32_t* x, std::int32_t* y) override {
        *x = -5;
        *y = 7;
    }
    void ShowSendingIcon(bool sending) override {
        std::lock_guard<std::mutex> lock(mutex);
        icons.push_back(sending);
    }
    void ReportNetworkFailure() override {
        ++networkMessages;
        if (whileReporting) whileReporting();  // what the user does while the message is shown
    }
    std::uint32_t Milliseconds() override { return clock.load(); }
    void Sleep(unsigned ms) override {
        clock += ms;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    DatagramSink& Sink() override { return *this; }

    int Send(const std::uint8_t* datagram, std::size_t length) override {
        if (failSend) return 10054;
        std::lock_guard<std::mutex> lock(mutex);
        headers.push_back(test::HeaderOf(std::vector<std::uint8_t>(datagram, datagram + length)));
        return 0;
    }
    void Pause(unsigned) override {}

    std::size_t Pictures() {
        std::lock_guard<std::mutex> lock(mutex);
        return shotTimes.size();
    }

    std::vector<std::uint8_t> screen = test::MakeDesktopPicture(64, 48, 1);
    std::atomic<std::uint32_t> clock{1000};
    std::atomic<bool> failCapture{false}, failSend{false}, overlapped{false};
    std::atomic<bool> holdCapture{false}, held{false};
    std::function<void()> whileReporting;
    std::atomic<int> inCapture{0}, networkMessages{0};
    std::mutex mutex;
    std::vector<std::uint32_t> shotTimes;
    std::vector<bool> icons;
    std::vector<ScreenPacketHeader> headers;
};

class Broadcast : public ::testing::Test {
  protected:
    void TearDown() override {
        broadcaster.Stop();
        EXPECT_TRUE(WaitUntil([&] { return !broadcaster.threadRunning(); }));
    }
    void StopAndWait() {
        broadcaster.Stop();
        ASSERT_TRUE(WaitUntil([&] { return !broadcaster.threadRunning(); }));
    }

    SenderSettings settings;
    FakeHost host;
    Broadcaster broadcaster{settings, host};
};

TEST_F(Broadcast, PicturesGoOutAtOnceThenEveryIntervalNumberedAcrossStopAndStart) {
    ASSERT_EQ(0, broadcaster.Start());
    ASSERT_TRUE(WaitUntil([&] { return host.Pictures() >= 3; }));
    StopAndWait();
    ASSERT_EQ(0, broadcaster.Start());
    ASSERT_TRUE(WaitUntil([&] { return host.Pictures() >= 4; }));
    StopAndWait();

    std::lock_guard<std::mutex> lock(host.mutex);
    EXPECT_EQ(1000u, host.shotTimes[0]);  // the first picture at once
    for (std::size_t i = 1; i < 3; ++i) {
        const std::uint32_t gap = host.shotTimes[i] - host.shotTimes[i - 1];
        EXPECT_GE(gap, 5000u);
        EXPECT_LE(gap, 5100u);
    }
    const std::size_t pictures = host.shotTimes.size();
    ASSERT_EQ(pictures, host.headers.size());  // one fragment each
    for (std::size_t i = 0; i < pictures; ++i) {
        EXPECT_EQ(i, host.headers[i].pictureNumber);
        EXPECT_EQ(65531u, host.headers[i].cursorX);
        EXPECT_EQ(1u, host.headers[i].flags);
    }
    EXPECT_EQ(pictures, broadcaster.pictureCounter());
    ASSERT_EQ(2 * pictures, host.icons.size() - 2);  // a pair per picture, idle at each end
    EXPECT_FALSE(host.icons.back());
}

// The millisecond clock wraps after 49.7 days: a picture taken at 0 ms is a picture like any other.
TEST_F(Broadcast, IntervalsHoldWhereTheClockWraps) {
    host.clock = 0u - 5000u;  // the second picture falls on 0
    ASSERT_EQ(0, broadcaster.Start());
    ASSERT_TRUE(WaitUntil([&] { return host.Pictures() >= 4; }));
    StopAndWait();
    std::lock_guard<std::mutex> lock(host.mutex);
    EXPECT_EQ(0u, host.shotTimes[1]);
    for (std::size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(5000u, host.shotTimes[i] - host.shotTimes[i - 1]) << i;
    }
}

TEST_F(Broadcast, FailuresEndTheBroadcast) {
    host.failCapture = true;
    ASSERT_EQ(0, broadcaster.Start());
    ASSERT_TRUE(WaitUntil([&] { return !broadcaster.threadRunning(); }));
    EXPECT_FALSE(broadcaster.broadcasting());
    EXPECT_EQ(0u, broadcaster.pictureCounter());  // a failed capture uses up no number

    host.failCapture = false;
    host.failSend = true;
    ASSERT_EQ(0, broadcaster.Start());
    ASSERT_TRUE(WaitUntil([&] { return !broadcaster.threadRunning(); }));
    EXPECT_FALSE(broadcaster.broadcasting());
    EXPECT_EQ(1u, broadcaster.pictureCounter());  // a failed send does
    EXPECT_FALSE(host.icons.back());
    EXPECT_EQ(0, host.networkMessages.load());

    std::strcpy(settings.toAddress, "abc");
    ASSERT_EQ(0, broadcaster.Start());
    ASSERT_TRUE(WaitUntil([&] { return !broadcaster.threadRunning(); }));
    EXPECT_EQ(1, host.networkMessages.load());
    EXPECT_FALSE(broadcaster.broadcasting());
    EXPECT_EQ(1u, host.Pictures());  // nothing captured after the failed open
}

TEST_F(Broadcast, AStartWhileTheThreadStillRunsNeverMakesASecondOne) {
    settings.captureInterval = 0;
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(0, broadcaster.Start());
        broadcaster.Stop();
        ASSERT_EQ(0, broadcaster.Start());  // right after a stop, or twice in a row
        ASSERT_EQ(0, broadcaster.Start());
    }
    ASSERT_TRUE(WaitUntil([&] { return host.Pictures() >= 50; }));
    StopAndWait();
    EXPECT_FALSE(host.overlapped.load());
}

TEST_F(Broadcast, AStartWhileTheOldThreadFinishesOrReportsAFailureIsNeverLost) {
    // Stopped and started while the thread is busy with a picture: the old thread goes on, and
    // the first picture of the new start goes out at once, not an interval after the old one.
    host.holdCapture = true;
    ASSERT_EQ(0, broadcaster.Start());
    ASSERT_TRUE(WaitUntil([&] { return host.held.load(); }));
    broadcaster.Stop();
    ASSERT_EQ(0, broadcaster.Start());
    host.held = false;
    ASSERT_TRUE(WaitUntil([&] { return host.Pictures() >= 2; }));
    StopAndWait();
    {
        std::lock_guard<std::mutex> lock(host.mutex);
        EXPECT_EQ(host.shotTimes[0], host.shotTimes[1]);
    }

    // A start given while the network-failure message is shown tries the network again.
    std::strcpy(settings.toAddress, "abc");
    host.whileReporting = [&] {
        if (host.networkMessages.load() > 1) return;
        std::strcpy(settings.toAddress, kDefaultGroup);
        ASSERT_EQ(0, broadcaster.Start());
    };
    ASSERT_EQ(0, broadcaster.Start());
    ASSERT_TRUE(WaitUntil([&] { return host.Pictures() >= 3; }));
    EXPECT_TRUE(broadcaster.broadcasting());
    EXPECT_EQ(1, host.networkMessages.load());
}

}  // namespace
}  // namespace telvo
