// The view's working bitmap: a 24-bit bottom-up DIB section of the size the picture is shown at,
// in a memory device context. The program writes its rows (the scaled picture) and copies it to
// the window with one BitBlt. Kept from paint to paint while the size stays the same: under Wine,
// writing a picture into freshly allocated bitmap memory costs several times as much as writing
// it into memory that was written before.
#pragma once

#include <windows.h>

#include "viewer/display/BoxScale.h"
#include "win/WinHandles.h"

namespace telvo {

class WorkBitmap {
  public:
    enum class Result { kReady, kNoDc, kNoBitmap };

    // Makes dc() a memory context compatible with `target` holding a `width` x `height` DIB
    // section, reusing the one it has when the size is the same. After a failure nothing is kept,
    // so the next call starts afresh.
    [[nodiscard]] Result Prepare(HDC target, int width, int height);
    HDC dc() const { return dc_.get(); }
    // The DIB section's rows, bottom-up; valid until the next Prepare or Release. GDI must be done
    // with the bitmap (GdiFlush) before they are written.
    TargetRows rows() const { return rows_; }
    void Release();
    // A test seam: every Prepare fails with `failure` until it is given kReady again.
    void SimulateFailure(Result failure) { simulatedFailure_ = failure; }

  private:
    // Declared before the context, so the context goes first, while the bitmap is still selected.
    UniqueGdiObject bitmap_;
    UniqueMemoryDc dc_;
    TargetRows rows_;
    Result simulatedFailure_ = Result::kReady;
};

}  // namespace telvo
