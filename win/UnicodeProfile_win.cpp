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

bool IsAscii(const std::string& bytes) {
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

std::string Encode(UINT codePage, const std::wstring& text) {
    if (text.empty()) return {};
    const int count = static_cast<int>(text.size());
    std::string bytes(static_cast<std::size_t>(WideCharToMultiByte(codePage, 0, text.data(), count,
                                                                   nullptr, 0, nullptr, nullptr)),
                      '\0');
    WideCharToMultiByte(codePage, 0, text.data(), count, bytes.data(),
                        static_cast<int>(bytes.size()), nullptr, nullptr);
    return bytes;
}

// The text of `bytes` in `codePage`, when every byte belongs to a character and the text encodes
// back to the very same bytes: a conversion that loses nothing.
bool DecodeExactly(UINT codePage, const std::string& bytes, std::wstring* text) {
    text->clear();
    if (bytes.empty()) return true;
    const int count = static_cast<int>(bytes.size());
    const int length =
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), count, nullptr, 0);
    if (length <= 0) return false;
    text->assign(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), count, text->data(), length);
    return Encode(codePage, *text) == bytes;
}

// Whether `text` comes back unchanged through the ANSI code page (no "?" and no look-alike).
bool FitsAnsiCodePage(const std::wstring& text) {
    std::wstring back;
    return DecodeExactly(CP_ACP, Encode(CP_ACP, text), &back) && back == text;
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
    // Replacing keeps the old file's ACL and attributes; a missing file, or a file system that
    // cannot replace, takes the plain move.
    if (!ReplaceFileW(path.c_str(), name, /*backup*/ nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                      nullptr, nullptr) &&
        !MoveFileExW(name, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return false;
    }
    temporary.Keep();
    return true;
}

}  // namespace

ProfileState PrepareProfileFor(const std::wstring& path, const std::wstring* text) {
    std::string bytes;
    const FileState state = ReadWholeFile(path, &bytes);
    // An unreadable file is the profile functions' to report, as before.
    if (state == FileState::kUnreadable) return ProfileState::kReady;
    const bool fits = text == nullptr || FitsAnsiCodePage(*text);
    if (state == FileState::kMissing || bytes.empty()) {
        if (text == nullptr) return ProfileState::kReady;
        return ReplaceWithUtf16(path, L"") || fits ? ProfileState::kReady : ProfileState::kFailed;
    }
    if (HasByteOrderMark(bytes)) return ProfileState::kReady;
    std::wstring converted;
    // Read as ANSI, a UTF-8 file (Notepad's) would be damaged by the profile functions.
    if (!IsAscii(bytes) && DecodeExactly(CP_UTF8, bytes, &converted)) {
        return ReplaceWithUtf16(path, converted) ? ProfileState::kReady : ProfileState::kFailed;
    }
    if (text == nullptr) return ProfileState::kReady;
    // Bytes that are no ANSI text would not survive the profile functions' writing either.
    if (!DecodeExactly(CP_ACP, bytes, &converted)) return ProfileState::kWouldLose;
    if (fits) return ProfileState::kReady;
    return ReplaceWithUtf16(path, converted) ? ProfileState::kReady : ProfileState::kFailed;
}

}  // namespace telvo
