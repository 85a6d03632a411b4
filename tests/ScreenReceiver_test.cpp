#include "viewer/net/ScreenReceiver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <iterator>
#include <thread>

#include "protocol/ScreenBitmap.h"
#include "tests/NetworkTest.h"
#include "tests/TestPicture.h"

namespace telvo {
namespace {

using test::WaitUntil;

std::vector<std::uint8_t> Shown(const ScreenReceiver& receiver) {
    ImageReader image(receiver.store());
    return image.bytes() ? std::vector<std::uint8_t>(image.bytes(), image.bytes() + image.size())
                         : std::vector<std::uint8_t>();
}

class Reception : public ::testing::Test {
  protected:
    void SetUp() override {
        TELVO_REQUIRE_TEST_NETWORK();
        ASSERT_EQ(0, StartSockets(1, 1));
    }

    int Open(ScreenReceiver& target, std::uint32_t channel, const char* group = kDefaultGroup) {
        return target.OpenChannel([this](const CompletedPicture&) { ++notified; }, channel, group,
                                  basePort);
    }

    // Sends the picture under new numbers until `target` shows it: a datagram lost on the way
    // only costs one try.
    bool SendUntilShown(ScreenReceiver& target, std::uint32_t channel,
                        const std::vector<std::uint8_t>& picture, bool compress) {
        test::PortSink sink(kDefaultGroup, ChannelPort(basePort, channel));
        for (int attempt = 0; attempt < 10; ++attempt) {
            const std::uint32_t number = nextNumber++;
            if (SendPicture(sink, picture.data(), static_cast<std::uint32_t>(picture.size()),
                            number, 0, 0, compress) != 0) {
                return false;
            }
            if (WaitUntil([&] { return Shown(target) == picture; },
                          std::chrono::milliseconds(500))) {
                return target.TitlePictureNumber() == number;
            }
        }
        return false;
    }

