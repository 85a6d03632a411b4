// The viewer's settings record and its five keys in "TelvoClient.ini", section "TelvoClient".
// Values are taken as they stand, without range checks: a bad "Channel" gives a channelIndex
// outside 0..4, which receives nothing until the user picks a channel.
#pragma once

#include <cstdint>
#include <string>

#include "protocol/ProfileSection.h"

namespace telvo {

inline constexpr wchar_t kViewerSettingsFile[] = L"TelvoClient.ini";
inline constexpr wchar_t kViewerSettingsSection[] = L"TelvoClient";
// Texts are read into a buffer of 1024 characters, so longer ones are cut to 1023.
inline constexpr std::size_t kMaxSettingText = 1023;

enum class ViewMode : std::int32_t { kFixedAspect = 0, kActualSize = 1, kFitToWindow = 2 };

struct ViewerSettings {
    std::wstring iniPath;
    std::uint8_t fullScreen = 0;
    ViewMode viewMode = ViewMode::kFixedAspect;
    std::int32_t channelIndex = 0;
    std::wstring toAddress = L"224.3.2.1";
    std::uint16_t basePort = 54321;
    std::wstring saveDir;
    std::int32_t saveInterval = 60;

    // Reads "Channel", "ToAddress", "BasePort", "SaveDir", "SaveInterval" in that order; an
    // absent key keeps the field's current value.
    void LoadSettings(ProfileSection& section);
    // Writes all five keys in the same order.
    void SaveSettings(ProfileSection& section) const;
};

}  // namespace telvo
