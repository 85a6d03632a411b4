// The sender socket and the viewer's reception, over multicast loopback.
#include "viewer/net/ScreenReceiver.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "sender/SenderSocket.h"
#include "tests/NetworkTest.h"
#include "tests/TestPicture.h"

namespace telvo {
namespace {

using Picture = std::vector<std::uint8_t>;
using test::WaitUntil;
constexpr std::uint16_t kBasePort = 47100;

int SendOnSenderSocket(const Picture& picture, std::uint32_t number, bool compress) {
    SenderSocketSink sink;
    return SendPicture(sink, picture.data(), static_cast<std::uint32_t>(picture.size()), number, 0,
                       0, compress);
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
                return test::Shown(receiver.store()) == picture &&
                       receiver.TitlePictureNumber() == number;
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
    const auto picture = test::MakeDesktopPicture(1024, 768, 1);
    ASSERT_EQ(0, OpenSenderSocket(kDefaultGroup, kBasePort));
    EXPECT_TRUE(SendUntilShown(picture, true));
    const std::uint8_t oneByte[1] = {1};  // no datagram ends reception
    ASSERT_EQ(0, test::PortSink(kBasePort).Send(oneByte, 1));
    EXPECT_TRUE(SendUntilShown(test::MakeDesktopPicture(1024, 768, 2), false));
    EXPECT_EQ(ReceiveState::kRunning, receiver.receiveState());
    // A still picture whose last fragment is lost is completed from the copies held once it stalls.
    const auto still = test::FourFragmentPicture(4);
    ASSERT_TRUE(SendUntilShown(still, true));
    auto datagrams = test::Packetize(still, nextNumber, true);
    datagrams.pop_back();
    SenderSocketSink sink;
    for (const auto& datagram : datagrams)
        ASSERT_EQ(0, sink.Send(datagram.data(), datagram.size()));
    EXPECT_TRUE(WaitUntil([&] { return told == nextNumber; }));
    ++nextNumber;

    CloseSenderSocket();
    CloseSenderSocket();
    EXPECT_NE(0, SendOnSenderSocket(picture, nextNumber, false));
}

#ifndef _WIN32  // under Wine every datagram leaves from 127.0.0.1, whatever its socket is bound to
// A sender on a source address of its own, as on another computer.
class AddressSink : public DatagramSink {
  public:
    explicit AddressSink(const char* address) : socket_(CreateUdpSocket()) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = inet_addr(address);
        if (!socket_ ||
            ::bind(socket_.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
            !ParseIPv4(kDefaultGroup, &group_)) {
            std::abort();
        }
    }
    int Send(const std::uint8_t* datagram, std::size_t length) override {
        const long sent = SendDatagramTo(socket_.get(), datagram, length, group_, kBasePort);
        return sent == static_cast<long>(length) ? 0 : LastSocketError();
    }
    void Pause(unsigned) override {}
    int SendPicture(const Picture& picture, std::uint32_t number) {
        return telvo::SendPicture(*this, picture.data(), static_cast<std::uint32_t>(picture.size()),
                                  number, 0, 0, true);
    }

  private:
    UniqueSocket socket_;
    std::uint32_t group_ = 0;
};

// Two senders on one channel: the one followed keeps the view while it sends; a forged number
// from the other never shows; once the first has been silent for 3 s, the other is shown.
TEST_F(Reception, TheSenderFollowedKeepsTheViewUntilItFallsSilent) {
    ASSERT_EQ(0, Open(receiver, 0));
    AddressSink ours("127.0.0.1"), other("127.0.0.2");
    const auto picture = test::MakeDesktopPicture(320, 240, 1);
    std::uint32_t number = 10;
    const auto shown = [&](std::uint32_t n) {
        return WaitUntil([&] { return told == n && receiver.TitlePictureNumber() == n; });
    };
    do {
        ASSERT_EQ(0, ours.SendPicture(picture, ++number));
    } while (!shown(number) && number < 20);
    const auto dot = test::MakeDesktopPicture(1, 1, 2);
    ASSERT_EQ(0, other.SendPicture(dot, 0xFFFFFFFF));
    ASSERT_EQ(0, ours.SendPicture(picture, ++number));
    EXPECT_TRUE(shown(number));  // at once, though the other's number was higher
    std::uint32_t theirs = 5000;
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(0, ours.SendPicture(picture, ++number));
        ASSERT_EQ(0, other.SendPicture(picture, ++theirs));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_LT(told.load(), 5000u);
    }
    const auto stopped = std::chrono::steady_clock::now();
    while (told < 5000 && std::chrono::steady_clock::now() - stopped < std::chrono::seconds(15)) {
        ASSERT_EQ(0, other.SendPicture(picture, ++theirs));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const auto took = std::chrono::steady_clock::now() - stopped;
    EXPECT_GE(took, std::chrono::milliseconds(kLiveMinMs - 200));
    EXPECT_LT(took, std::chrono::milliseconds(kLiveMinMs + 3000));
    EXPECT_EQ(told.load(), receiver.TitlePictureNumber());
}
#endif

// The system's report of an adapter that came (a stand-in for it here) joins the group there at
// once, even while another program's datagrams keep the port busy: the receiver would otherwise
// look again only after a silence.
std::atomic<bool> loopbackListed{false};
int ListLoopbackOnceReported(std::vector<NetworkAdapter>* adapters) {
    adapters->clear();
    std::uint32_t loopback = 0;
    if (loopbackListed && ParseIPv4("127.0.0.1", &loopback)) adapters->push_back({L"lo", loopback});
    return 0;
}

TEST_F(Reception, AReportedAdapterIsJoinedAtOnce) {
    receiver.SetAdapters("", &ListLoopbackOnceReported);
    ASSERT_EQ(0, Open(receiver, 1));
    std::atomic<bool> busy{true};
    std::thread otherProgram([&] {
        std::uint32_t loopback = 0;
        const UniqueSocket socket = CreateUdpSocket();
        const std::uint8_t byte = 1;
        while (busy && ParseIPv4("127.0.0.1", &loopback)) {
            (void)SendDatagramTo(socket.get(), &byte, 1, loopback, kBasePort + 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    loopbackListed = true;
    NoteAdapterChange();
    ASSERT_EQ(0, OpenSenderSocket(kDefaultGroup, kBasePort + 1));
    EXPECT_TRUE(SendUntilShown(test::MakeDesktopPicture(320, 240, 1), false));
    busy = false;
    otherProgram.join();
    CloseSenderSocket();
}

}  // namespace
}  // namespace telvo
