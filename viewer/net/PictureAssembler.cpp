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
        case AcceptStatus::kOtherSender:
            return " 別の送信元のパケット";
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
    // A block much larger than the pictures on show (a claim that failed) is not worth its memory.
    if (!block || block.capacity() > 2 * std::size_t{shownSize_} + kMaxDataLength) return;
    HeapBlock* slot = &spares_[0];
    if (spares_[0] && (!spares_[1] || spares_[1].capacity() < spares_[0].capacity())) {
        slot = &spares_[1];
    }
    if (!*slot || slot->capacity() <= block.capacity()) *slot = std::move(block);
}

AcceptStatus PictureAssembler::AcceptFragment(const ScreenPacketHeader& header,
                                              const std::uint8_t* datagram, std::size_t length,
                                              const DatagramSource& source) {
    const bool fits = FitsItsPicture(header, length);
    if (held_) {
        ReleaseHeld(fits && source == followed_.source &&
                    NewerNumber(header.pictureNumber, followed_.picture.pictureNumber));
    }
    if (!fits) return AcceptStatus::kWrongLength;
    const std::uint64_t now = clock_();
    Track* const track = TrackFor(source, now);
    if (track == nullptr) {
        CheckStalled(followed_, now);
        return AcceptStatus::kOtherSender;
    }
    track->lastDatagramMs = now;
    if (!track->assembling || header.pictureNumber != track->picture.pictureNumber) {
        if (track == &followed_ && !MayBegin(header, now)) {
            CheckStalled(followed_, now);
            return AcceptStatus::kOlderPicture;
        }
        // The picture it interrupts cannot complete from its own fragments now.
        if (TryFill(*track)) {
            // Shown: its sender may be followed now, and this fragment is judged as its.
            return AcceptFragment(header, datagram, length, source);
        }
        GiveUp(*track);
        if (const AcceptStatus status = BeginPicture(*track, header);
            status != AcceptStatus::kMoreToCome) {
            return status;
        }
    } else if (!track->fragments.Holds(header)) {
        return AcceptStatus::kWrongLength;  // not the kind its first fragment told
    }

    const FragmentSlot& slot = track->fragments.slot(header.fragmentIndex);
    if (slot.held && slot.number == header.pictureNumber) return AcceptStatus::kMoreToCome;
    if (!track->fragments.Put(header, datagram + kHeaderSize)) {
        return AcceptStatus::kNoPictureMemory;
    }
    ++track->received;
    track->fillTried = false;
    track->lastFragmentMs = now;

    if (track->received == header.fragmentCount) {
        if (track == &followed_ && NewerNumber(header.pictureNumber, shownNumber_) && backlog_ &&
            backlog_()) {
            held_ = true;
            return AcceptStatus::kMoreToCome;
        }
        return Complete(*track, 0);
    }
    if (header.fragmentIndex + 1 == header.fragmentCount && TryFill(*track)) {
        return AcceptStatus::kPictureComplete;
    }
    return AcceptStatus::kMoreToCome;
}

PictureAssembler::Track* PictureAssembler::TrackFor(const DatagramSource& source,
                                                    std::uint64_t now) {
    if (shown_ && source == followed_.source) return &followed_;
    if (shown_ && (!toldOther_ || source != toldSource_)) {
        toldOther_ = true;
        toldSource_ = source;
        if (otherSender_) otherSender_(source);
    }
    const bool restart = shown_ && source.address == followed_.source.address;
    if (shown_ && !restart && FollowedLive(now)) return nullptr;
    if (candidate_.used && candidate_.source != source) {
        // One other sender at a time; the followed sender started again goes before any other.
        const bool candidateRestart =
            shown_ && candidate_.source.address == followed_.source.address;
        if (now - candidate_.lastDatagramMs < kStallMs && (candidateRestart || !restart)) {
            return nullptr;
        }
        candidate_ = Track();
    }
    candidate_.used = true;
    candidate_.source = source;
    return &candidate_;
}

bool PictureAssembler::FollowedLive(std::uint64_t now) const {
    // The median of the last gaps: one long pause does not make the sender slow.
    std::uint64_t gaps[kIntervalGaps];
    const std::size_t count = std::min(gapCount_, kIntervalGaps);
    std::copy(gaps_, gaps_ + count, gaps);
    std::uint64_t interval = 0;
    if (count > 0) {
        std::nth_element(gaps, gaps + count / 2, gaps + count);
        interval = gaps[count / 2];
    }
    return now - followed_.lastDatagramMs < std::max(kLiveMinMs, 2 * interval);
}

