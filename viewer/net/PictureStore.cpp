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

PictureCopy CopyPicture(const std::uint8_t* bytes, std::uint32_t size) {
    PictureCopy copy;
    if (bytes == nullptr) return copy;
    copy.size = size;
    copy.bytes = HeapBlock::Allocate(size);
    if (copy.bytes) std::memcpy(copy.bytes.get(), bytes, size);
    return copy;
}

}  // namespace telvo
