#include "viewer/net/FragmentStore.h"

#include <cstring>
#include <new>
#include <utility>

namespace telvo {

bool FragmentStore::Holds(const ScreenPacketHeader& header) const {
    return fragmentCount_ > 0 && header.pictureSize == pictureSize_ &&
           header.fragmentCount == fragmentCount_ && header.compressed() == compressed_;
}

bool FragmentStore::WellFormed(const ScreenPacketHeader& header) {
    const std::uint32_t maxCount = header.pictureSize / kMaxDataLength + 1;
    return header.fragmentCount <= maxCount && header.fragmentIndex < header.fragmentCount &&
           (header.fragmentIndex + 1 == header.fragmentCount ||
            header.dataLength == kMaxDataLength);
}

bool FragmentStore::Reset(const ScreenPacketHeader& header) {
    const std::uint32_t slots = header.pictureSize / kMaxDataLength + 1;
    if (slots > slotCapacity_) {
        slots_.reset(new (std::nothrow) FragmentSlot[slots]);
        slotCapacity_ = slots_ ? slots : 0;
    }
    if (!slots_) {
        fragmentCount_ = 0;
        return false;
    }
    // The copies of a larger kind of picture are not kept for this one.
    for (std::uint32_t i = header.fragmentCount; i < slotCapacity_; ++i) slots_[i].data.reset();
    pictureSize_ = header.pictureSize;
    fragmentCount_ = header.fragmentCount;
    compressed_ = header.compressed();
    Forget();
    return true;
}

void FragmentStore::Forget() {
    for (std::uint32_t i = 0; i < fragmentCount_; ++i) slots_[i].held = false;
}

void FragmentStore::Relabel(std::uint32_t number) {
    for (std::uint32_t i = 0; i < fragmentCount_; ++i) {
        if (slots_[i].held) slots_[i].number = number;
    }
}

bool FragmentStore::Put(const ScreenPacketHeader& header, const std::uint8_t* data) {
    FragmentSlot& slot = slots_[header.fragmentIndex];
    if (!slot.data) slot.data = HeapBlock::Allocate(kMaxDataLength);
    if (!slot.data) return false;
    std::memcpy(slot.data.get(), data, header.dataLength);
    slot.held = true;
    slot.number = header.pictureNumber;
    slot.length = header.dataLength;
    return true;
}

std::uint32_t FragmentStore::CountHeld(std::uint32_t number) const {
    std::uint32_t count = 0;
    for (std::uint32_t i = 0; i < fragmentCount_; ++i) {
        count += slots_[i].held && slots_[i].number == number;
    }
    return count;
}

std::size_t FragmentStore::StreamLength() const {
    return std::size_t{fragmentCount_ - 1} * kMaxDataLength + slots_[fragmentCount_ - 1].length;
}

void FragmentStore::CopyStream(std::uint8_t* out) const {
    for (std::uint32_t i = 0; i < fragmentCount_; ++i) {
        std::memcpy(out + std::size_t{i} * kMaxDataLength, slots_[i].data.get(), slots_[i].length);
    }
}

}  // namespace telvo
