#include "base/ProfileSection.h"

namespace telvo {

std::wstring SettingsPathBeside(const std::wstring& modulePath, const wchar_t* fileName) {
    const std::size_t slash = modulePath.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"" : modulePath.substr(0, slash + 1);
    return folder + fileName;
}

}  // namespace telvo
