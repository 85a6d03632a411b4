// The sender socket and the viewer's reception, over multicast loopback.
#include "viewer/net/ScreenReceiver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "protocol/ScreenBitmap.h"
#include "sender/SenderSocket.h"
#include "tests/NetworkTest.h"
#include "tests/TestPicture.h"

namespace telvo {
namespace {

using Picture = std::vector<std::uint8_t>;
using test::WaitUntil;
constexpr std::uint16_t kBasePort = 47100;

Picture Shown(const ScreenReceiver& receiver) {
    ImageReader image(receiver.store());
    return image.bytes() ? Picture(image.bytes(), image.bytes() + image.size()) : Picture();
}

int SendOnSenderSocket(const Picture& picture, std::uint32_t number, bool compress) {
    SenderSocketSink sink;
    return SendPicture(sink, picture.data(), static_cast<std::uint32_t>(picture.size()), number, 0,
                       0, compress);
}

// Threads or open files of this process, where the system lists them; else 0.
std::size_t CountEntries(const char* folder) {
#ifdef __linux__
    std::error_code error;
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(folder, error), {}));
#else
    (void)folder;
    return 0;
#endif
}

TEST(SocketStartUp, AFailedStartUpIsTriedAgain) {
    // No socket layer grants version 0.0; a start-up that has worked is not repeated.
    if (StartSockets(0, 0) == 0) GTEST_SKIP() << "started already, or nothing to start here";
    EXPECT_EQ(0, StartSockets(1, 1));
}

class Reception : public ::testing::Test {
  protected:
    void SetUp() override {
        TELVO_REQUIRE_TEST_NETWORK();
        ASSERT_EQ(0, StartSockets(1, 1));
    }
    int Open(ScreenReceiver& target, std::uint32_t channel, const char* group = kDefaultGroup) {
        return target.OpenChannel([this](const CompletedPicture& p) { told = p.number; }, channel,
                                  group, kBasePort);
    }
    // Sends under new numbers until the view is told of the picture (a datagram lost on the way
    // costs one try); then it must be on show, its number in the title.
    bool SendUntilShown(const Picture& picture, bool compress) {
        for (int attempt = 0; attempt < 10; ++attempt) {
            const std::uint32_t number = nextNumber++;
            if (SendOnSenderSocket(picture, number, compress) != 0) return false;
            if (WaitUntil([&] { return told == number; }, std::chrono::seconds(1))) {
                return Shown(receiver) == picture && receiver.TitlePictureNumber() == number;
            }
        }
        return false;
    }

    std::uint32_t nextNumber = 1;
    std::atomic<std::uint32_t> told{0};
    ScreenReceiver receiver;
};