bool PictureAssembler::MayBegin(const ScreenPacketHeader& header, std::uint64_t now) const {
    if (header.pictureNumber == shownNumber_) return false;  // a late copy of the picture on show
    if (NewerNumber(header.pictureNumber, shownNumber_)) return true;
    // An older picture is put together only to see whether the sender's count went back, never at
    // the cost of a newer one that is still arriving.
    return !(followed_.assembling && NewerNumber(followed_.picture.pictureNumber, shownNumber_) &&
             now - followed_.lastFragmentMs < kStallMs);
}

AcceptStatus PictureAssembler::BeginPicture(Track& track, const ScreenPacketHeader& header) {
    if (!track.fragments.Holds(header) && !track.fragments.Reset(header)) {
        return AcceptStatus::kNoPictureMemory;
    }
    track.assembling = true;
    track.picture = header;
    // Fragments of it that came before another picture interrupted it still count.
    track.received = track.fragments.CountHeld(header.pictureNumber);
    track.fillTried = false;
    return AcceptStatus::kMoreToCome;
}

void PictureAssembler::GiveUp(Track& track) {
    if (!track.assembling) return;
    track.assembling = false;
    if (lost_) lost_({track.picture.pictureNumber, track.received, track.picture.fragmentCount});
}

void PictureAssembler::ReleaseHeld(bool superseded) {
    held_ = false;
    if (superseded) {
        followed_.assembling = false;
    } else {
        (void)Complete(followed_, 0);
    }
}

void PictureAssembler::CheckStalled() {
    if (held_) ReleaseHeld(false);
    const std::uint64_t now = clock_();
    CheckStalled(followed_, now);
    CheckStalled(candidate_, now);
}

void PictureAssembler::CheckStalled(Track& track, std::uint64_t now) {
    if (track.assembling && !track.fillTried && now - track.lastFragmentMs >= kStallMs) {
        (void)TryFill(track);
    }
}

bool PictureAssembler::TryFill(Track& track) {
    if (!track.assembling || !track.picture.compressed() || track.fillTried) return false;
    track.fillTried = true;
    const std::uint32_t number = track.picture.pictureNumber;
    const bool followed = &track == &followed_;
    if (followed && !NewerNumber(number, shownNumber_)) return false;
    std::uint32_t reused = 0;
    for (std::uint32_t i = 0; i < track.picture.fragmentCount; ++i) {
        const FragmentSlot& slot = track.fragments.slot(i);
        if (slot.held && slot.number == number) continue;
        // A copy older than the picture on show could bring back what it replaced, should every
        // fragment in which the two differ be lost.
        if (!slot.held || (followed && NewerNumber(shownNumber_, slot.number))) return false;
        ++reused;
    }
    return Complete(track, reused) == AcceptStatus::kPictureComplete;
}

AcceptStatus PictureAssembler::Complete(Track& track, std::uint32_t reused) {
    HeapBlock picture;
    const AcceptStatus status = Decode(track, &picture);
    if (status != AcceptStatus::kPictureComplete) {
        KeepSpare(std::move(picture));
        // A fill that failed leaves the picture open for its own missing fragments.
        if (reused == 0) GiveUp(track);
        return status;
    }
    track.assembling = false;
    const std::uint32_t number = track.picture.pictureNumber;
    if (LateFromRetired(track)) {
        KeepSpare(std::move(picture));
        return AcceptStatus::kOlderPicture;
    }
    if (&track == &followed_ && !NewerNumber(number, shownNumber_)) {
        const Retired* const begin = shownLately_;
        const Retired* const end = shownLately_ + std::min(shownCount_, kShownKept);
        if (std::find_if(begin, end, [&](const Retired& shown) {
                return shown.number == number && shown.source == track.source;
            }) != end) {
            KeepSpare(std::move(picture));
            return AcceptStatus::kOlderPicture;
        }
        olderRun_ = olderRun_ > 0 && NewerNumber(number, olderLast_) ? olderRun_ + 1 : 1;
        olderLast_ = number;
        if (olderRun_ < kOlderRunFollowed) {
            KeepSpare(std::move(picture));
            return AcceptStatus::kOlderPicture;
        }
    }
    Publish(track, std::move(picture), reused);
    return AcceptStatus::kPictureComplete;
}

