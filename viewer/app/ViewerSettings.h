// The viewer's settings record, its five keys and the optional "Interface" in "TelvoClient.ini",
// section "TelvoClient".
// Values are taken as they stand, without range checks: a bad "Channel" gives a channelIndex
// outside 0..4, which receives nothing until the user picks a channel.
#pragma once

#include <cstdint>
#include <string>

#include "base/ProfileSection.h"
#include "protocol/ScreenPacket.h"
#include "viewer/display/ViewOptions.h"
#include "viewer/save/SaveOptions.h"

namespace telvo {

inline constexpr wchar_t kViewerSettingsFile[] = L"TelvoClient.ini";
inline constexpr wchar_t kViewerSettingsSection[] = L"TelvoClient";
// Texts are read into a buffer of 1024 characters, so longer ones are cut to 1023.
inline constexpr std::size_t kMaxSettingText = 1023;

// The display's part (full screen, view mode) and the saving part (folder, interval) are handed
// down to the view and the save commands, which know nothing of the rest.
struct ViewerSettings : ViewOptions, SaveOptions {
    std::wstring iniPath;
    std::int32_t channelIndex = 0;
    std::wstring toAddress = std::wstring(kDefaultGroup, kDefaultGroup + sizeof kDefaultGroup - 1);
    std::uint16_t basePort = kDefaultBasePort;
    // "Interface": the IPv4 address of the one adapter to receive on. Empty, absent or no
    // address: every adapter. Read only, never written: the key is there only when put there.
    std::wstring interfaceAddress;

    // Reads "Channel", "ToAddress", "BasePort", "SaveDir", "SaveInterval" and "Interface" in that
    // order; an absent key keeps the field's current value.
    void LoadSettings(ProfileSection& section);
    // Writes all five keys in the same order.
    void SaveSettings(ProfileSection& section) const;
};

}  // namespace telvo
