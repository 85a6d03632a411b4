#include "sender/SenderProfile.h"

#include <gtest/gtest.h>

#include "sender/SettingsText.h"
#include "tests/MemorySection.h"

namespace telvo {
namespace {

TEST(SenderSettings, StoredValuesComeBackAndBadOrTypedOnesAreHarmless) {
    test::MemorySection section;
    section.values = {{L"CaptureInterval", L"7000"}, {L"Channel", L"3"}, {L"BasePort", L"70000"}};
    section.values[L"ToAddress"] = L"日本" + std::wstring(300, L'9');
    SenderSettings settings;
    LoadSenderSettings(section, settings);
    EXPECT_EQ(7000u, settings.captureInterval.load());
    EXPECT_EQ(4464, settings.basePort);  // the low 16 bits of 70000
    EXPECT_EQ(kAddressTextSize - 1, std::char_traits<char>::length(settings.toAddress));
    SaveSenderSettings(section, settings);
    EXPECT_EQ(L"3", section.values[L"Channel"]);
    for (const wchar_t* channel : {L"0", L"9", L"-1"}) {  // no channel a viewer can choose
        section.values = {{L"Channel", channel}};
        LoadSenderSettings(section, settings);
        EXPECT_EQ(2u, settings.channelIndex.load()) << channel;
    }
    // What the settings dialog makes of typed text.
    EXPECT_EQ(1000000u, CaptureIntervalFromText(L"1,000"));  // as the up-down control writes it
    EXPECT_EQ(9999000u, CaptureIntervalFromText(L"99999999999999999999"));
    EXPECT_EQ(0u, CaptureIntervalFromText(L""));
    EXPECT_EQ(2u, ChannelIndexFromText(L"3", 0));
    for (const wchar_t* text : {L"0", L"6", L"x"}) EXPECT_EQ(1u, ChannelIndexFromText(text, 1));
}

}  // namespace
}  // namespace telvo
