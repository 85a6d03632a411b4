#include "sender/CaptureSurface_win.h"

#include "protocol/ScreenBitmap.h"

namespace telvo {

void CaptureSurface::Release() {
    if (previous_ != nullptr) SelectObject(dc_.get(), previous_);
    previous_ = nullptr;
    section_.reset();
    dc_.reset();
    if (view_ != nullptr) UnmapViewOfFile(view_);
    view_ = nullptr;
    mapping_.reset();
    width_ = height_ = 0;
    length_ = 0;
}

bool CaptureSurface::Fit(long width, long height) {
    if (view_ != nullptr && width == width_ && height == height_) return true;
    Release();
    if (width <= 0 || height <= 0) return false;
    const std::uint64_t needed =
        NeededLength(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    if (needed > UINT32_MAX) return false;  // the length travels as a 32-bit pictureSize
    const std::uint64_t size = kHeadersAt + needed;
    mapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                      static_cast<DWORD>(size >> 32), static_cast<DWORD>(size),
                                      nullptr));
    if (!mapping_) return false;
    view_ = static_cast<std::uint8_t*>(MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, 0));
    if (view_ == nullptr) {
        Release();
        return false;
    }
    WriteBitmapHeaders(view_ + kHeadersAt, static_cast<std::uint32_t>(width),
                       static_cast<std::uint32_t>(height));
    dc_.reset(CreateCompatibleDC(nullptr));
    void* bits = nullptr;
    if (dc_) {
        section_.reset(CreateDIBSection(
            dc_.get(), reinterpret_cast<const BITMAPINFO*>(view_ + kHeadersAt + kInfoHeaderOffset),
            DIB_RGB_COLORS, &bits, mapping_.get(), kHeadersAt + kBitmapHeadersSize));
    }
    if (section_) previous_ = SelectObject(dc_.get(), section_.get());
    if (previous_ == nullptr || previous_ == HGDI_ERROR) {
        previous_ = nullptr;
        Release();
        return false;
    }
    width_ = width;
    height_ = height;
    length_ = static_cast<std::uint32_t>(needed);
    return true;
}

}  // namespace telvo
