// The picture on show: the CurrentImage with imageLock held for as long as this object lives.
// Painting, layout and saving read the picture only through it (CScreenView::PictureOnShow), so
// none of them can see it freed or replaced half-way. Keep it short-lived on the user-interface
// thread: the receive thread waits for the lock to hand over the next picture.
#pragma once

#include <cstdint>

#include "protocol/ScreenBitmap.h"
#include "viewer/net/PictureStore.h"

namespace telvo {

class ShownPicture {
  public:
    explicit ShownPicture(const PictureStore& store) : reader_(store) {
        valid_ =
            reader_.bytes() != nullptr && DescribeBitmap(reader_.bytes(), reader_.size(), &layout_);
    }
    ShownPicture(const ShownPicture&) = delete;
    ShownPicture& operator=(const ShownPicture&) = delete;

    // False without a picture. Published pictures always pass DescribeBitmap; anything else is
    // treated as no picture.
    bool has() const { return valid_; }
    // The whole ScreenBitmap as received, `size()` bytes; only while has() and this object lives.
    const std::uint8_t* bytes() const { return valid_ ? reader_.bytes() : nullptr; }
    std::uint32_t size() const { return valid_ ? reader_.size() : 0; }
    // Width, height, pixel offset and row stride; all 0 without a picture.
    const BitmapLayout& layout() const { return layout_; }

  private:
    ImageReader reader_;
    BitmapLayout layout_;
    bool valid_ = false;
};

}  // namespace telvo
