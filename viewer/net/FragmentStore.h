// The most recent copy received of each fragment index of pictures of one kind (pictureSize,
// fragmentCount, compression), each with its length and the number of the picture it came from.
// The copies lie at their place in the picture, in one block of pictureSize bytes, so a picture
// whose own fragments all arrived is read straight out of the block, and one whose fragments were
// lost can be completed with the same-index copies of earlier pictures. The number of slots comes
// from pictureSize (at most pictureSize / 32768 + 1), never from the fragmentCount of a datagram.
// One receive thread owns it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/HeapBlock.h"
#include "protocol/ScreenPacket.h"

namespace telvo {

struct FragmentSlot {
    bool held = false;
    std::uint32_t number = 0;  // picture the copy came from
    std::uint32_t length = 0;
};

class FragmentStore {
  public:
    // Whether the store holds copies for pictures of `header`'s kind.
    bool Holds(const ScreenPacketHeader& header) const;

    // Whether `header` fits the store's shape: an index below fragmentCount, no more fragments than
    // pictureSize allows, and every fragment but the last one full.
    static bool WellFormed(const ScreenPacketHeader& header);

    // Serves pictures of the kind of `header` (WellFormed) with `block` (at least pictureSize
    // bytes) and no copies. Returns false, holding nothing, when memory for the slots cannot be
    // had.
    [[nodiscard]] bool Reset(const ScreenPacketHeader& header, HeapBlock block);

    // Forgets every copy; keeps the block and the kind.
    void Forget();

    // Gives the block away; the store holds nothing after.
    HeapBlock Release();

    // Marks every copy held as one of picture `number`: after a picture is published, the copies
    // are the fragments of the stream on show, whichever picture brought them.
    void Relabel(std::uint32_t number);

    // Keeps the data of a fragment (of the kind held) as the copy of its index.
    void Put(const ScreenPacketHeader& header, const std::uint8_t* data);

    const FragmentSlot& slot(std::uint32_t index) const { return slots_[index]; }
    std::uint32_t fragmentCount() const { return fragmentCount_; }
    std::uint32_t pictureSize() const { return pictureSize_; }
    std::uint8_t* bytes() const { return block_.get(); }
    // Bytes from the start of the block to the end of the last fragment's copy.
    std::size_t StreamLength() const;

  private:
    HeapBlock block_;
    std::unique_ptr<FragmentSlot[]> slots_;
    std::uint32_t slotCapacity_ = 0;
    std::uint32_t pictureSize_ = 0;
    std::uint32_t fragmentCount_ = 0;
    bool compressed_ = false;
};

}  // namespace telvo
