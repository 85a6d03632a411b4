// Reassembly: AcceptFragment puts the fragments of each picture back together, decompresses a
// complete compressed picture and publishes it to the PictureStore, then tells the user interface.
// One assembler serves one receive thread and is touched by no other; a new channel gets a new
// assembler.
//
// One sender per channel: the viewer follows the sender (address and port) of the picture on show.
// While that sender is live (it sent something within max(kLiveMinMs, 2 x the median of its last
// kIntervalGaps gaps between pictures)), datagrams from other addresses are ignored; once it has
// been silent that long, the first complete picture from another address is shown and its sender
// followed. The same address from another port is the sender started again, followed as soon as it
// completes a picture, whatever its numbers; but a port followed before is judged by the number it
// showed last, so a late copy of its pictures starts nothing.
//
// Only a complete, verified picture moves anything: the number on show, the sender followed and
// the measure of its interval. Within the followed sender a picture is shown when its number is
// newer than the one on show by serial-number arithmetic ((n - m) mod 2^32 in 1 ... 2^31 - 1), so
// the count wraps cleanly; a picture that is not newer is a late copy, unless three complete ones
// in a row, under numbers it has not shown lately, are older (a forged high number slipped in, or
// the sender's count went back): then the third is shown and followed.
//
// A picture is complete when every fragment index from 0 to fragmentCount - 1 has arrived, each
// counted once, so a repeated datagram never stands in for a lost one. A compressed picture that
// cannot complete from its own fragments (its last fragment has passed, none of it came for
// kStallMs, or a newer picture begins) has its holes filled with the same-index copies of earlier
// pictures of its sender, never older than the picture on show. A compressed
// picture is published only when its stream inflates to exactly pictureSize bytes (zlib's Adler-32
// checks the whole stream), an uncompressed one only when its fragments make exactly pictureSize
// bytes; and either only when its bitmap headers fit inside it.
//
// Hostile input is expected: a fragment whose data would land outside its picture, a pictureSize
// beyond any real screen, or a complete picture that fails a check is dropped, and reception goes
// on. Memory follows what arrives: fragments are kept per index as they come, and a stream is
// inflated into a block no larger than what its length can inflate to.
//
// A viewer that falls behind skips pictures rather than showing each late (optional, see
// SetBacklogProbe): a newer picture of the followed sender that completes while another datagram
// is already waiting is held back undecoded. When that datagram begins a newer picture of the same
// sender, the held one is dropped (its fragments stay for fills); anything else, the socket found
// empty included, has it decoded and shown first. So the last picture of a backlog is always shown,
// every picture is while the viewer keeps up, and no flood of other datagrams keeps one back.
//
// Blocks are recycled: the picture that a new one replaces is kept as a spare for the next
// decodes, so a steady stream allocates nothing; spares much larger than the pictures are freed.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "base/HeapBlock.h"
#include "protocol/ScreenPacket.h"
#include "viewer/net/DatagramSource.h"
#include "viewer/net/FragmentStore.h"
#include "viewer/net/PictureStore.h"

namespace telvo {

enum class AcceptStatus {
    kPictureComplete,
    kMoreToCome,
    kOlderPicture,
    kWrongLength,
    kOtherSender,
    kNoPictureMemory,
    kNoDecodeMemory,
    kDecodeFailed,
};

// The status's fixed text (UTF-8). It is shown nowhere; no status ends reception.
const char* StatusText(AcceptStatus status);

inline constexpr std::uint64_t kStallMs = 500;
inline constexpr std::uint64_t kLiveMinMs = 3000;
inline constexpr std::size_t kIntervalGaps = 5;
// Older complete pictures in a row from the followed sender that are shown and followed.
inline constexpr std::uint32_t kOlderRunFollowed = 3;

// Whether picture number `n` is newer than `m`: (n - m) mod 2^32 in 1 ... 2^31 - 1.
constexpr bool NewerNumber(std::uint32_t n, std::uint32_t m) {
    const std::uint32_t ahead = n - m;
    return ahead != 0 && ahead < 0x80000000u;
}

// What the notification tells of a picture just published.
struct CompletedPicture {
    std::uint32_t number = 0;
    std::uint32_t size = 0;
    std::uint32_t fragments = 0;
    bool compressed = false;
    std::uint32_t reused = 0;  // fragments taken from earlier pictures
    DatagramSource source;
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
    using SenderNotifier = std::function<void(const DatagramSource&)>;
    using Clock = std::function<std::uint64_t()>;  // milliseconds, never going back
    using BacklogProbe = std::function<bool()>;    // whether another datagram is waiting

