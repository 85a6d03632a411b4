#include "tests/win/ProgramDriver.h"

#include <cstring>
#include <fstream>
#include <sstream>

#include "base/Socket.h"

namespace telvo::test {
namespace {

HWND FindWindowOf(DWORD processId, const wchar_t* className, const wchar_t* title) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, className, title)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId) return window;
    }
    return nullptr;
}

using Ms = std::chrono::milliseconds;

}  // namespace

std::wstring BuildPath(const wchar_t* relative) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    do {
        folder.erase(folder.find_last_of(L'\\'));
    } while (GetFileAttributesW((folder + L"\\CMakeCache.txt").c_str()) ==
                 INVALID_FILE_ATTRIBUTES &&
             folder.find(L'\\') != std::wstring::npos);
    return folder + L"\\" + relative;
}

std::wstring MakeFreshFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static unsigned counter = 0;
    for (;;) {
        std::wstring folder = std::wstring(temp) + L"telvo-" + name + L"-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++counter);
        if (CreateDirectoryW(folder.c_str(), nullptr)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return L"";
    }
}

std::wstring CopyInto(const std::wstring& file, const std::wstring& folder) {
    const std::wstring target = folder + file.substr(file.find_last_of(L'\\'));
    return CopyFileW(file.c_str(), target.c_str(), FALSE) ? target : L"";
}

std::wstring ReadFileText(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string text = bytes.str();
    if (text.rfind("\xFF\xFE", 0) != 0) return std::wstring(text.begin(), text.end());  // ASCII
    std::wstring wide(text.size() / 2, L'\0');  // UTF-16LE, its byte-order mark kept as U+FEFF
    std::memcpy(wide.data(), text.data(), wide.size() * sizeof(wchar_t));
    return wide;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

Program::~Program() {
    if (running()) {
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), 5000);
    }
}

bool Program::Start(const std::wstring& executable, const std::wstring& folder,
                    const std::wstring& arguments) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring commandLine = L"\"" + executable + L"\" " + arguments;
    if (!CreateProcessW(executable.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info)) {
        return false;
    }
    CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    id_ = info.dwProcessId;
    return true;
}

bool Program::WaitExit(DWORD timeoutMs, DWORD* code) {
    if (WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) return false;
    if (code != nullptr) GetExitCodeProcess(process_.get(), code);
    return true;
}

bool Program::running() const {
    return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

HWND WaitForWindow(DWORD processId, const wchar_t* className, const wchar_t* title,
                   DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindWindowOf(processId, className, title)) != nullptr; },
              Ms(timeoutMs));
    return found;
}

HWND WaitForDialog(DWORD processId, const wchar_t* title, DWORD timeoutMs) {
    HWND found = nullptr;
    const bool visible = WaitUntil(
        [&] {
            found = FindWindowOf(processId, L"#32770", title);
            return found != nullptr && IsWindowVisible(found);
        },
        Ms(timeoutMs));
    return visible ? found : nullptr;
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
    return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, Ms(timeoutMs));
}

std::wstring WindowText(HWND window) {
    // WM_GETTEXT, not GetWindowText: that one cannot read controls of another process.
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) {
        return L"";
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(&text[0]),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    text.resize(copied);
    return text;
}

std::wstring ItemText(HWND dialog, int id) {
    return WindowText(GetDlgItem(dialog, id));
}

ScreenPixels::ScreenPixels(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    width_ = client.right;
    height_ = client.bottom;
    pixels_.assign(static_cast<std::size_t>(width_) * height_, 0);
    const WindowDc screen(nullptr, WindowDc::Area::kClient);
    const UniqueMemoryDc memory(CreateCompatibleDC(screen.get()));
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width_, -height_, 1, 32};  // top-down
    void* bits = nullptr;
    const UniqueGdiObject section(
        CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!section || bits == nullptr) return;
    const SelectedObject selected(memory.get(), section.get());
    BitBlt(memory.get(), 0, 0, width_, height_, screen.get(), origin.x, origin.y, SRCCOPY);
    GdiFlush();
    const auto* source = static_cast<const std::uint32_t*>(bits);
    pixels_.assign(source, source + pixels_.size());
}

COLORREF ScreenPixels::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    const std::uint32_t p = pixels_[static_cast<std::size_t>(y) * width_ + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
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

void TypeKey(HWND window, WORD key, bool alt) {
    SetForegroundWindow(window);
    WaitUntil([&] { return GetForegroundWindow() == window; }, std::chrono::seconds(2));
    const WORD order[4] = {VK_MENU, key, key, VK_MENU};
    const int first = alt ? 0 : 1;
    const int count = alt ? 4 : 2;
    INPUT keys[4] = {};
    for (int i = 0; i < count; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = order[first + i];
        keys[i].ki.dwFlags = i < count / 2 ? 0 : KEYEVENTF_KEYUP;
    }
    SendInput(count, keys, sizeof(INPUT));
}

bool SizeClientArea(HWND frame, HWND view, int width, int height) {
    const auto fits = [&] {
        RECT client{};
        GetClientRect(view, &client);
        return client.right == width && client.bottom == height;
    };
    for (int attempt = 0; attempt < 3 && !fits(); ++attempt) {
        RECT outer{};
        RECT client{};
        GetWindowRect(frame, &outer);
        GetClientRect(view, &client);
        SetWindowPos(frame, nullptr, 0, 0, (outer.right - outer.left) + width - client.right,
                     (outer.bottom - outer.top) + height - client.bottom, SWP_NOZORDER);
        WaitUntil(fits, std::chrono::seconds(2));
    }
    return fits();
}

void ClientTest::SetUp() {
    TELVO_REQUIRE_TEST_NETWORK();
    ASSERT_EQ(0, StartSockets(1, 1));
    folder = MakeFreshFolder(L"client");
    ASSERT_FALSE(CopyInto(BuildPath(L"viewer\\TelvoClient.exe"), folder).empty());
}

void ClientTest::Start(const std::string& ini) {
    if (!ini.empty()) ASSERT_TRUE(WriteFileBytes(IniPath(), ini));
    ASSERT_TRUE(program.Start(folder + L"\\TelvoClient.exe", folder));
    frame = WaitForWindow(program.id(), L"CMainFrame", nullptr, kWaitMs);
    ASSERT_NE(nullptr, frame);
    // The frame exists from the start of its creation; the program has started once it shows.
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(frame) != 0; }, Ms(kWaitMs)));
    view = FindWindowExW(frame, nullptr, L"CScreenView", nullptr);
    ASSERT_NE(nullptr, view);
}

bool ClientTest::CaptionHas(const std::wstring& part) const {
    return WindowText(frame).find(part) != std::wstring::npos;
}

bool ClientTest::ShowOn(std::uint16_t port, const std::vector<std::uint8_t>& picture) {
    return SendUntilShown(port, picture, &number,
                          [&] { return CaptionHas(L"[No." + std::to_wstring(number) + L"]"); });
}

std::wstring ClientTest::AnswerMessage(const wchar_t* caption) const {
    const HWND box = Dialog(caption);
    if (box == nullptr) return L"(no message)";
    const std::wstring text = ItemText(box, 0xFFFF);  // the text of a message box
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    WaitForWindowGone(box, kWaitMs);
    return text;
}

}  // namespace telvo::test
