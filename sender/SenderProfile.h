// The sender's settings file: "TelvoServer.ini" beside the program, section "TelvoServer".
#pragma once

#include "base/ProfileSection.h"
#include "sender/SenderSettings.h"

namespace telvo {

inline constexpr wchar_t kSenderSettingsFile[] = L"TelvoServer.ini";
inline constexpr wchar_t kSenderSettingsSection[] = L"TelvoServer";

// Reads "CaptureInterval", "Channel", "Compress", "ToAddress" and "BasePort" in that order; a
// missing key keeps the field's value. A "Channel" outside 1 to 5 is no channel a viewer can
// choose, so it keeps the field's value too.
void LoadSenderSettings(ProfileSection& section, SenderSettings& settings);

// Writes all five keys: "CaptureInterval", "Compress", "Channel", "ToAddress", "BasePort".
void SaveSenderSettings(ProfileSection& section, const SenderSettings& settings);

}  // namespace telvo
