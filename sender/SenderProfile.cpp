#include "sender/SenderProfile.h"

#include <string>

#include "base/NetworkAdapters.h"
#include "base/Socket.h"

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

}  // namespace

void LoadSenderSettings(ProfileSection& section, SenderSettings& settings) {
    settings.captureInterval =
        section.ReadInteger(L"CaptureInterval", settings.captureInterval.load());
    const std::uint32_t channel = section.ReadInteger(L"Channel", settings.channelIndex.load() + 1);
    if (channel >= 1 && channel <= kChannelCount) settings.channelIndex = channel - 1;
    settings.compress = static_cast<std::int32_t>(
        section.ReadInteger(L"Compress", static_cast<std::uint32_t>(settings.compress.load())));
    const std::wstring address =
        section.ReadText(L"ToAddress", Widen(settings.toAddress), kAddressTextSize - 1);
    Narrow(address, settings.toAddress, kAddressTextSize);
    settings.basePort =
        static_cast<std::uint16_t>(section.ReadInteger(L"BasePort", settings.basePort));
    // An "Interface" that is no address leaves the choice to the system, as an empty one does.
    char adapter[kAddressTextSize];
    Narrow(section.ReadText(L"Interface", L"", kAddressTextSize - 1), adapter, sizeof adapter);
    std::uint32_t adapterAddress = 0;
    settings.interfaceAddress =
        adapter[0] != '\0' && ParseIPv4(adapter, &adapterAddress) ? adapterAddress : 0;
    const std::uint32_t ttl = section.ReadInteger(L"TTL", settings.ttl.load());
    if (ttl >= 1 && ttl <= kMaxTimeToLive) settings.ttl = ttl;
}

void SaveSenderSettings(ProfileSection& section, const SenderSettings& settings) {
    section.WriteText(L"CaptureInterval", std::to_wstring(settings.captureInterval.load()));
    section.WriteText(L"Compress", std::to_wstring(settings.compress.load()));
    section.WriteText(L"Channel", std::to_wstring(settings.channelIndex.load() + 1));
    section.WriteText(L"ToAddress", Widen(settings.toAddress));
    section.WriteText(L"BasePort", std::to_wstring(static_cast<int>(settings.basePort)));
    const std::uint32_t adapter = settings.interfaceAddress.load();
    section.WriteText(L"Interface", adapter != 0 ? AddressText(adapter) : L"");
    section.WriteText(L"TTL", std::to_wstring(settings.ttl.load()));
}

}  // namespace telvo
