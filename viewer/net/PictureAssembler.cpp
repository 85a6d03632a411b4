#include "viewer/net/PictureAssembler.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

#include "protocol/ScreenBitmap.h"

namespace telvo {
namespace {

std::uint64_t SteadyMilliseconds() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

}  // namespace

const char* StatusText(AcceptStatus status) {
    switch (status) {
        case AcceptStatus::kPictureComplete:
            return " 揃った";
        case AcceptStatus::kMoreToCome:
            return " まだ続きがある";
        case AcceptStatus::kOlderPicture:
            return " 現在より古い画像パケット";
        case AcceptStatus::kWrongLength:
            return " 不正なサイズのパケット";
        case AcceptStatus::kNoPictureMemory:
            return "ビットマップデータ用のメモリを確保できませんでした";
        case AcceptStatus::kNoDecodeMemory:
            return "圧縮パケットを解凍するためのメモリを確保できませんでした";
        case AcceptStatus::kDecodeFailed:
            return "圧縮パケットの解凍に失敗しました";
    }
    return "";
}

PictureAssembler::PictureAssembler(PictureStore& store, std::uint32_t generation, Notifier notify,
                                   Clock clock)
    : store_(store),
      generation_(generation),
      notify_(std::move(notify)),
      clock_(clock ? std::move(clock) : Clock(&SteadyMilliseconds)) {}

bool PictureAssembler::FitsItsPicture(const ScreenPacketHeader& header, std::size_t length) const {
    // 64-bit sums: 32 + dataLength and index x 32768 + dataLength must not wrap.
    if (length != kHeaderSize + std::uint64_t{header.dataLength}) return false;
    if (header.dataLength > kMaxDataLength || header.pictureSize > kMaxPictureSize) return false;
    return std::uint64_t{header.fragmentIndex} * kMaxDataLength + header.dataLength <=
               header.pictureSize &&
           FragmentStore::WellFormed(header);
}

HeapBlock PictureAssembler::TakeBlock(std::size_t size) {
    for (HeapBlock& spare : spares_) {
        if (spare && spare.capacity() >= size) return std::move(spare);
    }
    for (HeapBlock& spare : spares_) spare.reset();  // all too small: the pictures grew
    return HeapBlock::Allocate(size);
}

void PictureAssembler::KeepSpare(HeapBlock block) {
    if (!block) return;
    HeapBlock* slot = &spares_[0];
    if (spares_[0] && (!spares_[1] || spares_[1].capacity() < spares_[0].capacity())) {
        slot = &spares_[1];
    }
    if (!*slot || slot->capacity() <= block.capacity()) *slot = std::move(block);
}

AcceptStatus PictureAssembler::AcceptFragment(const ScreenPacketHeader& header,
                                              const std::uint8_t* datagram, std::size_t length) {
    if (!FitsItsPicture(header, length)) return AcceptStatus::kWrongLength;
    const std::uint64_t now = clock_();
    if (!assembling_ || header.pictureNumber != picture_.pictureNumber) {
        if (inSequence_ && header.pictureNumber <= newest_) {
            if (!StartsNewSequence(header, now)) {
                CheckStalled();
                return AcceptStatus::kOlderPicture;
            }
            BeginSequence();
        }
        if (const AcceptStatus status = BeginPicture(header, now);
            status != AcceptStatus::kMoreToCome) {
            return status;
        }
    } else if (!fragments_.Holds(header)) {
        return AcceptStatus::kWrongLength;  // not the kind its first fragment told
    }

    lastAcceptMs_ = now;
    const FragmentSlot& slot = fragments_.slot(header.fragmentIndex);
    if (slot.held && slot.number == header.pictureNumber) return AcceptStatus::kMoreToCome;
    fragments_.Put(header, datagram + kHeaderSize);
    ++received_;
    fillTried_ = false;
    lastFragmentMs_ = now;
    if (shown_) lastPictureNumber_.store(header.pictureNumber);

    if (received_ == header.fragmentCount) {
        const AcceptStatus status = Publish(0);
        if (status != AcceptStatus::kPictureComplete) GiveUp();
        return status;
    }
    if (header.fragmentIndex + 1 == header.fragmentCount && TryFill()) {
        return AcceptStatus::kPictureComplete;
    }
    return AcceptStatus::kMoreToCome;
}

bool PictureAssembler::StartsNewSequence(const ScreenPacketHeader& header,
                                         std::uint64_t now) const {
    // The sender's counter starts at 0 only when it starts.
    if (header.pictureNumber == 0 && newest_ > 0 &&
        !(zeroSeen_ && now - zeroMs_ < kRestartGuardMs)) {
        return true;
    }
    return now - lastAcceptMs_ >= std::max(kTakeOverMs, 3 * intervalMs_);
}

void PictureAssembler::BeginSequence() {
    GiveUp();
    fragments_.Forget();
    inSequence_ = false;
    shown_ = false;
    oldestFill_ = 0;
    intervalMs_ = 0;
    zeroSeen_ = false;
}

AcceptStatus PictureAssembler::BeginPicture(const ScreenPacketHeader& header, std::uint64_t now) {
    if (!TryFill()) GiveUp();
    if (!fragments_.Holds(header)) {
        KeepSpare(fragments_.Release());
        HeapBlock block = TakeBlock(header.pictureSize);
        if (!block || !fragments_.Reset(header, std::move(block))) {
            return AcceptStatus::kNoPictureMemory;
        }
    }
    if (inSequence_) intervalMs_ = now - pictureBeganMs_;
    pictureBeganMs_ = now;
    inSequence_ = true;
    newest_ = header.pictureNumber;
    if (header.pictureNumber == 0 && !zeroSeen_) {
        zeroSeen_ = true;
        zeroMs_ = now;
    }
    assembling_ = true;
    picture_ = header;
    received_ = 0;
    fillTried_ = false;
    return AcceptStatus::kMoreToCome;
}

void PictureAssembler::GiveUp() {
    if (!assembling_) return;
    assembling_ = false;
    if (lost_) lost_({picture_.pictureNumber, received_, picture_.fragmentCount});
}

void PictureAssembler::CheckStalled() {
    if (assembling_ && picture_.compressed() && !fillTried_ &&
        clock_() - lastFragmentMs_ >= kStallMs) {
        (void)TryFill();
    }
}

bool PictureAssembler::TryFill() {
    if (!assembling_ || !picture_.compressed() || fillTried_) return false;
    fillTried_ = true;
    std::uint32_t reused = 0;
    for (std::uint32_t i = 0; i < picture_.fragmentCount; ++i) {
        const FragmentSlot& slot = fragments_.slot(i);
        if (slot.held && slot.number == picture_.pictureNumber) continue;
        // A copy older than the picture on show could bring back what it replaced, should every
        // fragment in which the two differ be lost.
        if (!slot.held || slot.number < oldestFill_) return false;
        ++reused;
    }
    return Publish(reused) == AcceptStatus::kPictureComplete;
}

AcceptStatus PictureAssembler::Publish(std::uint32_t reused) {
    const std::uint32_t size = picture_.pictureSize;
    HeapBlock picture;
    if (picture_.compressed()) {
        picture = TakeBlock(size);
        if (!picture) return AcceptStatus::kNoDecodeMemory;
        uLongf decodedLength = size;
        // Z_OK means the stream ended and its Adler-32 matched. A filled stream must also fill
        // the picture exactly, as every stream the sender makes does.
        if (uncompress(picture.get(), &decodedLength, fragments_.bytes(),
                       fragments_.StreamLength()) != Z_OK ||
            (reused > 0 && decodedLength != size)) {
            KeepSpare(std::move(picture));
            return AcceptStatus::kDecodeFailed;
        }
        // A stream shorter than the picture must not leave stale bytes behind it.
        std::memset(picture.get() + decodedLength, 0, size - decodedLength);
    } else {
        const std::size_t end = fragments_.StreamLength();
        std::memset(fragments_.bytes() + end, 0, size - end);
        picture = fragments_.Release();
    }
    assembling_ = false;

    BitmapLayout layout;
    if (!DescribeBitmap(picture.get(), size, &layout)) {
        KeepSpare(std::move(picture));
        if (lost_) lost_({picture_.pictureNumber, received_, picture_.fragmentCount});
        return AcceptStatus::kWrongLength;
    }
    const bool published = store_.Publish(picture, size, generation_);
    KeepSpare(std::move(picture));
    shown_ = true;
    oldestFill_ = picture_.pictureNumber;
    fragments_.Relabel(picture_.pictureNumber);
    lastPictureNumber_.store(newest_);

    std::this_thread::yield();
    if (published && notify_) {
        notify_(
            {picture_.pictureNumber, size, picture_.fragmentCount, picture_.compressed(), reused});
    }
    return AcceptStatus::kPictureComplete;
}

}  // namespace telvo
