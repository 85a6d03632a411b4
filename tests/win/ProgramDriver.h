// Drives the real programs under Wine as a user would: starts one in a folder of its own, finds its
// windows, reads their texts and pixels, types keys. Windows builds only.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/NetworkTest.h"
#include "win/WinHandles.h"

namespace telvo::test {

namespace fs = std::filesystem;

// A new empty folder under the temporary folder; `name` makes it recognisable.
inline std::wstring MakeFreshFolder(const wchar_t* name) {
    static unsigned counter = 0;
    std::error_code error;
    const fs::path folder =
        fs::temp_directory_path(error) /
        (L"telvo-" + std::wstring(name) + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(++counter));
    fs::remove_all(folder, error);
    return fs::create_directories(folder, error) ? folder.wstring() : L"";
}

// Copies `file` into `folder`, keeping its name. Returns the new path, or "" on failure.
inline std::wstring CopyInto(const fs::path& file, const fs::path& folder) {
    const fs::path target = folder / file.filename();
    std::error_code error;
    return fs::copy_file(file, target, error) ? target.wstring() : L"";
}

// A file's text: a UTF-16LE file with its byte-order mark (kept as U+FEFF), else bytes as ASCII.
inline std::wstring ReadFileText(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    if (text.rfind("\xFF\xFE", 0) != 0) return std::wstring(text.begin(), text.end());
    std::wstring wide(text.size() / 2, L'\0');
    std::memcpy(wide.data(), text.data(), wide.size() * sizeof(wchar_t));
    return wide;
}

inline bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    return static_cast<bool>(std::ofstream(path.c_str(), std::ios::binary) << bytes);
}

// A started program, ended with TerminateProcess when the object goes while it still runs.
struct Program {
    ~Program() {
        if (process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(process.get(), 1);
            WaitForSingleObject(process.get(), 5000);
        }
    }
    bool Start(const std::wstring& executable, const std::wstring& folder) {
        STARTUPINFOW startup{sizeof startup};
        PROCESS_INFORMATION info{};
        std::wstring commandLine = L"\"" + executable + L"\"";
        if (!CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                            nullptr, folder.c_str(), &startup, &info)) {
            return false;
        }
        CloseHandle(info.hThread);
        process.reset(info.hProcess);
        id = info.dwProcessId;
        return true;
    }
    // True when it ended within `timeoutMs` with exit code 0.
    bool ExitsCleanly(DWORD timeoutMs) {
        DWORD code = 1;
        return WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0 &&
               GetExitCodeProcess(process.get(), &code) && code == 0;
    }

    UniqueKernelHandle process;
    DWORD id = 0;
};

// The first top-level window of `processId` (hidden ones too, unless `visible`) whose class and
// title match (nullptr matches any), waiting up to `timeoutMs`.
inline HWND WaitForWindow(DWORD processId, const wchar_t* className, const wchar_t* title,
                          DWORD timeoutMs, bool visible = false) {
    HWND window = nullptr;
    const auto found = [&] {
        while ((window = FindWindowExW(nullptr, window, className, title)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == processId && (!visible || IsWindowVisible(window))) return true;
        }
        return false;
    };
    return WaitUntil(found, std::chrono::milliseconds(timeoutMs)) ? window : nullptr;
}
// A visible dialog: once it shows, its initialisation is done.
inline HWND WaitForDialog(DWORD processId, const wchar_t* title, DWORD timeoutMs) {
    return WaitForWindow(processId, L"#32770", title, timeoutMs, true);
}
inline bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
    return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); },
                     std::chrono::milliseconds(timeoutMs));
}

// WM_GETTEXT, not GetWindowText: that one cannot read controls of another process.
inline std::wstring WindowText(HWND window) {
    wchar_t text[4096] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text),
                             SMTO_ABORTIFHUNG, 5000, &copied)) {
        return L"";
    }
    return std::wstring(text, copied);
}

