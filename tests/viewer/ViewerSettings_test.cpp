#include "viewer/app/ViewerSettings.h"

#include <gtest/gtest.h>

#include "tests/MemorySection.h"
#include "viewer/app/WindowTitle.h"

namespace telvo {
namespace {

// Values are taken as they stand (a port by its low 16 bits) and written back as read; a stored
// channel shows in the title as it was stored, however large.
TEST(ViewerSettings, ValuesAreTakenAsTheyStand) {
    test::MemorySection file;
    file.values = {{L"Channel", L"-1"}, {L"BasePort", L"70000"}, {L"SaveInterval", L"-5"}};
    file.values[L"SaveDir"] = std::wstring(2000, L'd');
    ViewerSettings settings;
    settings.toAddress = L"239.1.1.1";  // an absent key keeps the current value
    settings.LoadSettings(file);
    settings.SaveSettings(file);
    EXPECT_EQ(
        (std::vector<std::wstring>{L"Channel=4294967295", L"ToAddress=239.1.1.1", L"BasePort=4464",
                                   L"SaveDir=" + std::wstring(1023, L'd'), L"SaveInterval=-5"}),
        file.written);
    file.values = {{L"Channel", L"-2147483648"}};
    settings.LoadSettings(file);
    EXPECT_EQ(L"TelvoClient - Channel -2147483648 [No.-1] 連続保存中",
              FormatWindowTitle(settings.channelIndex, 0xFFFFFFFF, true));
}

}  // namespace
}  // namespace telvo
