#include "viewer/app/ViewerSettings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/MemorySection.h"

namespace telvo {
namespace {

using test::MemorySection;

TEST(ViewerSettings, WritesAllFiveKeysInOrderWithTheirDefaults) {
    ViewerSettings settings;
    MemorySection section;
    settings.LoadSettings(section);  // nothing stored: the defaults stay
    settings.SaveSettings(section);
    EXPECT_EQ((std::vector<std::wstring>{L"Channel=1", L"ToAddress=224.3.2.1", L"BasePort=54321",
                                         L"SaveDir=", L"SaveInterval=60"}),
              section.written);
}

TEST(ViewerSettings, ValuesAreTakenAsTheyStand) {
    MemorySection section;
    section.values = {{L"Channel", L"7"},
                      {L"BasePort", L"70000"},
                      {L"SaveInterval", L"-5"},
                      {L"SaveDir", std::wstring(2000, L'd')}};
    ViewerSettings settings;
    settings.toAddress = L"239.1.1.1";  // an absent key keeps the current value
    settings.LoadSettings(section);
    EXPECT_EQ(6, settings.channelIndex);
    EXPECT_EQ(4464, settings.basePort);  // low 16 bits
    EXPECT_EQ(-5, settings.saveInterval);
    EXPECT_EQ(kMaxSettingText, settings.saveDir.size());
    EXPECT_EQ(L"239.1.1.1", settings.toAddress);

    section.written.clear();
    settings.SaveSettings(section);
    EXPECT_EQ(L"Channel=7", section.written[0]);
    EXPECT_EQ(L"BasePort=4464", section.written[2]);

    // Channel numbers of any size round-trip; "%u" writes a negative one as its unsigned value.
    section.values = {{L"Channel", L"-1"}};
    settings.LoadSettings(section);
    EXPECT_EQ(-2, settings.channelIndex);
    section.written.clear();
    settings.SaveSettings(section);
    EXPECT_EQ(L"Channel=4294967295", section.written[0]);
    section.values = {{L"Channel", L"-2147483648"}};
    settings.LoadSettings(section);
    EXPECT_EQ(2147483647, settings.channelIndex);
}

}  // namespace
}  // namespace telvo
