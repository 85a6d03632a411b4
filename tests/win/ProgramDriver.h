// Drives the real programs from a test under Wine, as a user would: starts an executable in a
// folder of its own, finds its windows and dialogs, reads their texts and pixels, types keys, and
// waits for it to end. Windows builds only.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/NetworkTest.h"
#include "win/WinHandles.h"

namespace telvo::test {

// A new empty folder under the temporary folder; `name` makes it recognisable.
inline std::wstring MakeFreshFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static unsigned counter = 0;
    for (;;) {
        const std::wstring folder = temp + (L"telvo-" + std::wstring(name)) + L"-" +
                                    std::to_wstring(GetCurrentProcessId()) + L"-" +
                                    std::to_wstring(++counter);
        if (CreateDirectoryW(folder.c_str(), nullptr)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return L"";
    }
}

// Copies `file` into `folder`, keeping its name. Returns the new path, or "" on failure.
inline std::wstring CopyInto(const std::wstring& file, const std::wstring& folder) {
    const std::wstring target = folder + L"\\" + file.substr(file.find_last_of(L"\\/") + 1);
    return CopyFileW(file.c_str(), target.c_str(), FALSE) ? target : L"";
}

// A file's text: a UTF-16LE file with its byte-order mark (kept as U+FEFF), else bytes as ASCII.
inline std::wstring ReadFileText(const std::wstring& path) {
    std::stringstream bytes;
    bytes << std::ifstream(path.c_str(), std::ios::binary).rdbuf();
    const std::string text = bytes.str();
    if (text.rfind("\xFF\xFE", 0) != 0) return std::wstring(text.begin(), text.end());
    std::wstring wide(text.size() / 2, L'\0');
    std::memcpy(wide.data(), text.data(), wide.size() * sizeof(wchar_t));
    return wide;
}

inline bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    return static_cast<bool>(out << bytes);
}

// A started program, ended with TerminateProcess when the object goes while it still runs.
struct Program {
    ~Program() {
        if (running()) TerminateProcess(process.get(), 1);
        if (process) WaitForSingleObject(process.get(), 5000);
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
    bool running() const {
        return process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
    }

    UniqueKernelHandle process;
    DWORD id = 0;
};

// The first top-level window of process `processId` (hidden ones too, unless `visible`) whose
// class and title match (nullptr matches any), waiting up to `timeoutMs`. Null when none did.
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
inline std::wstring ItemText(HWND dialog, int id) {
    return WindowText(GetDlgItem(dialog, id));
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
    const WORD order[4] = {VK_MENU, key, key, VK_MENU};
    const int first = alt ? 0 : 1, count = alt ? 4 : 2;
    INPUT keys[4] = {};
    for (int i = 0; i < count; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = order[first + i];
        keys[i].ki.dwFlags = i < count / 2 ? 0 : KEYEVENTF_KEYUP;
    }
    SendInput(count, keys, sizeof(INPUT));
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

// TelvoClient.exe copied into a fresh folder, started there and fed pictures over the test
// network; ended with the test.
class ClientTest : public ::testing::Test {
  protected:
    static constexpr DWORD kWaitMs = 15000;

    void SetUp() override {
        TELVO_REQUIRE_TEST_NETWORK();
        ASSERT_EQ(0, StartSockets(1, 1));
        folder = MakeFreshFolder(L"client");
        ASSERT_FALSE(CopyInto(TELVO_CLIENT_EXE, folder).empty());
    }
    // Writes `ini` as the settings file unless it is empty, starts the program and waits until
    // its frame shows (it exists from the start of its creation).
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
        const std::wstring text = ItemText(box, 0xFFFF);  // the text of a message box
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        WaitForWindowGone(box, kWaitMs);
        return text;
    }

    std::wstring folder;
    Program program;
    HWND frame = nullptr;
    HWND view = nullptr;
    std::uint32_t number = 5;
};

}  // namespace telvo::test
