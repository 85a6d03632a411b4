#include "viewer/net/PictureStore.h"

#include <cstring>
#include <utility>

namespace telvo {

bool PictureStore::Publish(HeapBlock& picture, std::uint32_t size, std::uint32_t generation) {
    ScopedLock lock(imageLock_);
    if (generation != generation_) return false;
    std::swap(imageBytes_, picture);
    imageSize_ = size;
    return true;
}

std::uint32_t PictureStore::Clear() {
    HeapBlock freed;
    ScopedLock lock(imageLock_);
    std::swap(freed, imageBytes_);
    imageSize_ = 0;
    return ++generation_;
}

std::uint32_t PictureStore::generation() const {
    ScopedLock lock(imageLock_);
    return generation_;
}

bool PictureStore::HasPicture() const {
    ScopedLock lock(imageLock_);
    return static_cast<bool>(imageBytes_);
}

PictureCopy PictureStore::Copy() const {
    PictureCopy copy;
    ScopedLock lock(imageLock_);
    if (!imageBytes_) return copy;
    copy.size = imageSize_;
    copy.bytes = HeapBlock::Allocate(imageSize_);
    if (copy.bytes) std::memcpy(copy.bytes.get(), imageBytes_.get(), imageSize_);
    return copy;
}

}  // namespace telvo