TEST_F(Reception, PicturesArriveByteForByteAndTheViewIsTold) {
    EXPECT_NE(0, Open(receiver, 0, "abc"));
    EXPECT_NE(0, Open(receiver, 0, "10.1.2.3"));
    EXPECT_EQ(ReceiveState::kEnded, receiver.receiveState());  // nothing left to wait for
    ASSERT_EQ(0, Open(receiver, 0));  // the port of the failed joins is free again
    ScreenReceiver second;
    EXPECT_NE(0, Open(second, 0));  // one viewer per computer receives a channel
    EXPECT_EQ(0u, receiver.TitlePictureNumber());
    const auto picture = test::MakeDesktopPicture(1024, 768, 1);
    for (const char* group : {"abc", "255.255.255.255", ""}) {  // leaves no socket to send on
        ASSERT_EQ(0, OpenSenderSocket(kDefaultGroup, kBasePort));
        EXPECT_NE(0, OpenSenderSocket(group, kBasePort)) << group;
        EXPECT_NE(0, SendOnSenderSocket(picture, 0, false));
    }
    ASSERT_EQ(0, OpenSenderSocket(kDefaultGroup, kBasePort));
    EXPECT_TRUE(SendUntilShown(picture, true));
    const std::uint8_t oneByte[1] = {1};  // no datagram ends reception
    ASSERT_EQ(0, test::PortSink(kBasePort).Send(oneByte, 1));
    EXPECT_TRUE(SendUntilShown(test::MakeDesktopPicture(1024, 768, 2), false));
    EXPECT_EQ(ReceiveState::kRunning, receiver.receiveState());
    // A still picture whose last fragment is lost is completed from the copies held once it stalls.
    auto still = test::MakeNoisePicture(200, 400, 4);  // four fragments compressed
    std::fill(still.begin() + kBitmapHeadersSize + 120000, still.end(), 0);
    ASSERT_TRUE(SendUntilShown(still, true));
    auto datagrams = test::Packetize(still, nextNumber, true);
    datagrams.pop_back();
    ASSERT_TRUE(test::SendDatagrams(kBasePort, datagrams));
    EXPECT_TRUE(WaitUntil([&] { return told == nextNumber; }));
    ++nextNumber;

    // The settings command replaces the sender socket while the broadcast thread sends on it.
    std::atomic<int> replacements{0}, failures{0};
    std::thread broadcast([&] {
        for (int i = 0; i < 20 || replacements < 50; ++i) {
            failures += SendOnSenderSocket(picture, nextNumber++, false) != 0;
        }
    });
    for (; replacements < 50; ++replacements) {  // the last one on channel 0 again
        EXPECT_EQ(0, OpenSenderSocket(kDefaultGroup, kBasePort + (replacements + 1) % 2));
    }
    broadcast.join();
    EXPECT_EQ(0, failures.load());
    EXPECT_TRUE(SendUntilShown(test::MakeDesktopPicture(1024, 768, 3), true));
    CloseSenderSocket();
    CloseSenderSocket();
    EXPECT_NE(0, SendOnSenderSocket(picture, nextNumber, false));

    // A receive thread that outlives its receiver can publish nothing into the store.
    std::shared_ptr<PictureStore> store;
    std::uint32_t generation = 0;
    {
        ScreenReceiver brief;
        store = std::const_pointer_cast<PictureStore>(brief.sharedStore());
        generation = store->generation();
    }
    HeapBlock late = HeapBlock::Allocate(picture.size());
    EXPECT_FALSE(store->Publish(late, static_cast<std::uint32_t>(picture.size()), generation));
}

// Hundreds of channel switches while both channels are flooded, with a view that is sometimes
// slow to take its notification (so old threads outlive the switch's bounded wait): a channel
// that was left never shows a picture, and no thread or socket is left behind.
TEST_F(Reception, SwitchingUnderAFloodNeverShowsTheChannelThatWasLeft) {
    const std::size_t threadsBefore = CountEntries("/proc/self/task");
    const std::size_t filesBefore = CountEntries("/proc/self/fd");
    Picture pictures[2] = {test::MakeDesktopPicture(200, 150, 6),
                           test::MakeDesktopPicture(200, 150, 7)};
    pictures[0][kBitmapHeadersSize] = 0;  // tag: first pixel byte
    pictures[1][kBitmapHeadersSize] = 1;
    std::atomic<bool> flooding{true};
    std::thread flood([&] {
        for (std::uint32_t number = 0; flooding; ++number) {
            for (std::uint8_t channel = 0; channel < 2; ++channel) {
                test::PortSink sink(kBasePort + 10 + channel);
                const auto& picture = pictures[channel];
                (void)SendPicture(sink, picture.data(), static_cast<std::uint32_t>(picture.size()),
                                  number, 0, 0, channel == 1);
            }
        }
    });
    {
        ScreenReceiver switching;
        std::atomic<int> arrivals{0};
        const auto busyView = [&arrivals](const CompletedPicture&) {
            if (++arrivals % 8 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(150));
        };
        // A failed check ends the loop rather than the test: the flood thread must be joined.
        for (int step = 0; step < 200 && !HasFailure(); ++step) {
            const std::uint32_t channel = step % 2;
            EXPECT_EQ(0, switching.OpenChannel(busyView, channel, kDefaultGroup, kBasePort + 10));
            // Every other switch waits for a picture of the new channel; the rest switch again
            // at once, while the old thread may still be delivering.
            if (step % 4 < 2) {
                EXPECT_TRUE(
                    WaitUntil([&] { return !Shown(switching).empty(); }, std::chrono::seconds(20)))
                    << "step " << step;
            }
            const Picture shown = Shown(switching);
            if (!shown.empty()) EXPECT_EQ(channel, shown[kBitmapHeadersSize]) << "step " << step;
        }
    }
    flooding = false;
    flood.join();
    EXPECT_TRUE(WaitUntil([&] { return CountEntries("/proc/self/task") == threadsBefore; }));
    EXPECT_TRUE(WaitUntil([&] { return CountEntries("/proc/self/fd") == filesBefore; }));
}

}  // namespace
}  // namespace telvo
