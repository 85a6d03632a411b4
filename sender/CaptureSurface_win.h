// The capture's drawing surface: one 24-bit DIB section whose memory is a whole ScreenBitmap, the
// bitmap headers followed by the pixel rows that GDI draws into, so a captured picture goes to the
// packetizer as it is. It is kept from picture to picture and made anew only when the size changes.
#pragma once

#include <windows.h>

#include <cstdint>

#include "win/WinHandles.h"

namespace telvo {

class CaptureSurface {
  public:
    CaptureSurface() = default;
    ~CaptureSurface() { Release(); }
    CaptureSurface(const CaptureSurface&) = delete;
    CaptureSurface& operator=(const CaptureSurface&) = delete;

    // Makes the surface `width` x `height` unless it is already. False when it cannot be had (no
    // memory, a picture longer than a 32-bit length); the surface is then empty.
    [[nodiscard]] bool Fit(long width, long height);
    // A memory context with the section selected; GdiFlush before reading picture().
    HDC dc() const { return dc_.get(); }
    // The ScreenBitmap: headers, then bottom-up rows whose padding stays zero. Null when empty.
    const std::uint8_t* picture() const { return view_ == nullptr ? nullptr : view_ + kHeadersAt; }
    std::uint32_t length() const { return length_; }
    void Release();

  private:
    // The headers begin 2 bytes into the mapping, so that the rows begin on a 4-byte boundary, as
    // a section's pixel offset must.
    static constexpr std::uint32_t kHeadersAt = 2;

    UniqueKernelHandle mapping_;
    std::uint8_t* view_ = nullptr;
    UniqueMemoryDc dc_;
    UniqueGdiObject section_;
    HGDIOBJ previous_ = nullptr;  // the context's own bitmap, put back before the section goes
    long width_ = 0, height_ = 0;
    std::uint32_t length_ = 0;
};

}  // namespace telvo
