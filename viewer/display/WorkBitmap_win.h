// The view's working bitmap: the picture converted to the screen's format, in a memory device
// context, before it is copied or stretched into the window. Kept from paint to paint while the
// picture's size stays the same: under Wine, writing a picture into freshly allocated bitmap
// memory costs several times as much as writing it into memory that was written before.
#pragma once

#include <windows.h>

#include "win/WinHandles.h"

namespace telvo {

class WorkBitmap {
  public:
    enum class Result { kReady, kNoDc, kNoBitmap };

    // Makes dc() a memory context compatible with `target` holding a `width` x `height` bitmap,
    // reusing the one it has when the size is the same. After a failure nothing is kept, so the
    // next call starts afresh.
    [[nodiscard]] Result Prepare(HDC target, int width, int height);
    HDC dc() const { return dc_.get(); }
    void Release();

  private:
    // Declared before the context, so the context goes first, while the bitmap is still selected.
    UniqueGdiObject bitmap_;
    UniqueMemoryDc dc_;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace telvo
