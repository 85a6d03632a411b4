// Both programs' settings as their ini files and dialogs hand them over; saved pictures' names.
#include <gtest/gtest.h>

#include <cwctype>
#include <tuple>

#include "sender/ScreenChoice.h"
#include "sender/SenderProfile.h"
#include "sender/SettingsText.h"
#include "tests/MemorySection.h"
#include "viewer/app/ViewerSettings.h"
#include "viewer/app/WindowTitle.h"
#include "viewer/save/PictureFileName.h"
#include "viewer/save/SaveSettingsInput.h"

namespace telvo {
namespace {

TEST(SenderSettings, StoredValuesComeBackExactlyAndNonsenseIsReadAsTheDefault) {
    test::MemorySection section;
    section.values = {
        {L"CaptureInterval", L"9999000"}, {L"Channel", L" 3 "}, {L"BasePort", L"65531"}};
    SenderSettings settings;
    LoadSenderSettings(section, settings);
    EXPECT_EQ(9999000u, settings.captureInterval.load());
    EXPECT_EQ(65531, settings.basePort);  // channel 5 on 65535
    SaveSenderSettings(section, settings);
    EXPECT_EQ(L"3", section.values[L"Channel"]);
    const SenderSettings defaults;
    for (const wchar_t* bad : {L"abc", L"", L"-1", L"0", L"65532", L"70000", L"12x", L"1e3"}) {
        section.values = {{L"CaptureInterval", std::iswdigit(bad[0]) ? L"9999001" : bad},
                          {L"Channel", bad},
                          {L"BasePort", bad}};
        SenderSettings read;
        LoadSenderSettings(section, read);
        EXPECT_EQ(std::tuple(defaults.captureInterval.load(), 0u, defaults.basePort),
                  std::tuple(read.captureInterval.load(), read.channelIndex.load(), read.basePort));
    }
    // No address is the system's adapter; a time-to-live out of range keeps the one before.
    section.values = {{L"Interface", L"192.168.10.7"}, {L"TTL", L"4"}};
    LoadSenderSettings(section, settings);
    for (const wchar_t* ttl : {L"0", L"256", L"-1", L"9x"}) {
        section.values = {{L"Interface", L"eth0"}, {L"TTL", ttl}};
        LoadSenderSettings(section, settings);
        EXPECT_EQ(0u, settings.interfaceAddress.load()) << ttl;  // the system's choice
        EXPECT_EQ(4u, settings.ttl.load()) << ttl;
    }
    SaveSenderSettings(section, settings);
    EXPECT_EQ(L"", section.values[L"Interface"]);
    EXPECT_EQ(1000000u, CaptureIntervalFromText(L"1,000"));  // as the up-down control writes it
    for (const wchar_t* text : {L"0", L"6", L"x"}) EXPECT_EQ(1u, ChannelIndexFromText(text, 1));

    // A monitor is kept whether there or not; a missing one falls back to the primary one (the
    // tray program's test of a monitor unplugged) and stays on the list.
    for (const auto& [stored, read] :
         {std::pair(L"-1", -1), std::pair(L"7", 7), std::pair(L"-2", 0), std::pair(L"100", 0),
          std::pair(L"1.5", 0)}) {
        section.values = {{L"Monitor", stored}};
        SenderSettings fresh;
        LoadSenderSettings(section, fresh);
        EXPECT_EQ(read, fresh.monitor.load()) << stored;
    }
    const ScreenArea desktop{-1280, 0, 1920, 1080}, left{-1280, 0, 0, 1024}, main{0, 0, 1920, 1080};
    const std::vector<Monitor> monitors = {{left, false}, {main, true}};
    EXPECT_EQ(main, ChooseScreen(0, monitors, desktop).area);
    EXPECT_EQ(left, ChooseScreen(1, monitors, desktop).area);
    EXPECT_EQ(desktop, ChooseScreen(-1, monitors, desktop).area);
    std::vector<std::int32_t> listed;
    for (const MonitorChoice& choice : MonitorChoices(monitors, desktop, 3)) {
        listed.push_back(choice.monitor);
    }
    EXPECT_EQ((std::vector<std::int32_t>{0, 1, 2, 3, -1}), listed);
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
    EXPECT_EQ(L"TelvoClient - Channel -2147483648 [No.4294967295] 連続保存中",
              FormatWindowTitle(settings.channelIndex, 0xFFFFFFFF, true));
}

TEST(SaveText, PictureNamesAndSaveSettings) {
    EXPECT_EQ(L"C:\\shots\\O_20050614_090503_007.bmp",
              PictureFilePath(L"C:\\shots\\", SaveKind::kSingle, {2005, 6, 14, 9, 5, 3, 7}));
    EXPECT_EQ(L"C:\\s\\P_1_12.bmp", NumberedPicturePath(L"C:\\s\\P_1.bmp", 12));

    // The folder is checked first; an empty one is accepted.
    using Field = SaveSettingsInput::Field;
    EXPECT_EQ(Field::kFolder, CheckSaveSettings(std::wstring(257, L'a'), L"x").failedField);
    for (const wchar_t* bad : {L"", L"  ", L"-1", L"1.5", L"abc", L"0", L"65536", L"4294967297"}) {
        EXPECT_EQ(Field::kInterval, CheckSaveSettings(std::wstring(256, L'a'), bad).failedField);
    }
    const SaveSettingsInput good = CheckSaveSettings(L"", L" 65535 ");
    EXPECT_EQ(Field::kNone, good.failedField);
    EXPECT_EQ(65535u, good.intervalSeconds);
}

}  // namespace
}  // namespace telvo
