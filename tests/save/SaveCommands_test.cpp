// Saving in the real TelvoClient.exe under Wine: the commands, the dialog, the files they leave.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "protocol/ScreenBitmap.h"
#include "tests/win/ProgramDriver.h"
#include "viewer/res/resource.h"
#include "win/WinHandles.h"

namespace telvo {
namespace {

using test::WaitUntil;

std::vector<std::uint8_t> ReadBytes(const std::wstring& path) {
    const std::wstring text = test::ReadFileText(path);
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

// The paths of the files in `folder` whose names begin with `prefix`.
std::vector<std::wstring> FilesIn(const std::wstring& folder, const std::wstring& prefix) {
    std::vector<std::wstring> paths;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.path().filename().wstring().rfind(prefix, 0) == 0) paths.push_back(entry.path());
    }
    return paths;
}

// A program for bitmap files, registered for the test and removed again whatever happens.
struct BitmapProgram {
    explicit BitmapProgram(const std::wstring& command)
        : ok(!RegSetValueW(HKEY_CLASSES_ROOT, L".bmp", REG_SZ, L"TelvoTestBitmap", 0) &&
             !RegSetValueW(HKEY_CLASSES_ROOT, L"TelvoTestBitmap\\shell\\open\\command", REG_SZ,
                           command.c_str(), 0)) {}
    ~BitmapProgram() {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L"TelvoTestBitmap");
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L".bmp");
    }
    const bool ok;
};

class Saving : public test::ClientTest {
  protected:
    // No box `caption` is open once the about box, asked for after earlier commands, shows.
    bool NoMessageAfterEarlierCommands(const wchar_t* caption) {
        Command(ID_APP_ABOUT);
        const HWND about = Dialog(L"TelvoClientのﾊﾞｰｼﾞｮﾝ情報");
        const bool none = test::WaitForWindow(program.id, L"#32770", caption, 0) == nullptr;
        PostMessageW(about, WM_COMMAND, IDOK, 0);
        test::WaitForWindowGone(about, kWaitMs);
        return about != nullptr && none;
    }
};

// Continuous save asks for a folder, then saves every second until its folder goes, without a word;
// a save writes the whole buffer; a memo says why it cannot open the file, or opens it.
TEST_F(Saving, AFolderIsAskedForCheckedAndUsedBySavesAndMemos) {
    Start("[TelvoClient]\r\nChannel=1\r\nSaveInterval=-5\r\n");  // -5 s would wrap
    const auto picture = test::MakeDesktopPicture(320, 240, 1, NeededLength(320, 240) + 700);
    ASSERT_TRUE(ShowOn(54321, picture));
    Command(ID_CONTINUOUS_SAVE);
    EXPECT_NE(L"(no message)", AnswerMessage(L"連続保存"));
    const HWND dialog = Dialog(L"保存設定");
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(L"0",
              test::WindowText(GetDlgItem(dialog, IDC_SAVE_INTERVAL_EDIT)));  // below one is none
    SetDlgItemTextW(dialog, IDC_SAVE_DIR_EDIT, shots.c_str());
    SetDlgItemTextW(dialog, IDC_SAVE_INTERVAL_EDIT, L"1");
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(test::WaitForWindowGone(dialog, kWaitMs));

    // Continuous save starts once the folder is set.
    EXPECT_TRUE(
        WaitUntil([&] { return FilesIn(shots, L"P_").size() >= 2; }, std::chrono::seconds(10)));
    EXPECT_TRUE(CaptionHas(L" 連続保存中"));
    for (const std::wstring& path : FilesIn(shots, L"P_")) EXPECT_EQ(picture, ReadBytes(path));
    EXPECT_NE(std::wstring::npos, Ini().find(L"SaveDir=" + shots + L"\r\n"));
    EXPECT_NE(std::wstring::npos, Ini().find(L"SaveInterval=1\r\n"));

    // The folder goes: the next write fails.
    ASSERT_TRUE(WaitUntil([&] {
        for (const std::wstring& path : FilesIn(shots, L"")) DeleteFileW(path.c_str());
        return RemoveDirectoryW(shots.c_str()) != 0;
    }));
    EXPECT_TRUE(WaitUntil(
        [&] {
            ++number;  // a new picture refreshes the title
            return ShowOn(54321, picture) && !CaptionHas(L"連続保存中");
        },
        std::chrono::seconds(10)));
    EXPECT_TRUE(NoMessageAfterEarlierCommands(L"連続保存"));

    // A single save: the whole buffer, the zeros after the rows too.
    ASSERT_TRUE(CreateDirectoryW(shots.c_str(), nullptr));
    Command(ID_SAVE);
    const std::wstring saved = AnswerMessage(L"現在の画面を保存");
    ASSERT_EQ(0u, saved.find(L"「" + shots + L"\\O_"));
    const std::wstring path = saved.substr(1, saved.find(L"」") - 1);
    EXPECT_EQ(picture, ReadBytes(path));

    // A fresh prefix has no program for .bmp: the memo says so, and its file stays.
    Command(ID_MEMO);
    EXPECT_NE(L"(no message)", AnswerMessage(L"ﾒﾓを取る"));
    EXPECT_EQ(2u, FilesIn(shots, L"O_").size());
    // With a program for .bmp that notes what it opens.
    const std::wstring opened = folder + L"\\opened.txt";
    const BitmapProgram bitmapProgram(L"cmd.exe /c echo %1> \"" + opened + L"\"");
    ASSERT_TRUE(bitmapProgram.ok);
    Command(ID_MEMO);
    EXPECT_TRUE(
        WaitUntil([&] { return test::ReadFileText(opened).find(L"O_") != std::wstring::npos; }));
    EXPECT_TRUE(NoMessageAfterEarlierCommands(L"ﾒﾓを取る"));
}

