#include "sender/SenderProfile.h"

#include <string>

#include "sender/ScreenChoice.h"

namespace telvo {
namespace {

std::wstring Widen(const char* text) {
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

// The group is a dotted IPv4 address: plain ASCII. Anything else cannot parse as one anyway.
void Narrow(const std::wstring& text, char* out, std::size_t size) {
    std::size_t i = 0;
    for (; i + 1 < size && i < text.size(); ++i) {
        out[i] = text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    }
    out[i] = '\0';
}

// The key's value when it is a decimal number from `low` to `high` (a sign before it and blanks
// around it allowed); otherwise, and when the key is absent, `current`.
std::int64_t StoredNumber(ProfileSection& section, const wchar_t* key, std::int64_t low,
                          std::int64_t high, std::int64_t current) {
    const std::wstring text = section.ReadText(key, L"", 64);
    std::size_t i = text.find_first_not_of(L" \t");
    if (i == std::wstring::npos) return current;
    const bool negative = text[i] == L'-';
    if (negative) ++i;
    const std::size_t digits = i;
    const std::int64_t limit = negative ? -low : high;
    std::int64_t number = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9' && number <= limit; ++i) {
        number = number * 10 + (text[i] - L'0');
    }
    if (negative) number = -number;
    const bool onlyBlanksAfter = text.find_first_not_of(L" \t", i) == std::wstring::npos;
    if (i == digits || !onlyBlanksAfter || number < low || number > high) return current;
    return number;
}

}  // namespace

void LoadSenderSettings(ProfileSection& section, SenderSettings& settings) {
    settings.captureInterval = static_cast<std::uint32_t>(StoredNumber(
        section, L"CaptureInterval", 0, kMaxCaptureInterval, settings.captureInterval.load()));
    settings.channelIndex = static_cast<std::uint32_t>(
        StoredNumber(section, L"Channel", 1, kChannelCount, settings.channelIndex.load() + 1) - 1);
    settings.compress = static_cast<std::int32_t>(
        section.ReadInteger(L"Compress", static_cast<std::uint32_t>(settings.compress.load())));
    const std::wstring address =
        section.ReadText(L"ToAddress", Widen(settings.toAddress), kAddressTextSize - 1);
    Narrow(address, settings.toAddress, kAddressTextSize);
    settings.basePort = static_cast<std::uint16_t>(
        StoredNumber(section, L"BasePort", 1, kMaxBasePort, settings.basePort));
    settings.monitor = static_cast<std::int32_t>(
        StoredNumber(section, L"Monitor", kWholeDesktop, kMaxMonitor, settings.monitor.load()));
}

void SaveSenderSettings(ProfileSection& section, const SenderSettings& settings) {
    section.WriteText(L"CaptureInterval", std::to_wstring(settings.captureInterval.load()));
    section.WriteText(L"Compress", std::to_wstring(settings.compress.load()));
    section.WriteText(L"Channel", std::to_wstring(settings.channelIndex.load() + 1));
    section.WriteText(L"ToAddress", Widen(settings.toAddress));
    section.WriteText(L"BasePort", std::to_wstring(static_cast<int>(settings.basePort)));
    section.WriteText(L"Monitor", std::to_wstring(settings.monitor.load()));
}

}  // namespace telvo
