// The broadcast loop with the real desktop capture and sender socket, received over multicast
// loopback by telvo_listen in another process.
#include <gtest/gtest.h>

#include <vector>

#include "sender/DesktopBroadcastHost_win.h"
#include "sender/ScreenCapture_win.h"
#include "tests/NetworkTest.h"
#include "tests/win/ProgramDriver.h"

namespace telvo {
namespace {

TEST(BroadcastToListener, AViewerGetsTheScreenByteForByte) {
    TELVO_REQUIRE_TEST_NETWORK();
    const std::wstring folder = test::MakeFreshFolder(L"broadcast");
    test::Program listener;
    ASSERT_TRUE(
        listener.Start(test::BuildPath(L"tools\\telvo_listen.exe"), folder,
                       L"--channel 2 --base-port 47600 --count 3 --seconds 60 --save-dir ."));
    SenderSettings settings;
    settings.basePort = 47600;
    settings.channelIndex = 1;
    settings.captureInterval = 200;
    DesktopBroadcastHost host(nullptr);
    Broadcaster broadcaster(settings, host);
    ASSERT_EQ(0, broadcaster.Start());
    DWORD code = 1;
    EXPECT_TRUE(listener.WaitExit(30000, &code));
    EXPECT_EQ(0u, code);
    broadcaster.Stop();
    ASSERT_TRUE(test::WaitUntil([&] { return !broadcaster.threadRunning(); }));

    HeapBlock screen;  // unchanged since: no window came or went
    ASSERT_TRUE(CaptureWindow(GetDesktopWindow(), screen));
    const std::vector<std::uint8_t> expected(screen.get(), screen.get() + screen.capacity());
    int compared = 0;
    for (std::uint32_t number = 0; number < broadcaster.pictureCounter(); ++number) {
        const std::wstring saved =
            test::ReadFileText(folder + L"\\No." + std::to_wstring(number) + L".bmp");
        if (saved.empty()) continue;
        EXPECT_EQ(expected, std::vector<std::uint8_t>(saved.begin(), saved.end())) << number;
        ++compared;
    }
    EXPECT_EQ(3, compared);
}

}  // namespace
}  // namespace telvo
