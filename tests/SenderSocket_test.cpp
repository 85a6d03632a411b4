#include "sender/SenderSocket.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "protocol/ScreenPacket.h"
#include "tests/NetworkTest.h"
#include "tests/TestPicture.h"

namespace telvo {
namespace {

TEST(SocketStartUp, AFailedStartUpIsTriedAgain) {
    // No socket layer grants version 0.0; a start-up that has worked is not repeated.
    if (StartSockets(0, 0) == 0) GTEST_SKIP() << "started already, or nothing to start here";
    EXPECT_EQ(0, StartSockets(1, 1));
}

TEST(SenderSocket, AGroupThatDoesNotParseLeavesNoUsableSocket) {
    TELVO_REQUIRE_TEST_NETWORK();
    const auto picture = test::MakeDesktopPicture(64, 48, 1);
    SenderSocketSink sink;
    for (const char* group : {"abc", "255.255.255.255", ""}) {
        ASSERT_EQ(0, OpenSenderSocket(kDefaultGroup, 47001));
        EXPECT_NE(0, OpenSenderSocket(group, 47001)) << group;
        EXPECT_NE(0, SendPicture(sink, picture.data(), static_cast<std::uint32_t>(picture.size()),
                                 1, 0, 0, false));
    }
    ASSERT_EQ(0, OpenSenderSocket(kDefaultGroup, 47001));
    EXPECT_EQ(0, SendPicture(sink, picture.data(), static_cast<std::uint32_t>(picture.size()), 2, 0,
                             0, false));
    CloseSenderSocket();
    CloseSenderSocket();
    EXPECT_NE(0, SendPicture(sink, picture.data(), static_cast<std::uint32_t>(picture.size()), 3, 0,
                             0, false));
}

TEST(SenderSocket, ReplacingTheSocketWhileAPictureIsSentNeverBreaksTheSend) {
    TELVO_REQUIRE_TEST_NETWORK();
    ASSERT_EQ(0, StartSockets(1, 0));
    std::uint32_t group = 0;
    ASSERT_TRUE(ParseIPv4(kDefaultGroup, &group));
    UniqueSocket listener = CreateUdpSocket();
    ASSERT_EQ(0, BindAnyAddress(listener.get(), 47011));
    ASSERT_EQ(0, JoinMulticastGroup(listener.get(), group));

    ASSERT_EQ(0, OpenSenderSocket(kDefaultGroup, 47011));
    const auto picture = test::MakeDesktopPicture(640, 480, 2);  // 29 fragments
    std::atomic<bool> sending{true};
    std::atomic<int> failures{0};
    std::thread broadcast([&] {
        SenderSocketSink sink;
        for (std::uint32_t number = 0; number < 60; ++number) {
            if (SendPicture(sink, picture.data(), static_cast<std::uint32_t>(picture.size()),
                            number, 0, 0, false) != 0) {
                ++failures;
            }
        }
        sending = false;
    });
    int replacements = 0;
    while (sending) {
        EXPECT_EQ(0, OpenSenderSocket(kDefaultGroup, replacements % 2 == 0 ? 47012 : 47011));
        ++replacements;
    }
    broadcast.join();
    CloseSenderSocket();
    EXPECT_EQ(0, failures.load());
    EXPECT_GT(replacements, 10);
    EXPECT_EQ(1, WaitReadable(listener.get(), 1000));  // the datagrams did go out
}

}  // namespace
}  // namespace telvo