TEST_F(Saving, AFolderInAnyLanguageSurvivesARestartAndTheOldFileIsConvertedWhole) {
    // A file from before in the ANSI code page (cp932 here), with a comment and another section.
    const std::wstring before = L"; 教室の設定\r\n[Other]\r\nName=日本語\r\n[TelvoClient]\r\n";
    std::string ansi(64, '\0');
    ansi.resize(WideCharToMultiByte(CP_ACP, 0, before.data(), static_cast<int>(before.size()),
                                    ansi.data(), 64, nullptr, nullptr));
    Start(ansi + "Channel=1\r\n");
    const std::wstring chosen = shots + L"\\写真_Φάκελος";  // the accented Greek is not in cp932
    ASSERT_TRUE(CreateDirectoryW(chosen.c_str(), nullptr));
    const auto choose = [&] {
        Command(ID_SAVE_SETTINGS);
        const HWND dialog = Dialog(L"保存設定");
        ASSERT_NE(nullptr, dialog);
        SetDlgItemTextW(dialog, IDC_SAVE_DIR_EDIT, chosen.c_str());
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(test::WaitForWindowGone(dialog, kWaitMs));
        SendMessageW(frame, WM_NULL, 0, 0);  // answered once the settings are written
    };
    {  // Another program has the file open: it cannot be replaced and stays as it was.
        const std::wstring old = Ini();
        const UniqueFile held(CreateFileW(IniPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        choose();
        EXPECT_EQ(old, Ini());
        EXPECT_TRUE(FilesIn(folder, L"tlv").empty());
    }
    choose();
    EXPECT_EQ(L"\xFEFF" + before +
                  L"Channel=1\r\nToAddress=224.3.2.1\r\nBasePort=54321\r\nSaveDir=" + chosen +
                  L"\r\nSaveInterval=60\r\n",
              Ini());
    PostMessageW(frame, WM_CLOSE, 0, 0);
    ASSERT_TRUE(program.ExitsCleanly(kWaitMs));

    Start();
    ASSERT_TRUE(ShowOn(54321, test::MakeDesktopPicture(160, 120, 5)));
    test::TypeKey(frame, VK_F5);
    EXPECT_EQ(0u, AnswerMessage(L"現在の画面を保存").find(L"「" + chosen + L"\\O_"));
    EXPECT_EQ(1u, FilesIn(chosen, L"O_").size());
}

}  // namespace
}  // namespace telvo
