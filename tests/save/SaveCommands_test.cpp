// Saving in the real TelvoClient.exe under Wine, fed by a test sender: the save, memo and
// continuous-save commands, the save settings dialog, and the files they leave.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/Socket.h"
#include "protocol/ScreenBitmap.h"
#include "tests/NetworkTest.h"
#include "tests/TestPicture.h"
#include "tests/viewer/ViewerTestSupport_win.h"
#include "tests/win/ProgramDriver.h"
#include "viewer/res/resource.h"
#include "win/WinHandles.h"

namespace telvo {
namespace {

using test::WaitUntil;

constexpr DWORD kWaitMs = 15000;
constexpr int kSave = ID_SAVE, kContinuousSave = ID_CONTINUOUS_SAVE,
              kSaveSettings = ID_SAVE_SETTINGS, kMemo = ID_MEMO;
constexpr int kMessageText = 0xFFFF;  // the text of a message box

std::vector<std::uint8_t> ReadBytes(const std::wstring& path) {
    const std::wstring text = test::ReadFileText(path);
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::vector<std::wstring> FilesIn(const std::wstring& folder, const wchar_t* pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

class Saving : public ::testing::Test {
  protected:
    void SetUp() override {
        TELVO_REQUIRE_TEST_NETWORK();
        ASSERT_EQ(0, StartSockets(1, 1));
        folder = test::MakeFreshFolder(L"saving");
        shots = folder + L"\\shots";
        ASSERT_TRUE(CreateDirectoryW(shots.c_str(), nullptr));
        executable = test::CopyInto(test::BuildPath(L"viewer\\TelvoClient.exe"), folder);
        ASSERT_FALSE(executable.empty());
    }

    void Start(const std::string& ini) {
        if (!ini.empty()) ASSERT_TRUE(test::WriteFileBytes(folder + L"\\TelvoClient.ini", ini));
        ASSERT_TRUE(program.Start(executable, folder));
        frame = test::WaitForWindow(program.id(), L"CMainFrame", nullptr, kWaitMs);
        ASSERT_NE(nullptr, frame);
        ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(frame) != 0; }));
    }
    std::string IniWithShots(int interval) const {
        const std::string path(shots.begin(), shots.end());
        return "[TelvoClient]\r\nChannel=1\r\nSaveDir=" + path +
               "\r\nSaveInterval=" + std::to_string(interval) + "\r\n";
    }
    void Show(const std::vector<std::uint8_t>& picture) {
        ASSERT_TRUE(test::SendUntilShown(54321, picture, &number, [&] {
            return test::WindowText(frame).find(L"[No." + std::to_wstring(number) + L"]") !=
                   std::wstring::npos;
        }));
    }
    // The message box `caption` of the program: its text, after which it is closed with OK.
    std::wstring AnswerMessage(const wchar_t* caption) {
        const HWND box = test::WaitForDialog(program.id(), caption, kWaitMs);
        if (box == nullptr) return L"(no message)";
        const std::wstring text = test::ItemText(box, kMessageText);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        test::WaitForWindowGone(box, kWaitMs);
        return text;
    }
    void Command(int id) { PostMessageW(frame, WM_COMMAND, id, 0); }
    // No box `caption` is open once the commands posted before this call have been handled:
    // the about box, asked for after them, proves they have.
    bool NoMessageAfterEarlierCommands(const wchar_t* caption) {
        Command(ID_APP_ABOUT);
        const HWND about = test::WaitForDialog(program.id(), L"TelvoClientのﾊﾞｰｼﾞｮﾝ情報", kWaitMs);
        const bool none = test::WaitForWindow(program.id(), L"#32770", caption, 0) == nullptr;
        PostMessageW(about, WM_COMMAND, IDOK, 0);
        test::WaitForWindowGone(about, kWaitMs);
        return about != nullptr && none;
    }

