#include "viewer/net/PictureAssembler.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <thread>
#include <utility>

#include "protocol/ScreenBitmap.h"

namespace telvo {

const char* StatusText(AcceptStatus status) {
    switch (status) {
        case AcceptStatus::PictureComplete:
            return " 揃った";
        case AcceptStatus::MoreToCome:
            return " まだ続きがある";
        case AcceptStatus::OlderPicture:
            return " 現在より古い画像パケット";
        case AcceptStatus::WrongLength:
            return " 不正なサイズのパケット";
        case AcceptStatus::NoPictureMemory:
            return "ビットマップデータ用のメモリを確保できませんでした";
        case AcceptStatus::NoDecodeMemory:
            return "圧縮パケットを解凍するためのメモリを確保できませんでした";
        case AcceptStatus::DecodeFailed:
            return "圧縮パケットの解凍に失敗しました";
    }
    return "";
}

bool ContinuesReception(AcceptStatus status) {
    return StatusText(status)[0] == ' ';
}

PictureAssembler::PictureAssembler(PictureStore& store, std::uint32_t generation, Notifier notify)
    : store_(store), generation_(generation), notify_(std::move(notify)) {}

bool PictureAssembler::FitsItsPicture(const ScreenPacketHeader& header, std::size_t length) const {
    // 64-bit sums: 32 + dataLength and index x 32768 + dataLength must not wrap.
    if (length != kHeaderSize + std::uint64_t{header.dataLength}) return false;
    if (header.dataLength > kMaxDataLength || header.pictureSize > kMaxPictureSize) return false;
    return std::uint64_t{header.fragmentIndex} * kMaxDataLength + header.dataLength <=
           header.pictureSize;
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

void PictureAssembler::ZeroUpTo(std::size_t end) {
    if (end > cleanEnd_) {
        std::memset(assembly_.get() + cleanEnd_, 0, end - cleanEnd_);
        cleanEnd_ = end;
    }
}

AcceptStatus PictureAssembler::AcceptFragment(const ScreenPacketHeader& header,
                                              const std::uint8_t* datagram, std::size_t length) {
    if (!FitsItsPicture(header, length)) return AcceptStatus::WrongLength;
    if (lastPacket_.width != 0 && header.pictureNumber < lastPacket_.pictureNumber) {
        return AcceptStatus::OlderPicture;
    }

    if (!assembly_ || header.pictureSize != lastPacket_.pictureSize ||
        header.pictureNumber > lastPacket_.pictureNumber) {
        fragmentsReceived_ = 0;
        bytesReceived_ = 0;
        KeepSpare(std::move(assembly_));
        assemblySize_ = 0;
        assembly_ = TakeBlock(header.pictureSize);
        if (!assembly_) return AcceptStatus::NoPictureMemory;
        assemblySize_ = header.pictureSize;
        cleanEnd_ = 0;
    }

    const std::size_t offset = std::size_t{header.fragmentIndex} * kMaxDataLength;
    ZeroUpTo(offset);
    std::memcpy(assembly_.get() + offset, datagram + kHeaderSize, header.dataLength);
    cleanEnd_ = std::max(cleanEnd_, offset + header.dataLength);

    ++fragmentsReceived_;
    bytesReceived_ += header.dataLength;
    lastPacket_ = header;
    lastPictureNumber_.store(header.pictureNumber);

    if (fragmentsReceived_ != header.fragmentCount) return AcceptStatus::MoreToCome;
    return CompletePicture(header);
}

AcceptStatus PictureAssembler::CompletePicture(const ScreenPacketHeader& header) {
    if (header.compressed()) {
        // Repeated fragments can count more bytes than the block holds; never read past it.
        const std::size_t input = std::min<std::size_t>(bytesReceived_, assemblySize_);
        ZeroUpTo(input);
        HeapBlock decoded = TakeBlock(assemblySize_);
        if (!decoded) return AcceptStatus::NoDecodeMemory;
        uLongf decodedLength = assemblySize_;
        if (uncompress(decoded.get(), &decodedLength, assembly_.get(), input) != Z_OK) {
            KeepSpare(std::move(decoded));
            return AcceptStatus::DecodeFailed;
        }
        // A stream shorter than the picture must not leave stale bytes behind it.
        std::memset(decoded.get() + decodedLength, 0, assemblySize_ - decodedLength);
        KeepSpare(std::move(assembly_));
        assembly_ = std::move(decoded);
    } else {
        ZeroUpTo(assemblySize_);
    }

    HeapBlock picture = std::move(assembly_);
    const std::uint32_t size = assemblySize_;
    assemblySize_ = 0;
    BitmapLayout layout;
    if (!DescribeBitmap(picture.get(), size, &layout)) {
        KeepSpare(std::move(picture));
        return AcceptStatus::WrongLength;
    }
    const bool published = store_.Publish(picture, size, generation_);
    KeepSpare(std::move(picture));

    std::this_thread::yield();
    if (published && notify_) {
        notify_({header.pictureNumber, size, header.fragmentCount, header.compressed()});
    }
    return AcceptStatus::PictureComplete;
}

}  // namespace telvo
