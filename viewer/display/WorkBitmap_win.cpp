#include "viewer/display/WorkBitmap_win.h"

#include <utility>

#include "protocol/ScreenBitmap.h"

namespace telvo {

WorkBitmap::Result WorkBitmap::Prepare(HDC target, int width, int height) {
    if (simulatedFailure_ != Result::kReady) {
        Release();
        return simulatedFailure_;
    }
    if (!dc_) dc_.reset(CreateCompatibleDC(target));
    if (!dc_) {
        Release();
        return Result::kNoDc;
    }
    if (bitmap_ && static_cast<int>(rows_.width) == width &&
        static_cast<int>(rows_.height) == height) {
        return Result::kReady;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, like the picture
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueGdiObject fresh(
        CreateDIBSection(target, &info, DIB_RGB_COLORS, &bits, /*section*/ nullptr, /*offset*/ 0));
    if (!fresh || bits == nullptr || SelectObject(dc_.get(), fresh.get()) == nullptr) {
        Release();
        return Result::kNoBitmap;
    }
    bitmap_ = std::move(fresh);  // the one it replaces is no longer selected: deleted here
    rows_.bytes = static_cast<std::uint8_t*>(bits);
    rows_.width = static_cast<std::uint32_t>(width);
    rows_.height = static_cast<std::uint32_t>(height);
    rows_.stride = static_cast<std::size_t>(RowStride(rows_.width));
    return Result::kReady;
}

void WorkBitmap::Release() {
    dc_.reset();
    bitmap_.reset();
    rows_ = TargetRows{};
}

}  // namespace telvo
