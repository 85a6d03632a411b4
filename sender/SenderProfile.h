// The sender's settings file: "TelvoServer.ini" beside the program, section "TelvoServer".
#pragma once

#include "base/ProfileSection.h"
#include "sender/SenderSettings.h"

namespace telvo {

inline constexpr wchar_t kSenderSettingsFile[] = L"TelvoServer.ini";
inline constexpr wchar_t kSenderSettingsSection[] = L"TelvoServer";

inline constexpr std::uint32_t kMaxTimeToLive = 255;

// Reads "CaptureInterval", "Channel", "Compress", "ToAddress", "BasePort", "Interface" and "TTL" in
// that order; a missing key keeps the field's value. A "Channel" outside 1 to 5 is no channel a
// viewer can choose, and a "TTL" outside 1 to 255 no time-to-live, so they keep the field's value
// too. An "Interface" that is empty or no address leaves the adapter to the system.
void LoadSenderSettings(ProfileSection& section, SenderSettings& settings);

// Writes all seven keys: "CaptureInterval", "Compress", "Channel", "ToAddress", "BasePort",
// "Interface" (empty for the system's choice) and "TTL".
void SaveSenderSettings(ProfileSection& section, const SenderSettings& settings);

}  // namespace telvo
