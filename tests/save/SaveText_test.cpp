// Names of saved pictures and the save settings checks.
#include <gtest/gtest.h>

#include "viewer/save/PictureFileName.h"
#include "viewer/save/SaveSettingsInput.h"

namespace telvo {
namespace {

TEST(SaveText, PictureNamesCarryThePrefixAndTheTimeToTheMillisecond) {
    const LocalTime time{2005, 6, 14, 9, 5, 3, 7};
    EXPECT_EQ(L"C:\\shots\\O_20050614_090503_007.bmp",
              PictureFilePath(L"C:\\shots", SaveKind::kSingle, time));
    EXPECT_EQ(L"C:\\shots\\O_20050614_090503_007.bmp",
              PictureFilePath(L"C:\\shots\\", SaveKind::kSingle, time));
    EXPECT_EQ(L"C:\\shots\\P_20261231_235959_999.bmp",
              PictureFilePath(L"C:\\shots", SaveKind::kContinuous,
                              LocalTime{2026, 12, 31, 23, 59, 59, 999}));
}

TEST(SaveText, SaveSettingsAreCheckedInOrder) {
    using Field = SaveSettingsInput::Field;
    SaveSettingsInput input = CheckSaveSettings(std::wstring(257, L'a'), L"x");
    EXPECT_EQ(Field::kFolder, input.failedField);
    EXPECT_EQ(L"256 文字以内で入力してください。", input.message);
    for (const wchar_t* none : {L"", L"  ", L"-1", L"1.5", L"abc"}) {
        input = CheckSaveSettings(L"", none);
        EXPECT_EQ(Field::kInterval, input.failedField) << none;
        EXPECT_EQ(L"正の整数を入力してください。", input.message);
    }
    for (const wchar_t* outside : {L"0", L"65536", L"99999999999999"}) {
        input = CheckSaveSettings(std::wstring(256, L'a'), outside);
        EXPECT_EQ(Field::kInterval, input.failedField) << outside;
        EXPECT_EQ(L"1 から 65535 までの整数を入力してください。", input.message);
    }
    input = CheckSaveSettings(L"", L" 65535 ");  // an empty folder is accepted
    EXPECT_EQ(Field::kNone, input.failedField);
    EXPECT_EQ(65535u, input.intervalSeconds);
}

}  // namespace
}  // namespace telvo
