// Saving in the real TelvoClient.exe under Wine: the commands, the dialog, the files they leave.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "protocol/ScreenBitmap.h"
#include "tests/win/ProgramDriver.h"
#include "viewer/res/resource.h"
#include "viewer/save/PictureWriter_win.h"
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
    // Chooses `saveDir` (and `interval`) in the save settings dialog, which the settings command
    // opens unless another did; returns once the settings are written. `interval` shown before.
    void Choose(const std::wstring& saveDir, const wchar_t* interval = nullptr) {
        if (interval == nullptr) Command(ID_SAVE_SETTINGS);
        const HWND dialog = Dialog(L"保存設定");
        ASSERT_NE(nullptr, dialog);
        intervalShown = test::WindowText(GetDlgItem(dialog, IDC_SAVE_INTERVAL_EDIT));
        SetDlgItemTextW(dialog, IDC_SAVE_DIR_EDIT, saveDir.c_str());
        if (interval != nullptr) SetDlgItemTextW(dialog, IDC_SAVE_INTERVAL_EDIT, interval);
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(test::WaitForWindowGone(dialog, kWaitMs));
        SendMessageW(frame, WM_NULL, 0, 0);
    }

    std::wstring intervalShown;
};

// A full folder is left without a cut-short picture and the user is told, once for continuous
// save. A folder that does not answer (a test build's save waits while the test holds it) holds
// neither the painting nor the reception, and the file written then is the picture of F5.
TEST_F(Saving, AFullFolderKeepsNoCutShortPictureAndASlowOneHoldsNothingElse) {
    const char* small = std::getenv("TELVO_TEST_SMALL_FOLDER");
    if (small == nullptr) GTEST_SKIP() << "needs the 1 MB folder that tools/netns.sh mounts";
    std::string full = std::string("Z:") + small;
    for (char& c : full) c = c == '/' ? '\\' : c;
    const std::wstring fullFolder(full.begin(), full.end());
    const std::wstring hold = L"TelvoHoldSave" + std::to_wstring(GetCurrentProcessId());
    const UniqueKernelHandle held(CreateEventW(nullptr, TRUE, FALSE, hold.c_str()));
    const UniqueKernelHandle waiting(
        CreateEventW(nullptr, TRUE, FALSE, (hold + L".waiting").c_str()));
    ASSERT_TRUE(held && waiting && SetEnvironmentVariableW(L"TELVO_TEST_HOLD_SAVE", hold.c_str()));
    SetEvent(held.get());  // not held yet
    Start("[TelvoClient]\r\nBasePort=48900\r\nSaveDir=" + full + "\r\nSaveInterval=1\r\n");
    SetEnvironmentVariableW(L"TELVO_TEST_HOLD_SAVE", nullptr);
    const auto picture = test::MakeDesktopPicture(800, 600, 1);  // 1,440,054 bytes
    ASSERT_TRUE(ShowOn(48900, picture));

    test::TypeKey(frame, VK_F5);
    EXPECT_EQ(0u, AnswerMessage(L"現在の画面を保存").find(L"画像の保存に失敗しました。\r\n["));
    EXPECT_TRUE(FilesIn(fullFolder, L"").empty());
    Command(ID_CONTINUOUS_SAVE);
    ASSERT_NE(nullptr, Dialog(L"連続保存"));
    EXPECT_FALSE(CaptionHas(L"連続保存中"));  // already while the box is up
    EXPECT_NE(
        std::wstring::npos,
        AnswerMessage(L"連続保存").find(L"画像の保存に失敗したため、連続保存を停止しました。"));
    EXPECT_TRUE(NoMessageAfterEarlierCommands(L"連続保存"));  // one box only

    // Held in its file creation, a save leaves the view painting and pictures coming.
    Choose(shots);
    ResetEvent(held.get());
    test::TypeKey(frame, VK_F5);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(waiting.get(), kWaitMs));
    const COLORREF blue = RGB(20, 40, 220);
    ++number;
    EXPECT_TRUE(ShowOn(48900, test::MakePicture(400, 300, [&](int, int) { return blue; })));
    EXPECT_TRUE(WaitUntil([&] {
        const test::ScreenPixels pixels(view);
        return pixels.at(10, 10) == blue;
    }));
    DWORD fastest = MAXDWORD;
    for (int i = 0; i < 5; ++i) {  // the best of a few: the machine may be busy
        InvalidateRect(view, nullptr, FALSE);
        const DWORD start = GetTickCount();
        DWORD_PTR answer = 0;
        ASSERT_TRUE(SendMessageTimeoutW(view, WM_PAINT, 0, 0, SMTO_BLOCK, 5000, &answer));
        fastest = std::min(fastest, GetTickCount() - start);
    }
    EXPECT_LT(fastest, 100u) << " ms, the fastest paint while a save is held";
    EXPECT_TRUE(FilesIn(shots, L"").empty());
    SetEvent(held.get());
    const std::wstring saved = AnswerMessage(L"現在の画面を保存");
    ASSERT_EQ(0u, saved.find(L"「" + shots + L"\\O_"));
    EXPECT_EQ(picture, ReadBytes(saved.substr(1, saved.find(L"」") - 1)));
}

