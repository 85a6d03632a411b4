// The main window's caption: "%s - Channel %d [No.%d]%s".
#pragma once

#include <cstdint>
#include <string>

namespace telvo {

// `channelIndex` + 1 and the picture number are shown as signed decimals, as they stand.
std::wstring FormatWindowTitle(std::int32_t channelIndex, std::uint32_t pictureNumber,
                               bool continuousSave);

}  // namespace telvo
