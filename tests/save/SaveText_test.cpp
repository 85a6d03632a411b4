// Names of saved pictures and the save settings checks.
#include <gtest/gtest.h>

#include "viewer/save/PictureFileName.h"
#include "viewer/save/SaveSettingsInput.h"

namespace telvo {
namespace {

TEST(SaveText, PictureNamesAndSaveSettings) {
    EXPECT_EQ(L"C:\\shots\\O_20050614_090503_007.bmp",
              PictureFilePath(L"C:\\shots\\", SaveKind::kSingle, {2005, 6, 14, 9, 5, 3, 7}));
    EXPECT_EQ(L"C:\\s\\P_1_12.bmp", NumberedPicturePath(L"C:\\s\\P_1.bmp", 12));

    // The folder is checked first; an empty one is accepted.
    using Field = SaveSettingsInput::Field;
    EXPECT_EQ(Field::kFolder, CheckSaveSettings(std::wstring(257, L'a'), L"x").failedField);
    for (const wchar_t* bad : {L"", L"  ", L"-1", L"1.5", L"abc", L"0", L"65536", L"4294967297"}) {
        EXPECT_EQ(Field::kInterval, CheckSaveSettings(std::wstring(256, L'a'), bad).failedField)
            << bad;
    }
    const SaveSettingsInput good = CheckSaveSettings(L"", L" 65535 ");
    EXPECT_EQ(Field::kNone, good.failedField);
    EXPECT_EQ(65535u, good.intervalSeconds);
}

}  // namespace
}  // namespace telvo
