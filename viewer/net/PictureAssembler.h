// Reassembly: AcceptFragment puts the fragments of each picture back together, decompresses a
// complete compressed picture and publishes it to the PictureStore, then tells the user interface.
// One assembler serves one receive thread and is touched by no other; a new channel gets a new
// assembler.
//
// A picture is complete when every fragment index from 0 to fragmentCount - 1 has arrived, each
// counted once, so a repeated datagram never stands in for a lost one. The fragments are kept in
// a FragmentStore; a compressed picture that cannot complete from its own fragments (its last
// fragment has passed, none of it came for kStallMs, or a newer picture begins) has its holes
// filled with the same-index copies of earlier pictures, never older than the picture on show, and
// is published only when zlib inflates it to exactly pictureSize bytes (its Adler-32 checks the
// whole stream) that pass the bitmap header check. A still screen is the same stream every time,
// so its pictures complete through a lossy network. Uncompressed pictures carry no check and are
// never filled.
//
// Sequences: picture numbers only grow while a sender runs; a fragment of picture 0 after higher
// numbers means the sender restarted, and a sequence that was silent for kTakeOverMs (or three of
// its picture intervals, if longer) while lower numbers keep arriving gives way to them. The
// picture on show and the number that the title shows stay until the new sequence completes one.
//
// Hostile input is expected: a fragment whose data would land outside its picture, a pictureSize
// beyond any real screen, or a complete picture whose bitmap headers describe more pixels than it
// holds is dropped like a datagram of the wrong length, and reception goes on.
//
// Blocks are recycled: the picture that a new one replaces is kept as a spare for the next
// decodes, so a steady stream allocates nothing.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "base/HeapBlock.h"
#include "protocol/ScreenPacket.h"
#include "viewer/net/FragmentStore.h"
#include "viewer/net/PictureStore.h"

namespace telvo {

enum class AcceptStatus {
    kPictureComplete,
    kMoreToCome,
    kOlderPicture,
    kWrongLength,
    kNoPictureMemory,
    kNoDecodeMemory,
    kDecodeFailed,
};

// The status's fixed text (UTF-8). It is shown nowhere; no status ends reception.
const char* StatusText(AcceptStatus status);

inline constexpr std::uint64_t kStallMs = 500;
inline constexpr std::uint64_t kTakeOverMs = 10000;
// A picture 0 this soon after the sequence's own picture 0 is a late copy of it, not a restart.
inline constexpr std::uint64_t kRestartGuardMs = 1000;

// What the notification tells of a picture just published.
struct CompletedPicture {
    std::uint32_t number = 0;
    std::uint32_t size = 0;
    std::uint32_t fragments = 0;
    bool compressed = false;
    std::uint32_t reused = 0;  // fragments taken from earlier pictures
};

// A picture given up before it completed.
struct LostPicture {
    std::uint32_t number = 0;
    std::uint32_t fragmentsSeen = 0;
    std::uint32_t fragments = 0;
};

class PictureAssembler {
  public:
    using Notifier = std::function<void(const CompletedPicture&)>;
    using LossNotifier = std::function<void(const LostPicture&)>;
    using Clock = std::function<std::uint64_t()>;  // milliseconds, never going back

    // Publishes into `store` as long as it has not been cleared since `generation`; calls `notify`
    // (on the receive thread, synchronously) after each picture it publishes. `clock` tells the
    // time (a steady clock when empty).
    PictureAssembler(PictureStore& store, std::uint32_t generation, Notifier notify,
                     Clock clock = nullptr);
    PictureAssembler(const PictureAssembler&) = delete;
    PictureAssembler& operator=(const PictureAssembler&) = delete;

    // Called on the receive thread for each picture given up.
    void SetLossNotifier(LossNotifier notify) { lost_ = std::move(notify); }

    // `header` is the decoded header of `datagram`, which is `length` bytes long.
    [[nodiscard]] AcceptStatus AcceptFragment(const ScreenPacketHeader& header,
                                              const std::uint8_t* datagram, std::size_t length);

    // For the receive loop when no datagram came for a while: completes a compressed picture
    // that no fragment reached for kStallMs from earlier copies, if it can.
    void CheckStalled();

    // Number of the last accepted fragment (of the sequence that has shown a picture); 0 before
    // the first. Any thread.
    std::uint32_t lastPictureNumber() const { return lastPictureNumber_.load(); }

  private:
    bool FitsItsPicture(const ScreenPacketHeader& header, std::size_t length) const;
    bool StartsNewSequence(const ScreenPacketHeader& header, std::uint64_t now) const;
    void BeginSequence();
    AcceptStatus BeginPicture(const ScreenPacketHeader& header, std::uint64_t now);
    void GiveUp();
    bool TryFill();
    HeapBlock TakeBlock(std::size_t size);
    void KeepSpare(HeapBlock block);
    AcceptStatus Publish(std::uint32_t reused);

    PictureStore& store_;
    const std::uint32_t generation_;
    const Notifier notify_;
    const Clock clock_;
    LossNotifier lost_;

    FragmentStore fragments_;
    HeapBlock spares_[2];

    // The picture being assembled.
    bool assembling_ = false;
    ScreenPacketHeader picture_;
    std::uint32_t received_ = 0;  // its distinct fragment indices
    bool fillTried_ = false;      // since its last fragment
    std::uint64_t lastFragmentMs_ = 0;

    // The sequence.
    bool inSequence_ = false;
    std::uint32_t newest_ = 0;      // its newest picture number
    bool shown_ = false;            // it has published a picture
    std::uint32_t oldestFill_ = 0;  // fills take copies of pictures at least this recent
    std::uint64_t lastAcceptMs_ = 0;
    std::uint64_t pictureBeganMs_ = 0;
    std::uint64_t intervalMs_ = 0;  // between its last two pictures
    bool zeroSeen_ = false;
    std::uint64_t zeroMs_ = 0;

    std::atomic<std::uint32_t> lastPictureNumber_{0};
};

}  // namespace telvo
