#include "tests/win/ProgramDriver.h"

#include <cstring>
#include <fstream>
#include <sstream>

namespace telvo::test {
namespace {

struct WindowSearch {
    DWORD processId;
    const wchar_t* className;
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId) return TRUE;
    wchar_t text[512];
    if (search->className != nullptr) {
        GetClassNameW(window, text, 512);
        if (wcscmp(text, search->className) != 0) return TRUE;
    }
    if (search->title != nullptr) {
        GetWindowTextW(window, text, 512);
        if (wcscmp(text, search->title) != 0) return TRUE;
    }
    search->found = window;
    return FALSE;
}

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
    const DWORD start = GetTickCount();
    for (;;) {
        WindowSearch search{processId, className, title, nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) return search.found;
        if (GetTickCount() - start > timeoutMs) return nullptr;
        Sleep(10);
    }
}

HWND WaitForDialog(DWORD processId, const wchar_t* title, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        const HWND dialog = WaitForWindow(processId, L"#32770", title, timeoutMs);
        if (dialog != nullptr && IsWindowVisible(dialog)) return dialog;
        if (GetTickCount() - start > timeoutMs) return nullptr;
        Sleep(10);
    }
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(10);
    }
    return true;
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

}  // namespace telvo::test
