#include "win/PrivateProfile_win.h"

#include <windows.h>

#include <vector>

#include "win/UnicodeProfile_win.h"

namespace telvo {

std::uint32_t PrivateProfile::ReadInteger(const wchar_t* key, std::uint32_t absent) {
    return GetPrivateProfileIntW(section_, key, static_cast<INT>(absent), path_.c_str());
}

std::wstring PrivateProfile::ReadText(const wchar_t* key, const std::wstring& absent,
                                      std::size_t maxChars) {
    std::vector<wchar_t> buffer(maxChars + 1);
    const DWORD length = GetPrivateProfileStringW(section_, key, absent.c_str(), buffer.data(),
                                                  static_cast<DWORD>(buffer.size()), path_.c_str());
    return std::wstring(buffer.data(), length);
}

void PrivateProfile::WriteText(const wchar_t* key, const std::wstring& value) {
    // NOTE: left to themselves, the profile functions would create an ANSI file.
    if (!PrepareProfileFor(path_, std::wstring(section_) + key + value)) return;
    WritePrivateProfileStringW(section_, key, value.c_str(), path_.c_str());
}

}  // namespace telvo