    std::wstring folder, shots, executable;
    test::Program program;
    HWND frame = nullptr;
    std::uint32_t number = 1;
};

// From a settings file with no folder and a hand-edited interval below one: continuous save asks
// for a folder, the dialog refuses bad values in order, then pictures are saved continuously and
// once, byte for byte, and continuous save ends without a word when its folder goes.
TEST_F(Saving, AFolderIsAskedForCheckedAndUsedByContinuousAndSingleSaves) {
    Start("[TelvoClient]\r\nChannel=1\r\nSaveInterval=-5\r\n");  // -5 s would wrap
    const auto picture = test::MakeDesktopPicture(320, 240, 1, NeededLength(320, 240) + 700);
    Show(picture);
    Command(kContinuousSave);
    EXPECT_EQ(L"保存先を設定してください。", AnswerMessage(L"連続保存"));
    const HWND dialog = test::WaitForDialog(program.id(), L"保存設定", kWaitMs);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(L"0", test::ItemText(dialog, IDC_SAVE_INTERVAL_EDIT));  // below one is none
    struct Case {
        std::wstring folder, interval, message;
    };
    const Case cases[] = {
        {std::wstring(257, L'x'), L"x", L"256 文字以内で入力してください。"},
        {shots, L"", L"正の整数を入力してください。"},
        {shots, L"0", L"1 から 65535 までの整数を入力してください。"},
        {shots, L"65536", L"1 から 65535 までの整数を入力してください。"},
        {shots, L"1", L""},
    };
    for (const Case& c : cases) {
        SendMessageW(GetDlgItem(dialog, IDC_SAVE_DIR_EDIT), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(c.folder.c_str()));
        SendMessageW(GetDlgItem(dialog, IDC_SAVE_INTERVAL_EDIT), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(c.interval.c_str()));
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        if (c.message.empty()) break;
        EXPECT_EQ(c.message, AnswerMessage(L"TelvoClient")) << c.interval;
        EXPECT_TRUE(IsWindow(dialog));  // still open
    }
    ASSERT_TRUE(test::WaitForWindowGone(dialog, kWaitMs));

    // Continuous save starts once the folder is set: a file a second, each the picture.
    EXPECT_TRUE(WaitUntil([&] { return FilesIn(shots, L"P_*.bmp").size() >= 3; },
                          std::chrono::seconds(10)));
    EXPECT_NE(std::wstring::npos, test::WindowText(frame).find(L" 連続保存中"));
    for (const std::wstring& name : FilesIn(shots, L"P_*.bmp")) {
        EXPECT_EQ(picture, ReadBytes(shots + L"\\" + name));
    }
    const std::wstring ini = test::ReadFileText(folder + L"\\TelvoClient.ini");
    EXPECT_NE(std::wstring::npos, ini.find(L"SaveDir=" + shots + L"\r\n"));
    EXPECT_NE(std::wstring::npos, ini.find(L"SaveInterval=1\r\n"));

    // The folder goes: the next write fails, and continuous save ends without a word.
    ASSERT_TRUE(WaitUntil([&] {
        for (const std::wstring& name : FilesIn(shots, L"*.bmp"))
            DeleteFileW((shots + L"\\" + name).c_str());
        return RemoveDirectoryW(shots.c_str()) != 0;
    }));
    EXPECT_TRUE(WaitUntil(
        [&] {
            Show(picture);  // a new picture refreshes the title
            return test::WindowText(frame).find(L"連続保存中") == std::wstring::npos;
        },
        std::chrono::seconds(10)));
    EXPECT_TRUE(NoMessageAfterEarlierCommands(L"連続保存"));

    // A single save: the whole buffer, the zeros after the rows too, under the time's name.
    ASSERT_TRUE(CreateDirectoryW(shots.c_str(), nullptr));
    Command(kSave);
    const std::wstring saved = AnswerMessage(L"現在の画面を保存");
    ASSERT_EQ(0u, saved.find(L"「" + shots + L"\\O_"));
    const std::wstring path = saved.substr(1, saved.find(L"」") - 1);
    EXPECT_EQ(L"」に保存しました。", saved.substr(saved.find(L"」")));
    EXPECT_EQ(picture, ReadBytes(path));
    EXPECT_EQ(25u, path.size() - shots.size() - 1);  // O_YYYYMMDD_HHMMSS_mmm.bmp
    // Windows' own bitmap loader reads it as a 24-bit picture of the sender's size.
    const UniqueGdiObject loaded(LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                            LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    DIBSECTION section{};
    ASSERT_EQ(static_cast<int>(sizeof section), GetObjectW(loaded.get(), sizeof section, &section));
    EXPECT_EQ(320, section.dsBm.bmWidth);
    EXPECT_EQ(240, section.dsBm.bmHeight);
    EXPECT_EQ(24, section.dsBm.bmBitsPixel);
}

// A program for bitmap files, registered for the test and removed again whatever happens.
class BitmapProgram {
  public:
    explicit BitmapProgram(const std::wstring& command) {
        ok_ = SetDefault(L".bmp", L"TelvoTestBitmap") &&
              SetDefault(L"TelvoTestBitmap\\shell\\open\\command", command);
    }
    ~BitmapProgram() {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L"TelvoTestBitmap");
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L".bmp");
    }
    bool ok() const { return ok_; }

