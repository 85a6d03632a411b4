// The main window's caption: "%s - Channel %d [No.%u]%s".
#pragma once

#include <cstdint>
#include <string>

namespace telvo {

// `channelIndex` + 1 is shown as a signed decimal, as it stands; the picture number as an unsigned
// one, the way it counts.
std::wstring FormatWindowTitle(std::int32_t channelIndex, std::uint32_t pictureNumber,
                               bool continuousSave);

}  // namespace telvo
