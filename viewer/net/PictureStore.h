// The CurrentImage: the last complete picture, a ScreenBitmap as received and decoded, guarded by
// imageLock. The receive thread hands a finished picture over by pointer; readers (painting,
// layout, title) use it only while they hold the lock, through an ImageReader; saving takes a copy.
#pragma once

#include <cstdint>

#include "base/HeapBlock.h"
#include "base/Lock.h"

namespace telvo {

// A copy of the CurrentImage that lives on without imageLock: what saving writes.
struct PictureCopy {
    HeapBlock bytes;         // empty when there was no picture, or no memory for the copy
    std::uint32_t size = 0;  // the picture's length; 0 when there was none
};

// Copies `size` bytes of a picture read under imageLock (nothing when `bytes` is null).
PictureCopy CopyPicture(const std::uint8_t* bytes, std::uint32_t size);

class PictureStore {
  public:
    PictureStore() = default;
    PictureStore(const PictureStore&) = delete;
    PictureStore& operator=(const PictureStore&) = delete;

    // Makes `picture` (its first `size` bytes) the CurrentImage, unless the store has been cleared
    // since `generation`: a receive thread of a channel that was left must not show its pictures.
    // On return `picture` holds the block that was replaced (or its own, when refused), for reuse.
    [[nodiscard]] bool Publish(HeapBlock& picture, std::uint32_t size, std::uint32_t generation);

    // Frees the CurrentImage and starts a new generation, which it returns.
    std::uint32_t Clear();

    std::uint32_t generation() const;

    CriticalSection& imageLock() const { return imageLock_; }

  private:
    friend class ImageReader;

    mutable CriticalSection imageLock_;
    HeapBlock imageBytes_;
    std::uint32_t imageSize_ = 0;
    std::uint32_t generation_ = 0;
};

// Holds imageLock for its lifetime; re-entrant on one thread.
class ImageReader {
  public:
    explicit ImageReader(const PictureStore& store) : store_(store), lock_(store.imageLock_) {}

    // None when there is no picture. Valid only while this reader lives.
    const std::uint8_t* bytes() const { return store_.imageBytes_.get(); }
    std::uint32_t size() const { return store_.imageSize_; }

  private:
    const PictureStore& store_;
    ScopedLock lock_;
};

}  // namespace telvo