  private:
    static bool SetDefault(const wchar_t* keyName, const std::wstring& value) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, keyName, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS) {
            return false;
        }
        const LONG result =
            RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
        return result == ERROR_SUCCESS;
    }
    bool ok_ = false;
};

TEST_F(Saving, AMemoOpensTheFileWithTheProgramForBitmapsOrSaysWhyNot) {
    Start(IniWithShots(60));
    Show(test::MakeDesktopPicture(160, 120, 3));
    Command(kMemo);  // a fresh prefix has no program for .bmp
    EXPECT_EQ(
        L"画像の表示に失敗しました。\r\n[指定されたファイル拡張子に関連付けられたアプリケーション"
        L"がありません。印刷可能ではないファイルを印刷しようとした場合も、このエラーが返ります。]",
        AnswerMessage(L"ﾒﾓを取る"));
    EXPECT_EQ(1u, FilesIn(shots, L"O_*.bmp").size());  // the file stays

    // With a program for .bmp (one that notes what it was asked to open), the memo opens it.
    const std::wstring opened = folder + L"\\opened.txt";
    const BitmapProgram program_(L"cmd.exe /c echo %1> \"" + opened + L"\"");
    ASSERT_TRUE(program_.ok());
    Command(kMemo);
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
        Command(kSaveSettings);
        const HWND dialog = test::WaitForDialog(program.id(), L"保存設定", kWaitMs);
        ASSERT_NE(nullptr, dialog);
        SendMessageW(GetDlgItem(dialog, IDC_SAVE_DIR_EDIT), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(chosen.c_str()));
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(test::WaitForWindowGone(dialog, kWaitMs));
        SendMessageW(frame, WM_NULL, 0, 0);  // answered once the settings are written
    };
    const std::wstring ini = folder + L"\\TelvoClient.ini";
    {  // Another program has the file open: it cannot be replaced and stays as it was.
        const std::wstring old = test::ReadFileText(ini);
        const UniqueFile held(CreateFileW(ini.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        choose();
        EXPECT_EQ(old, test::ReadFileText(ini));
        EXPECT_TRUE(FilesIn(folder, L"tlv*").empty());
    }
    choose();
    EXPECT_EQ(L"\xFEFF" + before +
                  L"Channel=1\r\nToAddress=224.3.2.1\r\nBasePort=54321\r\nSaveDir=" + chosen +
                  L"\r\nSaveInterval=60\r\n",
              test::ReadFileText(ini));
    PostMessageW(frame, WM_CLOSE, 0, 0);
    ASSERT_TRUE(program.WaitExit(kWaitMs));

    Start("");
    Show(test::MakeDesktopPicture(160, 120, 5));
    test::TypeKey(frame, VK_F5);
    EXPECT_EQ(0u, AnswerMessage(L"現在の画面を保存").find(L"「" + chosen + L"\\O_"));
    EXPECT_EQ(1u, FilesIn(chosen, L"O_*.bmp").size());
}

}  // namespace
}  // namespace telvo
