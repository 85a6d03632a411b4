#include "win/PrivateProfile_win.h"

#include <windows.h>

#include <vector>

#include "win/UnicodeProfile_win.h"

namespace telvo {

void PrivateProfile::PrepareForReading() {
    if (readyForReading_) return;
    readyForReading_ = true;
    // A failed conversion leaves the file as it was, read as the profile functions read it.
    static_cast<void>(PrepareProfileFor(path_, nullptr));
}

std::uint32_t PrivateProfile::ReadInteger(const wchar_t* key, std::uint32_t absent) {
    PrepareForReading();
    return GetPrivateProfileIntW(section_, key, static_cast<INT>(absent), path_.c_str());
}

std::wstring PrivateProfile::ReadText(const wchar_t* key, const std::wstring& absent,
                                      std::size_t maxChars) {
    PrepareForReading();
    std::vector<wchar_t> buffer(maxChars + 1);
    const DWORD length = GetPrivateProfileStringW(section_, key, absent.c_str(), buffer.data(),
                                                  static_cast<DWORD>(buffer.size()), path_.c_str());
    return std::wstring(buffer.data(), length);
}

void PrivateProfile::WriteText(const wchar_t* key, const std::wstring& value) {
    // NOTE: left to themselves, the profile functions would create an ANSI file.
    const std::wstring text = std::wstring(section_) + key + value;
    const ProfileState state = PrepareProfileFor(path_, &text);
    if (state == ProfileState::kWouldLose) leftUnconvertible_ = true;
    if (state != ProfileState::kReady) return;
    WritePrivateProfileStringW(section_, key, value.c_str(), path_.c_str());
}

void TellOnceIfLeftUnconvertible(const PrivateProfile& file, HWND owner, const wchar_t* caption) {
    static bool told = false;
    if (told || !file.leftUnconvertible()) return;
    told = true;
    MessageBoxW(owner,
                (L"設定ファイル「" + file.path() +
                 L"」は文字コードを変換すると内容の一部が失われるため、そのままにしました。"
                 L"変更した設定は保存されていません。")
                    .c_str(),
                caption, MB_OK | MB_ICONWARNING);
}

}  // namespace telvo
