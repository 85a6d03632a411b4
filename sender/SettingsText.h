// What the settings dialog makes of the text in its boxes.
#pragma once

#include <cstdint>
#include <string>

namespace telvo {

inline constexpr std::uint32_t kMaxIntervalSeconds = 9999;

// The capture interval in milliseconds for the seconds typed in the dialog. Commas are dropped
// (the up-down control writes 1000 as "1,000"); the digits are read as a decimal number, capped at
// the dialog's 9999 seconds so the milliseconds never wrap; text without digits is 0.
std::uint32_t CaptureIntervalFromText(const std::wstring& text);

// The channel index for the channel number in the dialog, or `current` when the text is no
// channel from 1 to 5.
std::uint32_t ChannelIndexFromText(const std::wstring& text, std::uint32_t current);

}  // namespace telvo
