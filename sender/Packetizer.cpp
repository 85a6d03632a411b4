#include "sender/Packetizer.h"

#include <zlib.h>

#include <cstring>

#include "base/HeapBlock.h"
#include "protocol/ScreenBitmap.h"
#include "protocol/ScreenPacket.h"
#include "sender/ParallelDeflate.h"

namespace telvo {

unsigned PauseAfterFragment(std::uint32_t fragmentCount) {
    return 10 / fragmentCount;
}

int SendPicture(DatagramSink& sink, const std::uint8_t* bitmap, std::uint32_t length,
                std::uint32_t pictureNumber, std::int32_t cursorX, std::int32_t cursorY,
                bool compress, PictureSent* outcome) {
    ParallelDeflate oneStream(1, false);
    return SendPicture(sink, oneStream, bitmap, length, pictureNumber, cursorX, cursorY, compress,
                       outcome);
}

int SendPicture(DatagramSink& sink, ParallelDeflate& deflater, const std::uint8_t* bitmap,
                std::uint32_t length, std::uint32_t pictureNumber, std::int32_t cursorX,
                std::int32_t cursorY, bool compress, PictureSent* outcome) {
    PictureSent done;
    if (outcome == nullptr) outcome = &done;
    *outcome = PictureSent();
    HeapBlock datagram = HeapBlock::Allocate(kMaxDatagramSize);
    if (!datagram) return 0;

    ScreenPacketHeader header;
    header.version = kProtocolVersion;
    header.kind = kPictureFragmentKind;
    header.pictureNumber = pictureNumber;
    header.pictureSize = length;
    if (length >= kBitmapHeadersSize) {
        header.width = static_cast<std::uint16_t>(ReadLittle32(bitmap + kWidthField));
        header.height = static_cast<std::uint16_t>(ReadLittle32(bitmap + kHeightField));
    }
    header.cursorX = static_cast<std::uint16_t>(cursorX);
    header.cursorY = static_cast<std::uint16_t>(cursorY);

    const std::uint8_t* transmitted = bitmap;
    std::uint32_t transmittedLength = length;
    // A picture that does not fit in `length` bytes compressed (Z_BUF_ERROR) goes out as it is:
    // skipping it would keep a noisy screen from the viewers for good.
    if (compress && deflater.Compress(bitmap, length, length) == Z_OK) {
        transmitted = deflater.output();
        transmittedLength = static_cast<std::uint32_t>(deflater.outputLength());
        header.flags = kFlagCompressed;
    }
    outcome->sent = true;
    outcome->compressed = header.flags == kFlagCompressed;
    outcome->transmittedLength = transmittedLength;

    header.fragmentCount = FragmentCount(transmittedLength);
    outcome->fragmentCount = header.fragmentCount;
    for (std::uint32_t index = 0; index < header.fragmentCount; ++index) {
        header.fragmentIndex = index;
        header.dataLength = FragmentDataLength(transmittedLength, index);
        EncodeHeader(header, datagram.get());
        std::memcpy(datagram.get() + kHeaderSize, transmitted + std::size_t{index} * kMaxDataLength,
                    header.dataLength);
        const int error = sink.Send(datagram.get(), kHeaderSize + header.dataLength);
        if (error != 0) return error;
        sink.Pause(PauseAfterFragment(header.fragmentCount));
    }
    return 0;
}

}  // namespace telvo
