// The sender's settings record, one for the whole run, shared by the main thread and the
// broadcast thread. The values that may change while a broadcast runs are single 32-bit words,
// each written whole; toAddress and basePort change only when the settings file is loaded at
// start-up, before any broadcast.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>

#include "protocol/ScreenPacket.h"

namespace telvo {

inline constexpr std::size_t kAddressTextSize = 256;  // including the terminator

struct SenderSettings {
    SenderSettings() { std::memcpy(toAddress, kDefaultGroup, sizeof kDefaultGroup); }

    std::atomic<std::uint32_t> captureInterval{5000};  // milliseconds between picture starts
    std::atomic<std::int32_t> compress{1};             // non-zero: compress with zlib
    std::atomic<std::uint32_t> channelIndex{0};        // channel 1..5 as 0..4
    char toAddress[kAddressTextSize] = {};
    std::uint16_t basePort = kDefaultBasePort;
    std::atomic<std::int32_t> monitor{0};  // 0 the primary screen, 1..n a monitor, -1 all of them
};

}  // namespace telvo