AcceptStatus PictureAssembler::Decode(const Track& track, HeapBlock* picture) {
    const FragmentStore& fragments = track.fragments;
    const std::uint32_t size = track.picture.pictureSize;
    const std::size_t streamLength = fragments.StreamLength();
    if (!track.picture.compressed()) {
        if (streamLength != size) return AcceptStatus::kWrongLength;
        *picture = TakeBlock(size);
        if (!*picture) return AcceptStatus::kNoPictureMemory;
        fragments.CopyStream(picture->get());
    } else {
        // Deflate inflates one byte to at most 1032: a block for more than the stream can give
        // would only be memory claimed by a header.
        const std::size_t capacity =
            static_cast<std::size_t>(std::min<std::uint64_t>(size, streamLength * 1032 + 1024));
        *picture = TakeBlock(capacity);
        if (!*picture) return AcceptStatus::kNoDecodeMemory;
        z_stream stream{};
        if (inflateInit(&stream) != Z_OK) return AcceptStatus::kNoDecodeMemory;
        stream.next_out = picture->get();
        stream.avail_out = static_cast<uInt>(capacity);
        int result = Z_OK;
        const std::uint32_t count = fragments.fragmentCount();
        for (std::uint32_t i = 0; i < count && result == Z_OK; ++i) {
            const FragmentSlot& slot = fragments.slot(i);
            stream.next_in = slot.data.get();
            stream.avail_in = slot.length;
            result = inflate(&stream, Z_NO_FLUSH);
            // The stream ends exactly with the last fragment, and never runs out of room.
            if (result == Z_STREAM_END && (i + 1 != count || stream.avail_in != 0))
                result = Z_DATA_ERROR;
            if (result == Z_OK && stream.avail_in != 0) result = Z_BUF_ERROR;
        }
        const bool exact = result == Z_STREAM_END && stream.total_out == size;
        (void)inflateEnd(&stream);
        // Z_STREAM_END means the stream ended and its Adler-32 matched; it must also fill the
        // picture exactly, as every stream the sender makes does.
        if (!exact) return AcceptStatus::kDecodeFailed;
    }
    BitmapLayout layout;
    if (!DescribeBitmap(picture->get(), size, &layout)) return AcceptStatus::kWrongLength;
    return AcceptStatus::kPictureComplete;
}

bool PictureAssembler::LateFromRetired(const Track& track) const {
    if (&track != &candidate_) return false;
    for (std::size_t i = 0; i < retiredCount_; ++i) {
        if (retired_[i].source == track.source) {
            return !NewerNumber(track.picture.pictureNumber, retired_[i].number);
        }
    }
    return false;
}

void PictureAssembler::Publish(Track& track, HeapBlock picture, std::uint32_t reused) {
    const CompletedPicture told{track.picture.pictureNumber,
                                track.picture.pictureSize,
                                track.picture.fragmentCount,
                                track.picture.compressed(),
                                reused,
                                track.source};
    const std::uint64_t now = clock_();
    const bool published = store_.Publish(picture, told.size, generation_);
    if (&track == &candidate_) {
        if (shown_) {  // the sender left is remembered as the newest retired one
            std::size_t at = 0;
            while (at < retiredCount_ && retired_[at].source != followed_.source) ++at;
            if (at == retiredCount_) {
                if (retiredCount_ < kRetiredKept) {
                    ++retiredCount_;
                } else {
                    at = 0;
                }
            }
            std::move(retired_ + at + 1, retired_ + retiredCount_, retired_ + at);
            retired_[retiredCount_ - 1] = {followed_.source, shownNumber_};
        }
        followed_ = std::move(candidate_);
        candidate_ = Track();
        gapCount_ = 0;
        toldOther_ = false;
    } else {
        gaps_[gapCount_ % kIntervalGaps] = now - shownMs_;
        ++gapCount_;
    }
    shown_ = true;
    shownNumber_ = told.number;
    shownLately_[shownCount_++ % kShownKept] = {told.source, told.number};
    shownSize_ = told.size;
    shownMs_ = now;
    olderRun_ = 0;
    KeepSpare(std::move(picture));
    followed_.fragments.Relabel(told.number);
    lastPictureNumber_.store(told.number);

    std::this_thread::yield();
    if (published && notify_) notify_(told);
}

}  // namespace telvo
