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

PreparedPicture PreparePicture(ParallelDeflate& deflater, const std::uint8_t* bitmap,
                               std::uint32_t length, std::int32_t cursorX, std::int32_t cursorY,
                               bool compress) {
    PreparedPicture picture;
    ScreenPacketHeader& header = picture.header;
    header.version = kProtocolVersion;
    header.kind = kPictureFragmentKind;
    header.pictureSize = length;
    if (length >= kBitmapHeadersSize) {
        header.width = static_cast<std::uint16_t>(ReadLittle32(bitmap + kWidthField));
        header.height = static_cast<std::uint16_t>(ReadLittle32(bitmap + kHeightField));
    }
    header.cursorX = static_cast<std::uint16_t>(cursorX);
    header.cursorY = static_cast<std::uint16_t>(cursorY);
    picture.bytes = bitmap;
    picture.length = length;
    // A picture that does not fit in `length` bytes compressed (Z_BUF_ERROR) goes out as it is:
    // skipping it would keep a noisy screen from the viewers for good.
    if (compress && deflater.Compress(bitmap, length, length) == Z_OK) {
        picture.bytes = deflater.output();
        picture.length = static_cast<std::uint32_t>(deflater.outputLength());
        header.flags = kFlagCompressed;
    }
    header.fragmentCount = FragmentCount(picture.length);
    return picture;
}

int SendPreparedPicture(DatagramSink& sink, const PreparedPicture& picture,
                        std::uint32_t pictureNumber, std::uint8_t* datagram) {
    ScreenPacketHeader header = picture.header;
    header.pictureNumber = pictureNumber;
    for (std::uint32_t index = 0; index < header.fragmentCount; ++index) {
        header.fragmentIndex = index;
        header.dataLength = FragmentDataLength(picture.length, index);
        EncodeHeader(header, datagram);
        std::memcpy(datagram + kHeaderSize, picture.bytes + std::size_t{index} * kMaxDataLength,
                    header.dataLength);
        const int error = sink.Send(datagram, kHeaderSize + header.dataLength);
        if (error != 0) return error;
        sink.Pause(PauseAfterFragment(header.fragmentCount));
    }
    return 0;
}

int SendPicture(DatagramSink& sink, ParallelDeflate& deflater, const std::uint8_t* bitmap,
                std::uint32_t length, std::uint32_t pictureNumber, std::int32_t cursorX,
                std::int32_t cursorY, bool compress, PictureSent* outcome) {
    PictureSent done;
    if (outcome == nullptr) outcome = &done;
    *outcome = PictureSent();
    HeapBlock datagram = HeapBlock::Allocate(kMaxDatagramSize);
    if (!datagram) return 0;
    const PreparedPicture picture =
        PreparePicture(deflater, bitmap, length, cursorX, cursorY, compress);
    outcome->sent = true;
    outcome->compressed = picture.header.compressed();
    outcome->transmittedLength = picture.length;
    outcome->fragmentCount = picture.header.fragmentCount;
    return SendPreparedPicture(sink, picture, pictureNumber, datagram.get());
}

}  // namespace telvo
