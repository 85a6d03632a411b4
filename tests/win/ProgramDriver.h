// Drives the real programs from a test under Wine, as a user would: starts an executable in a
// folder of its own, finds its windows and dialogs, reads their texts and pixels, types keys, and
// waits for it to end. Windows builds only.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/NetworkTest.h"
#include "win/WinHandles.h"

namespace telvo::test {

// A path below the build folder (the nearest folder above the test executable with a
// CMakeCache.txt).
std::wstring BuildPath(const wchar_t* relative);

// A new empty folder under the temporary folder; `name` makes it recognisable.
std::wstring MakeFreshFolder(const wchar_t* name);

// Copies `file` into `folder`, keeping its name. Returns the new path, or "" on failure.
std::wstring CopyInto(const std::wstring& file, const std::wstring& folder);

// A file's text: a UTF-16LE file with its byte-order mark (kept as U+FEFF), else bytes as ASCII.
std::wstring ReadFileText(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);

// A started program; ended (TerminateProcess) when the object goes if it still runs.
class Program {
  public:
    Program() = default;
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Start(const std::wstring& executable, const std::wstring& folder,
               const std::wstring& arguments = L"");
    // True when it ended within `timeoutMs`; its exit code goes to `code`.
    bool WaitExit(DWORD timeoutMs, DWORD* code = nullptr);
    bool running() const;
    DWORD id() const { return id_; }

  private:
    UniqueKernelHandle process_;
    DWORD id_ = 0;
};

// The first top-level window of process `processId` (hidden ones too) whose class and title match
// (nullptr matches any), waiting up to `timeoutMs` for it to appear. Null when none did.
HWND WaitForWindow(DWORD processId, const wchar_t* className, const wchar_t* title,
                   DWORD timeoutMs);

// A visible dialog (class #32770) of process `processId` with the caption `title`: once it is
// visible its initialisation is done.
HWND WaitForDialog(DWORD processId, const wchar_t* title, DWORD timeoutMs);

// A window that no longer exists or stopped being visible within `timeoutMs`.
bool WaitForWindowGone(HWND window, DWORD timeoutMs);

std::wstring WindowText(HWND window);
std::wstring ItemText(HWND dialog, int id);

// The client area of `window` as it is on the screen.
class ScreenPixels {
  public:
    explicit ScreenPixels(HWND window);
    COLORREF at(int x, int y) const;

  private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> pixels_;  // 0x00RRGGBB, top row first
};

// Runs this thread's messages until `condition` holds or `timeout` runs out.
bool PumpUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Types `key` (with Alt when `alt`) into top-level `window`, which is brought to the front.
void TypeKey(HWND window, WORD key, bool alt = false);

// Resizes top-level `frame` so that `view`'s client area is `width` x `height`.
bool SizeClientArea(HWND frame, HWND view, int width, int height);

// TelvoClient.exe copied into a fresh folder, started there and fed pictures over the test
// network; ended with the test.
class ClientTest : public ::testing::Test {
  protected:
    static constexpr DWORD kWaitMs = 15000;

    void SetUp() override;
    // Writes `ini` as the settings file unless it is empty, starts the program and waits until
    // its frame shows.
    void Start(const std::string& ini = "");
    std::wstring IniPath() const { return folder + L"\\TelvoClient.ini"; }
    std::wstring Ini() const { return ReadFileText(IniPath()); }
    bool CaptionHas(const std::wstring& part) const;
    bool CaptionBecomes(const std::wstring& part) const {
        return WaitUntil([&] { return CaptionHas(part); });
    }
    // Sends `picture` to `port` under `number` and on until the caption shows the number.
    bool ShowOn(std::uint16_t port, const std::vector<std::uint8_t>& picture);
    void Command(int id) const { PostMessageW(frame, WM_COMMAND, id, 0); }
    HWND Dialog(const wchar_t* title) const { return WaitForDialog(program.id(), title, kWaitMs); }
    // The text of message box `caption`, which is then closed with OK.
    std::wstring AnswerMessage(const wchar_t* caption) const;

    std::wstring folder;
    Program program;
    HWND frame = nullptr;
    HWND view = nullptr;
    std::uint32_t number = 5;
};

}  // namespace telvo::test
