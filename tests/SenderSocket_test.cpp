#include "sender/SenderSocket.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/NetworkTest.h"
#include "tests/TestPicture.h"

namespace telvo {
namespace {

TEST(SocketStartUp, AFailedStartUpIsTriedAgain) {
    // No socket layer grants version 0.0; a start-up that has worked is not repeated.
    if (StartSockets(0, 0) == 0) GTEST_SKIP() << "started already, or nothing to start here";
    EXPECT_EQ(0, StartSockets(1, 1));
}

// The settings command replaces the socket while the broadcast thread sends on it.
TEST(SenderSocket, ReplacingTheSocketNeverBreaksASendAndABadGroupLeavesNone) {
    TELVO_REQUIRE_TEST_NETWORK();
    ASSERT_EQ(0, StartSockets(1, 0));
    const auto picture = test::MakeDesktopPicture(640, 480, 2);  // 29 fragments
    const auto send = [&picture](std::uint32_t number) {
        SenderSocketSink sink;
        return SendPicture(sink, picture.data(), static_cast<std::uint32_t>(picture.size()), number,
                           0, 0, false);
    };
    for (const char* group : {"abc", "255.255.255.255", ""}) {
        ASSERT_EQ(0, OpenSenderSocket(kDefaultGroup, 47011));
        EXPECT_NE(0, OpenSenderSocket(group, 47011)) << group;
        EXPECT_NE(0, send(0));
    }
    test::ChannelListener listener(kDefaultGroup, 47011);
    ASSERT_TRUE(listener.ok());
    ASSERT_EQ(0, OpenSenderSocket(kDefaultGroup, 47011));
    std::atomic<int> replacements{0}, failures{0};
    std::thread broadcast([&] {
        for (std::uint32_t number = 0; number < 20 || replacements < 50; ++number) {
            if (send(number) != 0) ++failures;
        }
    });
    for (int i = 0; i < 50; ++i, ++replacements) {
        EXPECT_EQ(0, OpenSenderSocket(kDefaultGroup, i % 2 == 0 ? 47012 : 47011));
    }
    broadcast.join();
    EXPECT_EQ(0, failures.load());
    ScreenPacketHeader header;
    EXPECT_TRUE(listener.Next(&header, 1000));  // the datagrams did go out
    CloseSenderSocket();
    CloseSenderSocket();
    EXPECT_NE(0, send(0));
}

}  // namespace
}  // namespace telvo