    std::uint16_t basePort = 47100;
    std::uint32_t nextNumber = 1;
    std::atomic<int> notified{0};
    ScreenReceiver receiver;
};

TEST_F(Reception, PicturesArriveByteForByteAndTheViewIsTold) {
    ASSERT_EQ(0, Open(receiver, 2));
    EXPECT_TRUE(WaitUntil([&] { return receiver.receiveState() == ReceiveState::kRunning; }));
    EXPECT_EQ(0u, receiver.TitlePictureNumber());
    const auto picture = test::MakeDesktopPicture(1024, 768, 1);
    EXPECT_TRUE(SendUntilShown(receiver, 2, picture, true));
    EXPECT_TRUE(SendUntilShown(receiver, 2, test::MakeDesktopPicture(1024, 768, 2), false));
    EXPECT_TRUE(WaitUntil([&] { return notified.load() >= 2; }));  // told after publishing
}

TEST_F(Reception, AForeignDatagramNeverEndsReception) {
    basePort = 47200;
    ASSERT_EQ(0, Open(receiver, 0));
    const auto picture = test::MakeDesktopPicture(320, 240, 3);
    ASSERT_TRUE(SendUntilShown(receiver, 0, picture, true));

    test::PortSink sink(kDefaultGroup, basePort);
    const std::uint8_t oneByte[1] = {1};
    ASSERT_EQ(0, sink.Send(oneByte, 1));
    EXPECT_TRUE(SendUntilShown(receiver, 0, test::MakeDesktopPicture(320, 240, 4), true));
    EXPECT_EQ(ReceiveState::kRunning, receiver.receiveState());
}

TEST_F(Reception, OnlyOneViewerPerComputerReceivesAChannel) {
    basePort = 47300;
    ASSERT_EQ(0, Open(receiver, 1));
    ScreenReceiver second;
    EXPECT_NE(0, Open(second, 1));
    EXPECT_TRUE(SendUntilShown(receiver, 1, test::MakeDesktopPicture(320, 240, 5), true));
    EXPECT_TRUE(Shown(second).empty());
}

TEST_F(Reception, NoReceptionForChannelsAboveFiveOrGroupsThatAreNone) {
    basePort = 47400;
    EXPECT_EQ(0, Open(receiver, 5));
    EXPECT_EQ(ReceiveState::kEnded, receiver.receiveState());
    EXPECT_EQ(0, Open(receiver, 0xFFFFFFFF));
    EXPECT_NE(0, Open(receiver, 0, "abc"));
    EXPECT_NE(0, Open(receiver, 0, "10.1.2.3"));
    EXPECT_EQ(0, Open(receiver, 0));  // the port of the failed joins is free again
}

std::size_t CountEntries(const char* folder) {
    std::error_code error;
    const std::filesystem::directory_iterator entries(folder, error);
    return error ? 0 : static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
}

// Hundreds of channel switches while both channels are flooded, with a view that is sometimes
// slow to take its notification (so old threads outlive the switch's bounded wait): a channel
// that was left never shows a picture, and no thread or socket is left behind.
TEST_F(Reception, SwitchingUnderAFloodNeverShowsTheChannelThatWasLeft) {
    basePort = 47500;
    const std::size_t threadsBefore = CountEntries("/proc/self/task");
    const std::size_t filesBefore = CountEntries("/proc/self/fd");

    std::atomic<bool> flooding{true};
    std::thread flood([&] {
        test::PortSink channel0(kDefaultGroup, basePort), channel1(kDefaultGroup, basePort + 1);
        std::vector<std::uint8_t> pictures[2] = {test::MakeDesktopPicture(200, 150, 6),
                                                 test::MakeDesktopPicture(200, 150, 7)};
        for (std::uint8_t channel = 0; channel < 2; ++channel) {
            pictures[channel][kBitmapHeadersSize] = channel;  // tag: first pixel byte
        }
        for (std::uint32_t number = 0; flooding; ++number) {
            for (std::uint8_t channel = 0; channel < 2; ++channel) {
                const auto& picture = pictures[channel];
                DatagramSink& sink = channel == 0 ? static_cast<DatagramSink&>(channel0) : channel1;
                (void)SendPicture(sink, picture.data(), static_cast<std::uint32_t>(picture.size()),
                                  number, 0, 0, channel == 1);
            }
        }
    });

    {
        ScreenReceiver switching;
        std::atomic<int> arrivals{0};
        int seen = 0;
        // A failed check ends the loop rather than the test: the flood thread must be joined.
        for (int step = 0; step < 200 && !HasFailure(); ++step) {
            const std::uint32_t channel = step % 2;
            EXPECT_EQ(0, switching.OpenChannel(
                             [&arrivals](const CompletedPicture&) {
                                 if (++arrivals % 8 == 0) {  // a busy view
                                     std::this_thread::sleep_for(std::chrono::milliseconds(150));
                                 }
                             },
                             channel, kDefaultGroup, basePort));
            // Every other switch waits for a picture of the new channel; the rest switch again
            // at once, while the old thread may still be delivering.
            if (step % 4 < 2) {
                EXPECT_TRUE(
                    WaitUntil([&] { return !Shown(switching).empty(); }, std::chrono::seconds(20)))
                    << "step " << step;
            }
            const std::vector<std::uint8_t> shown = Shown(switching);
            if (!shown.empty()) {
                ++seen;
                EXPECT_EQ(channel, shown[kBitmapHeadersSize]) << "step " << step;
            }
        }
        EXPECT_GE(seen, 100);
    }
    flooding = false;
    flood.join();
#ifdef __linux__
    EXPECT_TRUE(WaitUntil([&] { return CountEntries("/proc/self/task") == threadsBefore; }));
    EXPECT_TRUE(WaitUntil([&] { return CountEntries("/proc/self/fd") == filesBefore; }));
#else
    (void)threadsBefore;
    (void)filesBefore;
#endif
}

}  // namespace
}  // namespace telvo
