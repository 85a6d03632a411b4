// The broadcast loop with the real desktop capture and sender socket, received over multicast
// loopback by telvo_listen in another process: the pictures that arrive are the ones captured.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "sender/DesktopBroadcastHost_win.h"
#include "tests/NetworkTest.h"
#include "tests/win/ProgramDriver.h"

namespace telvo {
namespace {

// The desktop host, keeping a copy of the latest pictures it captured by number (the loop numbers
// them in capture order from 0). Read once the broadcast thread has ended.
class RecordingDesktopHost : public DesktopBroadcastHost {
  public:
    RecordingDesktopHost() : DesktopBroadcastHost(nullptr) {}
    bool CaptureScreen(HeapBlock& picture) override {
        if (!DesktopBroadcastHost::CaptureScreen(picture)) return false;
        captured[next++].assign(picture.get(), picture.get() + picture.capacity());
        if (captured.size() > 40) captured.erase(captured.begin());
        return true;
    }
    std::map<std::uint32_t, std::vector<std::uint8_t>> captured;
    std::uint32_t next = 0;
};

TEST(BroadcastToListener, TheListenerGetsThePicturesThatWereCaptured) {
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
    RecordingDesktopHost host;
    Broadcaster broadcaster(settings, host);
    ASSERT_EQ(0, broadcaster.Start());
    DWORD code = 1;
    EXPECT_TRUE(listener.WaitExit(30000, &code));
    EXPECT_EQ(0u, code);
    broadcaster.Stop();
    ASSERT_TRUE(test::WaitUntil([&] { return !broadcaster.threadRunning(); }));

    int compared = 0;
    for (const auto& [number, picture] : host.captured) {
        const std::wstring saved =
            test::ReadFileText(folder + L"\\No." + std::to_wstring(number) + L".bmp");
        if (saved.empty()) continue;
        EXPECT_EQ(picture, std::vector<std::uint8_t>(saved.begin(), saved.end())) << number;
        ++compared;
    }
    EXPECT_EQ(3, compared);
}

}  // namespace
}  // namespace telvo
