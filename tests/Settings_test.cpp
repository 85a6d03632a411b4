// Both programs' settings as their ini files and the sender's dialog hand them over.
#include <gtest/gtest.h>

#include "sender/SenderProfile.h"
#include "sender/SettingsText.h"
#include "tests/MemorySection.h"
#include "viewer/app/ViewerSettings.h"
#include "viewer/app/WindowTitle.h"

namespace telvo {
namespace {

TEST(SenderSettings, StoredValuesComeBackAndBadOrTypedOnesAreHarmless) {
    test::MemorySection section;
    section.values = {{L"CaptureInterval", L"7000"}, {L"Channel", L"3"}, {L"BasePort", L"70000"}};
    SenderSettings settings;
    LoadSenderSettings(section, settings);
    EXPECT_EQ(7000u, settings.captureInterval.load());
    EXPECT_EQ(4464, settings.basePort);  // the low 16 bits of 70000
    SaveSenderSettings(section, settings);
    EXPECT_EQ(L"3", section.values[L"Channel"]);
    for (const wchar_t* channel : {L"0", L"9", L"-1"}) {  // no channel a viewer can choose
        section.values = {{L"Channel", channel}};
        LoadSenderSettings(section, settings);
        EXPECT_EQ(2u, settings.channelIndex.load()) << channel;
    }
    // An adapter and a time-to-live come back; no address or no time-to-live changes nothing.
    section.values = {{L"Interface", L"192.168.10.7"}, {L"TTL", L"4"}};
    LoadSenderSettings(section, settings);
    SaveSenderSettings(section, settings);
    EXPECT_EQ(L"192.168.10.7", section.values[L"Interface"]);
    EXPECT_EQ(L"4", section.values[L"TTL"]);
    for (const wchar_t* ttl : {L"0", L"256", L"-1"}) {
        section.values = {{L"Interface", L"eth0"}, {L"TTL", ttl}};
        LoadSenderSettings(section, settings);
        EXPECT_EQ(0u, settings.interfaceAddress.load()) << ttl;  // the system's choice
        EXPECT_EQ(4u, settings.ttl.load()) << ttl;
    }
    SaveSenderSettings(section, settings);
    EXPECT_EQ(L"", section.values[L"Interface"]);
    EXPECT_EQ(1000000u, CaptureIntervalFromText(L"1,000"));  // as the up-down control writes it
    for (const wchar_t* text : {L"0", L"6", L"x"}) EXPECT_EQ(1u, ChannelIndexFromText(text, 1));
}

// Values are taken as they stand (a port by its low 16 bits) and written back as read; a stored
// channel shows in the title as it was stored, however large.
TEST(ViewerSettings, ValuesAreTakenAsTheyStand) {
    test::MemorySection file;
    file.values = {{L"Channel", L"-1"},
                   {L"BasePort", L"70000"},
                   {L"SaveInterval", L"-5"},
                   {L"Interface", L"10.0.0.5"}};
    file.values[L"SaveDir"] = std::wstring(2000, L'd');
    ViewerSettings settings;
    settings.toAddress = L"239.1.1.1";  // an absent key keeps the current value
    settings.LoadSettings(file);
    settings.SaveSettings(file);
    const decltype(file.values) written = {
        {L"Channel", L"4294967295"}, {L"ToAddress", L"239.1.1.1"},
        {L"BasePort", L"4464"},      {L"SaveDir", std::wstring(1023, L'd')},
        {L"SaveInterval", L"-5"},    {L"Interface", L"10.0.0.5"}};  // read, not written
    EXPECT_EQ(written, file.values);
    EXPECT_EQ(L"10.0.0.5", settings.interfaceAddress);
    file.values = {{L"Channel", L"-2147483648"}};
    settings.LoadSettings(file);
    EXPECT_EQ(L"TelvoClient - Channel -2147483648 [No.-1] 連続保存中",
              FormatWindowTitle(settings.channelIndex, 0xFFFFFFFF, true));
}

}  // namespace
}  // namespace telvo
