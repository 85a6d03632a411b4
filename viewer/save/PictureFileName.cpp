#include "viewer/save/PictureFileName.h"

#include <cwchar>

namespace telvo {

std::wstring PictureFilePath(const std::wstring& folder, SaveKind kind, const LocalTime& time) {
    wchar_t name[64];
    std::swprintf(name, 64, L"%ls_%04d%02d%02d_%02d%02d%02d_%03d.bmp",
                  kind == SaveKind::kSingle ? L"O" : L"P", time.year, time.month, time.day,
                  time.hour, time.minute, time.second, time.millisecond);
    const bool separated = !folder.empty() && folder.back() == L'\\';
    return folder + (separated ? L"" : L"\\") + name;
}

std::wstring NumberedPicturePath(const std::wstring& path, unsigned number) {
    if (number <= 1) return path;
    const std::size_t extension = path.size() >= 4 ? path.size() - 4 : path.size();
    return path.substr(0, extension) + L"_" + std::to_wstring(number) + path.substr(extension);
}

}  // namespace telvo
