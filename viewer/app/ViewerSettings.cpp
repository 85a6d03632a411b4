#include "viewer/app/ViewerSettings.h"

namespace telvo {
namespace {

// Channel numbers and indexes convert with wrap-around, so any stored number round-trips
// without overflow: the index of "Channel" -2147483648 is 2147483647.
std::int32_t IndexOfChannel(std::uint32_t channel) {
    return static_cast<std::int32_t>(channel - 1u);
}
std::uint32_t ChannelOfIndex(std::int32_t index) {
    return static_cast<std::uint32_t>(index) + 1u;
}

}  // namespace

void ViewerSettings::LoadSettings(ProfileSection& section) {
    channelIndex = IndexOfChannel(section.ReadInteger(L"Channel", ChannelOfIndex(channelIndex)));
    toAddress = section.ReadText(L"ToAddress", toAddress, kMaxSettingText);
    basePort = static_cast<std::uint16_t>(section.ReadInteger(L"BasePort", basePort));
    saveDir = section.ReadText(L"SaveDir", saveDir, kMaxSettingText);
    saveInterval = static_cast<std::int32_t>(
        section.ReadInteger(L"SaveInterval", static_cast<std::uint32_t>(saveInterval)));
    interfaceAddress = section.ReadText(L"Interface", interfaceAddress, kMaxSettingText);
}

void ViewerSettings::SaveSettings(ProfileSection& section) const {
    section.WriteText(L"Channel", std::to_wstring(ChannelOfIndex(channelIndex)));
    section.WriteText(L"ToAddress", toAddress);
    section.WriteText(L"BasePort", std::to_wstring(static_cast<int>(basePort)));
    section.WriteText(L"SaveDir", saveDir);
    section.WriteText(L"SaveInterval", std::to_wstring(saveInterval));
}

}  // namespace telvo
