// One owning-handle template for every kind of handle: copy deleted, move allowed. Each kind
// gives a Traits with its Handle type, its empty value and how to close it.
#pragma once

namespace telvo {

template <typename Traits>
class UniqueHandle {
  public:
    using Handle = typename Traits::Handle;

    UniqueHandle() noexcept : handle_(Traits::Invalid()) {}
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::Invalid(); }

    void reset(Handle handle = Traits::Invalid()) noexcept {
        const Handle old = handle_;
        handle_ = handle;
        if (old != Traits::Invalid()) Traits::Close(old);
    }

    [[nodiscard]] Handle release() noexcept {
        const Handle handle = handle_;
        handle_ = Traits::Invalid();
        return handle;
    }

  private:
    Handle handle_;
};

}  // namespace telvo
