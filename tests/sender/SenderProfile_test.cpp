#include "sender/SenderProfile.h"

#include <gtest/gtest.h>

#include <utility>

#include "sender/SettingsText.h"
#include "tests/MemorySection.h"

namespace telvo {
namespace {

TEST(SenderProfile, StoredValuesComeBackAndBadOnesKeepTheField) {
    test::MemorySection section;
    section.values = {{L"CaptureInterval", L"5,000"},
                      {L"Channel", L"3"},
                      {L"Compress", L"0"},
                      {L"ToAddress", L"239.1.2.3"},
                      {L"BasePort", L"70000"}};
    SenderSettings settings;
    LoadSenderSettings(section, settings);
    EXPECT_EQ(5u, settings.captureInterval.load());  // the profile functions stop at the comma
    EXPECT_EQ(2u, settings.channelIndex.load());
    EXPECT_EQ(0, settings.compress.load());
    EXPECT_STREQ("239.1.2.3", settings.toAddress);
    EXPECT_EQ(4464, settings.basePort);  // the low 16 bits of 70000
    SaveSenderSettings(section, settings);
    EXPECT_EQ(5u, section.written.size());
    EXPECT_EQ(L"3", section.values[L"Channel"]);

    for (const wchar_t* channel : {L"0", L"9", L"-1"}) {  // no channel a viewer can choose
        section.values = {{L"Channel", channel}, {L"ToAddress", L"日本" + std::wstring(300, L'9')}};
        LoadSenderSettings(section, settings);
        EXPECT_EQ(2u, settings.channelIndex.load()) << channel;
    }
    EXPECT_EQ(kAddressTextSize - 1, std::char_traits<char>::length(settings.toAddress));
}

TEST(SettingsText, TypedTextNeverWrapsAndABadChannelKeepsTheCurrentOne) {
    const std::pair<const wchar_t*, std::uint32_t> intervals[] = {
        {L"5", 5000}, {L"1,000", 1000000}, {L"99999999999999999999", 9999000}, {L"", 0}};
    for (const auto& [text, ms] : intervals) EXPECT_EQ(ms, CaptureIntervalFromText(text)) << text;
    EXPECT_EQ(2u, ChannelIndexFromText(L"3", 0));
    for (const wchar_t* text : {L"0", L"6", L"x"}) EXPECT_EQ(1u, ChannelIndexFromText(text, 1));
}

}  // namespace
}  // namespace telvo
