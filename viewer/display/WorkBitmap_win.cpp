#include "viewer/display/WorkBitmap_win.h"

#include <utility>

namespace telvo {

WorkBitmap::Result WorkBitmap::Prepare(HDC target, int width, int height) {
    if (!dc_) dc_.reset(CreateCompatibleDC(target));
    if (!dc_) {
        Release();
        return Result::kNoDc;
    }
    if (bitmap_ && width == width_ && height == height_) return Result::kReady;
    UniqueGdiObject fresh(CreateCompatibleBitmap(target, width, height));
    if (!fresh || SelectObject(dc_.get(), fresh.get()) == nullptr) {
        Release();
        return Result::kNoBitmap;
    }
    bitmap_ = std::move(fresh);  // the one it replaces is no longer selected: deleted here
    width_ = width;
    height_ = height;
    return Result::kReady;
}

void WorkBitmap::Release() {
    dc_.reset();
    bitmap_.reset();
    width_ = 0;
    height_ = 0;
}

}  // namespace telvo
