// A heap block of bytes with one owner, and the capacity it was allocated with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace telvo {

class HeapBlock {
  public:
    HeapBlock() = default;
    ~HeapBlock() { std::free(bytes_); }

    HeapBlock(const HeapBlock&) = delete;
    HeapBlock& operator=(const HeapBlock&) = delete;
    HeapBlock(HeapBlock&& other) noexcept
        : bytes_(std::exchange(other.bytes_, nullptr)),
          capacity_(std::exchange(other.capacity_, 0)) {}
    HeapBlock& operator=(HeapBlock&& other) noexcept {
        if (this != &other) {
            std::free(bytes_);
            bytes_ = std::exchange(other.bytes_, nullptr);
            capacity_ = std::exchange(other.capacity_, 0);
        }
        return *this;
    }

    // An empty block when the memory cannot be had. The bytes are not initialised.
    static HeapBlock Allocate(std::size_t capacity) {
        HeapBlock block;
        block.bytes_ = static_cast<std::uint8_t*>(std::malloc(capacity > 0 ? capacity : 1));
        if (block.bytes_ != nullptr) block.capacity_ = capacity;
        return block;
    }

    std::uint8_t* get() const noexcept { return bytes_; }
    std::size_t capacity() const noexcept { return capacity_; }
    explicit operator bool() const noexcept { return bytes_ != nullptr; }
    void reset() noexcept { *this = HeapBlock(); }

  private:
    std::uint8_t* bytes_ = nullptr;
    std::size_t capacity_ = 0;
};

}  // namespace telvo
