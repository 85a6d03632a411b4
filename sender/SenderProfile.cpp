#include "sender/SenderProfile.h"

#include <string>

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

// The key's value when it is a decimal number from `low` to `high` (blanks around it allowed);
// otherwise, and when the key is absent, `current`.
std::uint32_t StoredNumber(ProfileSection& section, const wchar_t* key, std::uint32_t low,
                           std::uint32_t high, std::uint32_t current) {
    const std::wstring text = section.ReadText(key, L"", 64);
    const std::size_t begin = text.find_first_not_of(L" \t");
    if (begin == std::wstring::npos) return current;
    std::uint64_t number = 0;
    std::size_t i = begin;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9' && number <= high; ++i) {
        number = number * 10 + static_cast<std::uint64_t>(text[i] - L'0');
    }
    const bool onlyBlanksAfter = text.find_first_not_of(L" \t", i) == std::wstring::npos;
    if (i == begin || !onlyBlanksAfter || number < low || number > high) return current;
    return static_cast<std::uint32_t>(number);
}

}  // namespace

void LoadSenderSettings(ProfileSection& section, SenderSettings& settings) {
    settings.captureInterval = StoredNumber(section, L"CaptureInterval", 0, kMaxCaptureInterval,
                                            settings.captureInterval.load());
    settings.channelIndex =
        StoredNumber(section, L"Channel", 1, kChannelCount, settings.channelIndex.load() + 1) - 1;
    settings.compress = static_cast<std::int32_t>(
        section.ReadInteger(L"Compress", static_cast<std::uint32_t>(settings.compress.load())));
    const std::wstring address =
        section.ReadText(L"ToAddress", Widen(settings.toAddress), kAddressTextSize - 1);
    Narrow(address, settings.toAddress, kAddressTextSize);
    settings.basePort = static_cast<std::uint16_t>(
        StoredNumber(section, L"BasePort", 1, kMaxBasePort, settings.basePort));
}

void SaveSenderSettings(ProfileSection& section, const SenderSettings& settings) {
    section.WriteText(L"CaptureInterval", std::to_wstring(settings.captureInterval.load()));
    section.WriteText(L"Compress", std::to_wstring(settings.compress.load()));
    section.WriteText(L"Channel", std::to_wstring(settings.channelIndex.load() + 1));
    section.WriteText(L"ToAddress", Widen(settings.toAddress));
    section.WriteText(L"BasePort", std::to_wstring(static_cast<int>(settings.basePort)));
}

}  // namespace telvo