    // Publishes into `store` as long as it has not been cleared since `generation`; calls `notify`
    // (on the receive thread, synchronously) after each picture it publishes. `clock` tells the
    // time (a steady clock when empty).
    PictureAssembler(PictureStore& store, std::uint32_t generation, Notifier notify,
                     Clock clock = nullptr);
    PictureAssembler(const PictureAssembler&) = delete;
    PictureAssembler& operator=(const PictureAssembler&) = delete;

    // Called on the receive thread for each picture given up.
    void SetLossNotifier(LossNotifier notify) { lost_ = std::move(notify); }
    // Called on the receive thread when a datagram comes from a sender other than the one
    // followed, once each time that other sender changes.
    void SetSenderNotifier(SenderNotifier notify) { otherSender_ = std::move(notify); }
    // Asked when a picture completes: while another datagram waits, the picture may be skipped
    // for a newer one. Without a probe every picture is shown.
    void SetBacklogProbe(BacklogProbe probe) { backlog_ = std::move(probe); }

    // `header` is the decoded header of `datagram`, which is `length` bytes long and came from
    // `source`.
    [[nodiscard]] AcceptStatus AcceptFragment(const ScreenPacketHeader& header,
                                              const std::uint8_t* datagram, std::size_t length,
                                              const DatagramSource& source);

    // For the receive loop when no datagram came for a while: shows a picture held back for a
    // backlog, and completes a compressed picture that no fragment reached for kStallMs from
    // earlier copies, if it can.
    void CheckStalled();

    // Number of the picture on show; 0 before the first. Any thread.
    std::uint32_t lastPictureNumber() const { return lastPictureNumber_.load(); }

  private:
    // The reassembly of one sender's pictures.
    struct Track {
        bool used = false;
        DatagramSource source;
        FragmentStore fragments;
        bool assembling = false;
        ScreenPacketHeader picture;
        std::uint32_t received = 0;  // its distinct fragment indices
        bool fillTried = false;      // since its last fragment
        std::uint64_t lastFragmentMs = 0;
        std::uint64_t lastDatagramMs = 0;
    };

    bool FitsItsPicture(const ScreenPacketHeader& header, std::size_t length) const;
    Track* TrackFor(const DatagramSource& source, std::uint64_t now);
    bool FollowedLive(std::uint64_t now) const;
    bool MayBegin(const ScreenPacketHeader& header, std::uint64_t now) const;
    AcceptStatus BeginPicture(Track& track, const ScreenPacketHeader& header);
    void GiveUp(Track& track);
    // Shows the picture held back for a backlog, or drops it when `superseded`.
    void ReleaseHeld(bool superseded);
    void CheckStalled(Track& track, std::uint64_t now);
    bool TryFill(Track& track);
    AcceptStatus Complete(Track& track, std::uint32_t reused);
    AcceptStatus Decode(const Track& track, HeapBlock* picture);
    void Publish(Track& track, HeapBlock picture, std::uint32_t reused);
    bool LateFromRetired(const Track& track) const;
    HeapBlock TakeBlock(std::size_t size);
    void KeepSpare(HeapBlock block);

    PictureStore& store_;
    const std::uint32_t generation_;
    const Notifier notify_;
    const Clock clock_;
    LossNotifier lost_;
    SenderNotifier otherSender_;
    BacklogProbe backlog_;
    bool held_ = false;  // followed_ is complete, held back while more was waiting

    Track followed_;   // the sender of the picture on show
    Track candidate_;  // another sender, while the followed one may be replaced
    HeapBlock spares_[2];

    bool shown_ = false;
    std::uint32_t shownNumber_ = 0;
    std::uint32_t shownSize_ = 0;
    std::uint64_t shownMs_ = 0;
    std::uint64_t gaps_[kIntervalGaps] = {};  // between the followed sender's pictures
    std::size_t gapCount_ = 0;
    std::uint32_t olderRun_ = 0;  // complete older pictures in a row
    std::uint32_t olderLast_ = 0;
    // Senders followed before and the last number each showed: a late copy from one of them is no
    // new start. Oldest first.
    struct Retired {  // a sender and a number
        DatagramSource source;
        std::uint32_t number = 0;
    };
    static constexpr std::size_t kRetiredKept = 4;
    Retired retired_[kRetiredKept];
    std::size_t retiredCount_ = 0;
    // The pictures shown last: one under the same sender and number is a late copy, and does not
    // count towards a run of older ones.
    static constexpr std::size_t kShownKept = 64;
    Retired shownLately_[kShownKept];
    std::size_t shownCount_ = 0;
    bool toldOther_ = false;
    DatagramSource toldSource_;

    std::atomic<std::uint32_t> lastPictureNumber_{0};
};

}  // namespace telvo
