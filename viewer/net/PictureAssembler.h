// Reassembly: AcceptFragment puts the fragments of each picture back together in one block of the
// picture's size, decompresses a complete compressed picture and publishes it to the PictureStore,
// then tells the user interface. One assembler serves one receive thread and is touched by no
// other; a new channel gets a new assembler.
//
// Hostile input is expected: a fragment whose data would land outside its picture, a pictureSize
// beyond any real screen, or a complete picture whose bitmap headers describe more pixels than it
// holds is dropped like a datagram of the wrong length, and reception goes on.
//
// Blocks are recycled: the picture that a new one replaces, and the compressed block once decoded,
// are kept as spares for the next assemblies, so a steady stream allocates nothing. Bytes that no
// fragment wrote are zeroed lazily, just before anything could read them.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "base/HeapBlock.h"
#include "protocol/ScreenPacket.h"
#include "viewer/net/PictureStore.h"

namespace telvo {

enum class AcceptStatus {
    PictureComplete,
    MoreToCome,
    OlderPicture,
    WrongLength,
    NoPictureMemory,
    NoDecodeMemory,
    DecodeFailed,
};

// The status's fixed text (UTF-8). It is shown nowhere; a text that begins with a blank lets the
// receive loop go on.
const char* StatusText(AcceptStatus status);
bool ContinuesReception(AcceptStatus status);

// What the notification tells of a picture just published.
struct CompletedPicture {
    std::uint32_t number = 0;
    std::uint32_t size = 0;
    std::uint32_t fragments = 0;
    bool compressed = false;
};

class PictureAssembler {
  public:
    using Notifier = std::function<void(const CompletedPicture&)>;

    // Publishes into `store` as long as it has not been cleared since `generation`; calls `notify`
    // (on the receive thread, synchronously) after each picture it publishes.
    PictureAssembler(PictureStore& store, std::uint32_t generation, Notifier notify);
    PictureAssembler(const PictureAssembler&) = delete;
    PictureAssembler& operator=(const PictureAssembler&) = delete;

    // `header` is the decoded header of `datagram`, which is `length` bytes long.
    [[nodiscard]] AcceptStatus AcceptFragment(const ScreenPacketHeader& header,
                                              const std::uint8_t* datagram, std::size_t length);

    // Number of the last accepted fragment; 0 before the first. Any thread.
    std::uint32_t lastPictureNumber() const { return lastPictureNumber_.load(); }

  private:
    bool FitsItsPicture(const ScreenPacketHeader& header, std::size_t length) const;
    HeapBlock TakeBlock(std::size_t size);
    void KeepSpare(HeapBlock block);
    void ZeroUpTo(std::size_t end);
    AcceptStatus CompletePicture(const ScreenPacketHeader& header);

    PictureStore& store_;
    const std::uint32_t generation_;
    const Notifier notify_;

    HeapBlock assembly_;
    std::uint32_t assemblySize_ = 0;
    std::size_t cleanEnd_ = 0;  // every byte of assembly_ below it is fragment data or zero
    ScreenPacketHeader lastPacket_;
    std::atomic<std::uint32_t> lastPictureNumber_{0};
    std::uint32_t fragmentsReceived_ = 0;
    std::uint32_t bytesReceived_ = 0;
    HeapBlock spares_[2];
};

}  // namespace telvo
