#include "win/UnicodeProfile_win.h"

#include <windows.h>

#include "win/TemporaryFile_win.h"
#include "win/WinHandles.h"

namespace telvo {
namespace {

// Settings files are small; a larger one is left alone rather than read into memory.
constexpr LONGLONG kMaxFileBytes = 16 * 1024 * 1024;

enum class FileState { kMissing, kRead, kUnreadable };

FileState ReadWholeFile(const std::wstring& path, std::string* bytes) {
    const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return GetLastError() == ERROR_FILE_NOT_FOUND ? FileState::kMissing
                                                      : FileState::kUnreadable;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxFileBytes) {
        return FileState::kUnreadable;
    }
    bytes->resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes->empty() &&
        (!ReadFile(file.get(), bytes->data(), static_cast<DWORD>(bytes->size()), &read, nullptr) ||
         read != bytes->size())) {
        return FileState::kUnreadable;
    }
    return FileState::kRead;
}

// A UTF-16 or UTF-8 byte-order mark: the file's writer chose an encoding that holds everything.
bool HasByteOrderMark(const std::string& bytes) {
    const auto starts = [&](const char* mark) { return bytes.rfind(mark, 0) == 0; };
    return starts("\xFF\xFE") || starts("\xFE\xFF") || starts("\xEF\xBB\xBF");
}

std::wstring FromAnsi(const std::string& bytes) {
    if (bytes.empty()) return {};
    const int count = static_cast<int>(bytes.size());
    std::wstring text(
        static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, bytes.data(), count, nullptr, 0)),
        L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), count, text.data(), static_cast<int>(text.size()));
    return text;
}

// Whether `text` comes back unchanged through the ANSI code page (no "?" and no look-alike).
bool FitsAnsiCodePage(const std::wstring& text) {
    if (text.empty()) return true;
    const int count = static_cast<int>(text.size());
    std::string bytes(static_cast<std::size_t>(WideCharToMultiByte(CP_ACP, 0, text.data(), count,
                                                                   nullptr, 0, nullptr, nullptr)),
                      '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), count, bytes.data(), static_cast<int>(bytes.size()),
                        nullptr, nullptr);
    return FromAnsi(bytes) == text;
}

bool WriteAll(HANDLE file, const void* data, std::size_t size) {
    DWORD written = 0;
    return size == 0 ||
           (WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size);
}

// Puts "BOM + text" in place of the file at `path` (missing or not) in one step.
bool ReplaceWithUtf16(const std::wstring& path, const std::wstring& text) {
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"." : path.substr(0, slash + 1);
    TemporaryFile temporary;
    if (!temporary.CreateIn(folder)) return false;
    const wchar_t* name = temporary.path().c_str();
    {
        const UniqueFile file(CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        const wchar_t mark = 0xFEFF;  // written little-endian, as every wchar_t here
        if (!file || !WriteAll(file.get(), &mark, sizeof mark) ||
            !WriteAll(file.get(), text.data(), text.size() * sizeof(wchar_t)) ||
            !FlushFileBuffers(file.get())) {
            return false;
        }
    }
    if (!MoveFileExW(name, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return false;
    }
    temporary.Keep();
    return true;
}

}  // namespace

bool PrepareProfileFor(const std::wstring& path, const std::wstring& text) {
    std::string bytes;
    const FileState state = ReadWholeFile(path, &bytes);
    // An unreadable file is the profile functions' to report, as before.
    if (state == FileState::kUnreadable) return true;
    if (state == FileState::kRead && !bytes.empty() &&
        (HasByteOrderMark(bytes) || FitsAnsiCodePage(text))) {
        return true;
    }
    return ReplaceWithUtf16(path, FromAnsi(bytes)) || FitsAnsiCodePage(text);
}

}  // namespace telvo
