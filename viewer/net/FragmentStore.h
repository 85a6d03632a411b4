// The most recent copy received of each fragment index of pictures of one kind (pictureSize,
// fragmentCount, compression), each with its length and the number of the picture it came from.
// Each index keeps its copy in a block of its own, allocated when the index first arrives, so the
// memory held follows the data received, never what a header claims: a picture whose fragments
// all arrived is read out of the copies in index order, and one whose fragments were lost can be
// completed with the same-index copies of earlier pictures. The number of slots comes from
// pictureSize (at most pictureSize / 32768 + 1), never from the fragmentCount of a datagram.
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
    HeapBlock data;  // kMaxDataLength bytes once the index has arrived
};

class FragmentStore {
  public:
    // Whether the store holds copies for pictures of `header`'s kind.
    bool Holds(const ScreenPacketHeader& header) const;

    // Whether `header` fits the store's shape: an index below fragmentCount, no more fragments than
    // pictureSize allows, and every fragment but the last one full.
    static bool WellFormed(const ScreenPacketHeader& header);

    // Serves pictures of the kind of `header` (WellFormed) with no copies; the copies' blocks of
    // indices beyond its fragments are freed. Returns false, holding nothing, when memory for the
    // slots cannot be had.
    [[nodiscard]] bool Reset(const ScreenPacketHeader& header);

    // Marks every copy held as one of picture `number`: after a picture is published, the copies
    // are the fragments of the stream on show, whichever picture brought them.
    void Relabel(std::uint32_t number);

    // Keeps the data of a fragment (of the kind held) as the copy of its index. False when the
    // memory for it cannot be had.
    [[nodiscard]] bool Put(const ScreenPacketHeader& header, const std::uint8_t* data);

    // How many indices hold a copy of picture `number`.
    std::uint32_t CountHeld(std::uint32_t number) const;

    const FragmentSlot& slot(std::uint32_t index) const { return slots_[index]; }
    std::uint32_t fragmentCount() const { return fragmentCount_; }
    // Bytes from the start of the stream to the end of the last fragment's copy.
    std::size_t StreamLength() const;
    // Copies the stream (every index held) to `out`, StreamLength() bytes.
    void CopyStream(std::uint8_t* out) const;

  private:
    // Forgets every copy; keeps the blocks and the kind.
    void Forget();

    std::unique_ptr<FragmentSlot[]> slots_;
    std::uint32_t slotCapacity_ = 0;
    std::uint32_t pictureSize_ = 0;
    std::uint32_t fragmentCount_ = 0;
    bool compressed_ = false;
};

}  // namespace telvo