// The client area of `window` as it is on the screen.
class ScreenPixels {
  public:
    explicit ScreenPixels(HWND window) {
        GetClientRect(window, &client_);
        POINT origin{0, 0};
        ClientToScreen(window, &origin);
        pixels_.assign(static_cast<std::size_t>(client_.right) * client_.bottom, 0);
        const WindowDc screen(nullptr, WindowDc::Area::kClient);
        const UniqueMemoryDc memory(CreateCompatibleDC(screen.get()));
        BITMAPINFO info{
            {sizeof info.bmiHeader, client_.right, -client_.bottom, 1, 32}};  // top-down
        void* bits = nullptr;
        const UniqueGdiObject section(
            CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        const SelectedObject selected(memory.get(), section.get());
        if (bits == nullptr || !selected.ok()) return;
        BitBlt(memory.get(), 0, 0, client_.right, client_.bottom, screen.get(), origin.x, origin.y,
               SRCCOPY);
        GdiFlush();
        std::memcpy(pixels_.data(), bits, pixels_.size() * sizeof pixels_[0]);
    }
    COLORREF at(int x, int y) const {
        if (x < 0 || y < 0 || x >= client_.right || y >= client_.bottom) return CLR_INVALID;
        const std::uint32_t p = pixels_[static_cast<std::size_t>(y) * client_.right + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }

  private:
    RECT client_{};
    std::vector<std::uint32_t> pixels_;  // 0x00RRGGBB, top row first
};

// Runs this thread's messages until `condition` holds or `timeout` runs out.
inline bool PumpUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    return WaitUntil(
        [&] {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            return condition();
        },
        timeout);
}

// Types `key` (with Alt when `alt`) into top-level `window`, which is brought to the front.
inline void TypeKey(HWND window, WORD key, bool alt = false) {
    SetForegroundWindow(window);
    WaitUntil([&] { return GetForegroundWindow() == window; }, std::chrono::seconds(2));
    if (alt) keybd_event(VK_MENU, 0, 0, 0);
    keybd_event(static_cast<BYTE>(key), 0, 0, 0);
    keybd_event(static_cast<BYTE>(key), 0, KEYEVENTF_KEYUP, 0);
    if (alt) keybd_event(VK_MENU, 0, KEYEVENTF_KEYUP, 0);
}

// Resizes top-level `frame` so that `view`'s client area is `width` x `height`.
inline bool SizeClientArea(HWND frame, HWND view, int width, int height) {
    RECT outer{}, client{};
    const auto fits = [&] {
        GetClientRect(view, &client);
        return client.right == width && client.bottom == height;
    };
    for (int attempt = 0; attempt < 3 && !fits(); ++attempt) {
        GetWindowRect(frame, &outer);
        SetWindowPos(frame, nullptr, 0, 0, (outer.right - outer.left) + width - client.right,
                     (outer.bottom - outer.top) + height - client.bottom, SWP_NOZORDER);
        WaitUntil(fits, std::chrono::seconds(2));
    }
    return fits();
}

// TelvoClient.exe in a fresh folder, fed pictures over the test network; ended with the test.
class ClientTest : public ::testing::Test {
  protected:
    static constexpr DWORD kWaitMs = 15000;

    void SetUp() override {
        TELVO_REQUIRE_TEST_NETWORK();
        ASSERT_EQ(0, StartSockets(1, 1));
        folder = MakeFreshFolder(L"client");
        shots = folder + L"\\shots";
        ASSERT_TRUE(!CopyInto(TELVO_CLIENT_EXE, folder).empty() &&
                    CreateDirectoryW(shots.c_str(), nullptr));
    }
    // Writes `ini` unless it is empty, starts the program and waits for its frame.
    void Start(const std::string& ini = "") {
        if (!ini.empty()) ASSERT_TRUE(WriteFileBytes(IniPath(), ini));
        ASSERT_TRUE(program.Start(folder + L"\\TelvoClient.exe", folder));
        frame = WaitForWindow(program.id, L"CMainFrame", nullptr, kWaitMs, true);
        ASSERT_NE(nullptr, frame);
        view = FindWindowExW(frame, nullptr, L"CScreenView", nullptr);
        ASSERT_NE(nullptr, view);
    }
    std::wstring IniPath() const { return folder + L"\\TelvoClient.ini"; }
    std::wstring Ini() const { return ReadFileText(IniPath()); }
    bool CaptionHas(const std::wstring& part) const {
        return WindowText(frame).find(part) != std::wstring::npos;
    }
    bool CaptionBecomes(const std::wstring& part) const {
        return WaitUntil([&] { return CaptionHas(part); });
    }
    // Sends `picture` to `port` under `number` and on until the caption shows the number.
    bool ShowOn(std::uint16_t port, const std::vector<std::uint8_t>& picture) {
        return SendUntilShown(port, picture, &number,
                              [&] { return CaptionHas(L"[No." + std::to_wstring(number) + L"]"); });
    }
    void Command(int id) const { PostMessageW(frame, WM_COMMAND, id, 0); }
    HWND Dialog(const wchar_t* title) const { return WaitForDialog(program.id, title, kWaitMs); }
    // The text of message box `caption`, which is then closed with OK.
    std::wstring AnswerMessage(const wchar_t* caption) const {
        const HWND box = Dialog(caption);
        if (box == nullptr) return L"(no message)";
        const std::wstring text = WindowText(GetDlgItem(box, 0xFFFF));  // a message box's text
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        WaitForWindowGone(box, kWaitMs);
        return text;
    }

    std::wstring folder, shots;  // shots: an empty folder for pictures
    Program program;
    HWND frame = nullptr;
    HWND view = nullptr;
    std::uint32_t number = 5;
};

}  // namespace telvo::test
