#include "viewer/save/PictureWriter_win.h"

#include <windows.h>

#include "win/WinHandles.h"

namespace telvo {

std::wstring WriteCurrentPicture(const PictureStore& store, SaveKind kind,
                                 const std::wstring& folder) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const std::wstring path =
        PictureFilePath(folder, kind,
                        LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                                  now.wSecond, now.wMilliseconds});
    const ImageReader image(store);
    if (image.bytes() == nullptr) return L"";
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return L"";
    DWORD written = 0;
    if (!WriteFile(file.get(), image.bytes(), image.size(), &written, nullptr) ||
        written != image.size()) {
        return L"";
    }
    return path;
}

}  // namespace telvo
