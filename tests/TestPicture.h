// Pictures, packets and a recording sink for tests.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "protocol/ScreenBitmap.h"
#include "protocol/ScreenPacket.h"
#include "sender/Packetizer.h"
#include "tools/DesktopPicture.h"
#include "viewer/net/PictureStore.h"

namespace telvo::test {

using telvo::MakeDesktopPicture;
using telvo::MakeNoisePicture;

// A ScreenBitmap whose pixel (x, y) (top row 0) is `colour(x, y)`, given as 0x00BBGGRR (COLORREF).
inline std::vector<std::uint8_t> MakePicture(
    std::uint32_t width, std::uint32_t height,
    const std::function<std::uint32_t(int x, int y)>& colour) {
    std::vector<std::uint8_t> picture(NeededLength(width, height));
    WriteBitmapHeaders(picture.data(), width, height);
    for (std::uint32_t y = 0; y < height; ++y) {
        std::uint8_t* row =
            picture.data() + kBitmapHeadersSize + RowStride(width) * (height - 1 - y);
        for (std::uint32_t x = 0; x < 3 * width; ++x)  // B, G, R
            row[x] = static_cast<std::uint8_t>(colour(x / 3, y) >> (16 - 8 * (x % 3)));
    }
    return picture;
}

// A picture that compresses to four fragments: noise, then a plain half.
inline std::vector<std::uint8_t> FourFragmentPicture(std::uint32_t seed) {
    auto picture = MakeNoisePicture(200, 400, seed);
    std::fill(picture.begin() + kBitmapHeadersSize + 120000, picture.end(), 0);
    return picture;
}

// A copy of the picture on show in `store`; empty when there is none.
inline std::vector<std::uint8_t> Shown(const PictureStore& store) {
    ImageReader image(store);
    if (image.bytes() == nullptr) return {};
    return {image.bytes(), image.bytes() + image.size()};
}

// Keeps every datagram and pause, sent from any thread; can fail the send of one datagram. Once
// `armed`, the send of a picture's second datagram waits, before it is kept, while `holding` says
// so (10 s at most).
struct RecordingSink : DatagramSink {
    int Send(const std::uint8_t* datagram, std::size_t length) override {
        ScreenPacketHeader header;
        if (DecodeHeader(datagram, length, &header) && header.fragmentIndex == 1 &&
            armed.exchange(false)) {
            held = true;
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (holding() && std::chrono::steady_clock::now() < until) std::this_thread::yield();
        }
        const std::lock_guard<std::mutex> lock(mutex);
        if (datagrams.size() == failAt) return failCode;
        datagrams.emplace_back(datagram, datagram + length);
        return 0;
    }
    void Pause(unsigned ms) override {
        const std::lock_guard<std::mutex> lock(mutex);
        pauses.push_back(ms);
    }
    std::size_t count() {
        const std::lock_guard<std::mutex> lock(mutex);
        return datagrams.size();
    }

    std::mutex mutex;
    std::vector<std::vector<std::uint8_t>> datagrams;
    std::vector<unsigned> pauses;
    std::atomic<std::size_t> failAt{SIZE_MAX};  // index of the send that fails
    int failCode = 10054;
    std::atomic<bool> armed{false}, held{false};
    std::function<bool()> holding;
};

// Decoded header of a datagram (which must be a ScreenPacket).
inline ScreenPacketHeader HeaderOf(const std::vector<std::uint8_t>& datagram) {
    ScreenPacketHeader header;
    if (!DecodeHeader(datagram.data(), datagram.size(), &header)) std::abort();
    return header;
}

// The packets of one picture, as SendPicture makes them.
inline std::vector<std::vector<std::uint8_t>> Packetize(const std::vector<std::uint8_t>& picture,
                                                        std::uint32_t pictureNumber,
                                                        bool compress) {
    RecordingSink sink;
    if (SendPicture(sink, picture.data(), static_cast<std::uint32_t>(picture.size()), pictureNumber,
                    0, 0, compress) != 0) {
        std::abort();
    }
    return sink.datagrams;
}

// One datagram numbered `number` whose header claims `pictureSize` bytes and whose stream is
// `picture` deflated at the highest level: forged claims, streams that inflate far, damage.
inline std::vector<std::uint8_t> OneDatagram(const std::vector<std::uint8_t>& picture,
                                             std::uint32_t number, std::uint32_t pictureSize) {
    std::vector<std::uint8_t> datagram(kHeaderSize + compressBound(picture.size()));
    uLongf length = static_cast<uLongf>(datagram.size() - kHeaderSize);
    if (compress2(datagram.data() + kHeaderSize, &length, picture.data(), picture.size(), 9) !=
        Z_OK) {
        std::abort();
    }
    datagram.resize(kHeaderSize + length);
    ScreenPacketHeader header{kProtocolVersion, kPictureFragmentKind, kFlagCompressed,
                              number,           pictureSize,          1};  // fragment 0 of 1
    header.dataLength = static_cast<std::uint32_t>(length);
    EncodeHeader(header, datagram.data());
    return datagram;
}

}  // namespace telvo::test