// Saves of one name: "_2", "_3" ... and never a replaced file.
TEST(PictureWriter, ANameThatIsTakenGetsANumber) {
    const std::wstring folder = test::MakeFreshFolder(L"names");
    ASSERT_FALSE(folder.empty());
    const std::wstring path = folder + L"\\O_20050614_090503_007.bmp";
    const PictureCopy picture = CopyPicture(reinterpret_cast<const std::uint8_t*>("BMx"), 3);
    EXPECT_EQ(path, WriteCurrentPicture(picture, path).path);
    EXPECT_EQ(folder + L"\\O_20050614_090503_007_2.bmp", WriteCurrentPicture(picture, path).path);
    ASSERT_TRUE(test::WriteFileBytes(folder + L"\\O_20050614_090503_007_3.bmp", "other"));
    EXPECT_EQ(folder + L"\\O_20050614_090503_007_4.bmp", WriteCurrentPicture(picture, path).path);
    EXPECT_EQ(L"other", test::ReadFileText(folder + L"\\O_20050614_090503_007_3.bmp"));
    EXPECT_EQ(4u, FilesIn(folder, L"").size());  // no temporary file left
}

std::string Encode(UINT codePage, const std::wstring& text) {
    std::string bytes(text.size() * 4, '\0');
    bytes.resize(WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                     bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                     nullptr));
    return bytes;
}

// Continuous save asks for a folder, then saves every second, the whole buffer (the zeros after the
// rows too; single saves and memos copy and write the picture the same way); a memo says why it
// cannot open the file. The folder's name fits no ANSI code page: the old ANSI settings file is
// converted whole to keep it, a UTF-8 one (without a byte-order mark) as soon as it is read; a file
// that another program holds, or that no conversion would keep, is left alone.
TEST_F(Saving, AFolderInAnyLanguageIsAskedForUsedBySavesAndMemosAndSurvivesARestart) {
    // A file from before in the ANSI code page (cp932 here), with a comment and another section.
    const std::wstring before = L"; 教室の設定\r\n[Other]\r\nName=日本語\r\n[TelvoClient]\r\n";
    Start(Encode(CP_ACP, before) + "Channel=1\r\nSaveInterval=-5\r\n");  // -5 s would wrap
    const std::wstring chosen = shots + L"\\写真_Φάκελος";  // the accented Greek is not in cp932
    ASSERT_TRUE(CreateDirectoryW(chosen.c_str(), nullptr));
    const auto picture = test::MakeDesktopPicture(320, 240, 1, NeededLength(320, 240) + 700);
    ASSERT_TRUE(ShowOn(54321, picture));
    {  // Another program has the file open: it cannot be replaced and stays as it was.
        const std::wstring old = Ini();
        const UniqueFile held(CreateFileW(IniPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        Command(ID_CONTINUOUS_SAVE);
        EXPECT_NE(L"(no message)", AnswerMessage(L"連続保存"));
        Choose(chosen, L"1");
        EXPECT_EQ(L"0", intervalShown);  // below one is none
        EXPECT_EQ(old, Ini());
        EXPECT_TRUE(FilesIn(folder, L"tlv").empty());
    }
    // Continuous save starts once the folder is set.
    EXPECT_TRUE(
        WaitUntil([&] { return FilesIn(chosen, L"P_").size() >= 2; }, std::chrono::seconds(10)));
    EXPECT_TRUE(CaptionHas(L" 連続保存中"));
    for (const std::wstring& path : FilesIn(chosen, L"P_")) EXPECT_EQ(picture, ReadBytes(path));
    Choose(chosen);
    const std::wstring after =
        L"Channel=1\r\nSaveInterval=1\r\nToAddress=224.3.2.1\r\nBasePort=54321\r\nSaveDir=" +
        chosen + L"\r\n";
    EXPECT_EQ(L"\xFEFF" + before + after, Ini());

    // A fresh prefix has no program for .bmp: the memo hands its file to the shell, which says
    // why it cannot open it, and the file stays.
    Command(ID_MEMO);
    EXPECT_NE(L"(no message)", AnswerMessage(L"ﾒﾓを取る"));
    EXPECT_EQ(1u, FilesIn(chosen, L"O_").size());
    PostMessageW(frame, WM_CLOSE, 0, 0);
    ASSERT_TRUE(program.ExitsCleanly(kWaitMs));

    // The same in UTF-8, as Notepad writes it: read right, and kept whole.
    Start(Encode(CP_UTF8, before + after));
    EXPECT_EQ(L"\xFEFF" + before + after, Ini());
    ASSERT_TRUE(ShowOn(54321, test::MakeDesktopPicture(160, 120, 5)));
    test::TypeKey(frame, VK_F5);
    EXPECT_EQ(0u, AnswerMessage(L"現在の画面を保存").find(L"「" + chosen + L"\\O_"));
    EXPECT_EQ(2u, FilesIn(chosen, L"O_").size());
    PostMessageW(frame, WM_CLOSE, 0, 0);
    ASSERT_TRUE(program.ExitsCleanly(kWaitMs));

    // Bytes that are neither UTF-8 nor cp932 text: the start-up's save and a channel switch
    // store nothing, and one box says so.
    const std::string unconvertible = "; \x81\x20\xFF\r\n[TelvoClient]\r\nChannel=1\r\n";
    ASSERT_TRUE(test::WriteFileBytes(IniPath(), unconvertible));
    ASSERT_TRUE(program.Start(folder + L"\\TelvoClient.exe", folder));
    EXPECT_NE(std::wstring::npos, AnswerMessage(L"TelvoClient").find(L"そのままにしました。"));
    frame = test::WaitForWindow(program.id, L"CMainFrame", nullptr, kWaitMs, true);
    ASSERT_NE(nullptr, frame);
    test::TypeKey(frame, '2', true);
    ASSERT_TRUE(CaptionBecomes(L"Channel 2"));
    EXPECT_TRUE(NoMessageAfterEarlierCommands(L"TelvoClient"));
    EXPECT_EQ(std::wstring(unconvertible.begin(), unconvertible.end()), Ini());
}

}  // namespace
}  // namespace telvo
