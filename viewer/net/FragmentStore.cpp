#include "viewer/net/FragmentStore.h"

#include <cstring>
#include <new>
#include <utility>

namespace telvo {

bool FragmentStore::Holds(const ScreenPacketHeader& header) const {
    return block_ && header.pictureSize == pictureSize_ && header.fragmentCount == fragmentCount_ &&
           header.compressed() == compressed_;
}

bool FragmentStore::WellFormed(const ScreenPacketHeader& header) {
    const std::uint32_t maxCount = header.pictureSize / kMaxDataLength + 1;
    return header.fragmentCount <= maxCount && header.fragmentIndex < header.fragmentCount &&
           (header.fragmentIndex + 1 == header.fragmentCount ||
            header.dataLength == kMaxDataLength);
}

bool FragmentStore::Reset(const ScreenPacketHeader& header, HeapBlock block) {
    const std::uint32_t slots = header.pictureSize / kMaxDataLength + 1;
    if (slots > slotCapacity_) {
        slots_.reset(new (std::nothrow) FragmentSlot[slots]);
        slotCapacity_ = slots_ ? slots : 0;
    }
    if (!slots_) {
        block_.reset();
        return false;
    }
    block_ = std::move(block);
    pictureSize_ = header.pictureSize;
    fragmentCount_ = header.fragmentCount;
    compressed_ = header.compressed();
    Forget();
    return true;
}

void FragmentStore::Forget() {
    for (std::uint32_t i = 0; i < fragmentCount_; ++i) slots_[i] = FragmentSlot();
}

void FragmentStore::Relabel(std::uint32_t number) {
    for (std::uint32_t i = 0; i < fragmentCount_; ++i) {
        if (slots_[i].held) slots_[i].number = number;
    }
}

HeapBlock FragmentStore::Release() {
    Forget();
    fragmentCount_ = 0;
    return std::move(block_);
}

void FragmentStore::Put(const ScreenPacketHeader& header, const std::uint8_t* data) {
    std::memcpy(block_.get() + std::size_t{header.fragmentIndex} * kMaxDataLength, data,
                header.dataLength);
    slots_[header.fragmentIndex] = {true, header.pictureNumber, header.dataLength};
}

std::size_t FragmentStore::StreamLength() const {
    return std::size_t{fragmentCount_ - 1} * kMaxDataLength + slots_[fragmentCount_ - 1].length;
}

}  // namespace telvo
