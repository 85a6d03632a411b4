#include "sender/SettingsText.h"

#include "protocol/ScreenPacket.h"

namespace telvo {
namespace {

// The leading decimal digits (after blanks) as a number, stopping once it passes `cap`.
std::uint64_t LeadingNumber(const std::wstring& text, std::uint64_t cap) {
    std::size_t i = text.find_first_not_of(L" \t");
    std::uint64_t number = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9' && number <= cap; ++i) {
        number = number * 10 + static_cast<std::uint64_t>(text[i] - L'0');
    }
    return number;
}

}  // namespace

std::uint32_t CaptureIntervalFromText(const std::wstring& text) {
    std::wstring digits;
    for (const wchar_t c : text) {
        if (c != L',') digits += c;
    }
    std::uint64_t seconds = LeadingNumber(digits, kMaxIntervalSeconds);
    if (seconds > kMaxIntervalSeconds) seconds = kMaxIntervalSeconds;
    return static_cast<std::uint32_t>(seconds * 1000);
}

std::uint32_t ChannelIndexFromText(const std::wstring& text, std::uint32_t current) {
    const std::uint64_t channel = LeadingNumber(text, kChannelCount);
    return channel >= 1 && channel <= kChannelCount ? static_cast<std::uint32_t>(channel - 1)
                                                    : current;
}

}  // namespace telvo
