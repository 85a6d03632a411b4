// SendPicture turns one ScreenBitmap into ScreenPacket datagrams: it compresses the picture when
// asked, cuts it into fragments of at most 32768 bytes and sends each behind its header, with a
// short pause after each that depends on the number of fragments. Where the datagrams go is the
// sink's business: the program sends on the process-wide sender socket, tests and benchmarks
// use sinks of their own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "protocol/ScreenPacket.h"

namespace telvo {

class DatagramSink {
  public:
    virtual ~DatagramSink() = default;
    // Sends one datagram whole. Returns 0, or the socket layer's (non-zero) error code.
    [[nodiscard]] virtual int Send(const std::uint8_t* datagram, std::size_t length) = 0;
    // The pause after a fragment: `ms` milliseconds; with 0, only gives up the time slice.
    virtual void Pause(unsigned ms) = 0;
};

// Milliseconds to pause after each fragment of a picture of `fragmentCount` (> 0) fragments.
unsigned PauseAfterFragment(std::uint32_t fragmentCount);

class ParallelDeflate;

// What SendPicture did with a picture.
struct PictureSent {
    bool sent = false;        // false: skipped, for want of memory for the datagram buffer
    bool compressed = false;  // the data went out as one zlib stream (`flags` 1)
    std::uint32_t transmittedLength = 0;
    std::uint32_t fragmentCount = 0;
};

// Sends the `length` bytes of `bitmap` as picture `pictureNumber`. The cursor coordinates are
// signed screen coordinates; their low 16 bits go on the wire. With `compress`, a picture that
// compresses into fewer than `length` bytes goes out compressed; one that does not (noise, or no
// memory to compress it in) goes out as it is, with `flags` 0. Returns 0 when the picture was
// sent and also when it was skipped (no memory for the datagram buffer); returns the sink's error
// code when a send failed, after which the rest of the picture is not sent. `outcome`, when given,
// says what was done. Keeps no state between calls; every buffer it takes is released before it
// returns.
[[nodiscard]] int SendPicture(DatagramSink& sink, const std::uint8_t* bitmap, std::uint32_t length,
                              std::uint32_t pictureNumber, std::int32_t cursorX,
                              std::int32_t cursorY, bool compress, PictureSent* outcome = nullptr);
// The same, compressing with `deflater`, whose threads, states and output serve picture after
// picture. The stream depends only on the picture and on whether `deflater` cuts it into chunks.
[[nodiscard]] int SendPicture(DatagramSink& sink, ParallelDeflate& deflater,
                              const std::uint8_t* bitmap, std::uint32_t length,
                              std::uint32_t pictureNumber, std::int32_t cursorX,
                              std::int32_t cursorY, bool compress, PictureSent* outcome = nullptr);

// A picture ready for the wire: every header field but the picture's number and the fragment's
// own, and the bytes that go out (the bitmap itself, or its zlib stream).
struct PreparedPicture {
    ScreenPacketHeader header;
    const std::uint8_t* bytes = nullptr;
    std::uint32_t length = 0;
};

// Compresses `bitmap` with `deflater` when asked, as SendPicture does, and describes what goes out;
// the bytes stay `bitmap`'s or `deflater`'s until either is used again.
PreparedPicture PreparePicture(ParallelDeflate& deflater, const std::uint8_t* bitmap,
                               std::uint32_t length, std::int32_t cursorX, std::int32_t cursorY,
                               bool compress);

// Sends `picture` as picture `pictureNumber`, each fragment built in `datagram` (kMaxDatagramSize
// bytes) and followed by its pause. Returns 0, or the sink's error code for the send that failed;
// the rest of the picture is then not sent.
[[nodiscard]] int SendPreparedPicture(DatagramSink& sink, const PreparedPicture& picture,
                                      std::uint32_t pictureNumber, std::uint8_t* datagram);

}  // namespace telvo
