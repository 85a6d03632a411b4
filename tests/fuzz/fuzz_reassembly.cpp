// Feeds arbitrary datagram sequences to the reassembly as the receive loop would: the input is a
// series of (2-byte big-endian length, datagram) records. Each datagram moves a fake clock on by
// 100 ms, so stalled pictures, fills and sequences that give way are reached too; a datagram that
// is no ScreenPacket stands for a slice without one.
#include "protocol/ScreenBitmap.h"
#include "viewer/net/PictureAssembler.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace telvo;
    PictureStore store;
    std::uint64_t now = 0;
    // What the view does with a new picture: read its headers and every pixel row.
    const auto view = [&store](const CompletedPicture&) {
        ImageReader image(store);
        BitmapLayout layout;
        if (!DescribeBitmap(image.bytes(), image.size(), &layout)) __builtin_trap();
        volatile std::uint8_t last =
            image.bytes()[layout.pixelOffset + std::size_t{layout.stride} * layout.height - 1];
        (void)last;
    };
    PictureAssembler assembler(store, store.generation(), view, [&now] { return now; });
    for (std::size_t at = 0; at + 2 <= size;) {
        const std::size_t length = (std::size_t{data[at]} << 8) | data[at + 1];
        at += 2;
        if (length > size - at) return 0;
        const std::uint8_t* datagram = data + at;
        at += length;
        now += 100;
        ScreenPacketHeader header;
        if (DecodeHeader(datagram, length, &header)) {
            (void)assembler.AcceptFragment(header, datagram, length, DatagramSource{0x0100007F, 1});
        } else {
            assembler.CheckStalled();
        }
    }
    return 0;
}
