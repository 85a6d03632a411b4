#include "sender/SenderProfile.h"

#include <gtest/gtest.h>

#include "sender/SettingsText.h"
#include "tests/MemorySection.h"

namespace telvo {
namespace {

TEST(SenderProfile, AnEmptyFileGivesTheDefaultsAndSavingWritesAllKeysInOrder) {
    test::MemorySection section;
    SenderSettings settings;
    LoadSenderSettings(section, settings);
    SaveSenderSettings(section, settings);
    EXPECT_EQ((std::vector<std::wstring>{L"CaptureInterval=5000", L"Compress=1", L"Channel=1",
                                         L"ToAddress=224.3.2.1", L"BasePort=54321"}),
              section.written);
}

TEST(SenderProfile, StoredValuesAndBadOnes) {
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
    EXPECT_EQ(L"Channel=3", section.written[2]);

    for (const wchar_t* channel : {L"0", L"9", L"-1"}) {  // no channel a viewer can choose
        section.values = {{L"Channel", channel}};
        SenderSettings fresh;
        fresh.channelIndex = 4;
        LoadSenderSettings(section, fresh);
        EXPECT_EQ(4u, fresh.channelIndex.load()) << channel;
    }
    section.values = {{L"ToAddress", std::wstring(300, L'9') + L"日本"}};
    SenderSettings longText;
    LoadSenderSettings(section, longText);
    EXPECT_EQ(kAddressTextSize - 1, std::char_traits<char>::length(longText.toAddress));
}

TEST(SettingsText, TheDialogBoxesText) {
    EXPECT_EQ(0u, CaptureIntervalFromText(L"0"));
    EXPECT_EQ(5000u, CaptureIntervalFromText(L"5"));
    EXPECT_EQ(1000000u, CaptureIntervalFromText(L"1,000"));  // as the up-down control writes it
    EXPECT_EQ(9999000u, CaptureIntervalFromText(L"9999"));
    EXPECT_EQ(9999000u, CaptureIntervalFromText(L"99999999999999999999"));  // never wraps
    EXPECT_EQ(0u, CaptureIntervalFromText(L""));
    EXPECT_EQ(2u, ChannelIndexFromText(L"3", 0));
    EXPECT_EQ(1u, ChannelIndexFromText(L"0", 1));
    EXPECT_EQ(1u, ChannelIndexFromText(L"6", 1));
    EXPECT_EQ(1u, ChannelIndexFromText(L"x", 1));
}

}  // namespace
}  // namespace telvo
