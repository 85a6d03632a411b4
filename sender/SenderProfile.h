// The sender's settings file: "TelvoServer.ini" beside the program, section "TelvoServer".
#pragma once

#include "base/ProfileSection.h"
#include "sender/SenderSettings.h"

namespace telvo {

inline constexpr wchar_t kSenderSettingsFile[] = L"TelvoServer.ini";
inline constexpr wchar_t kSenderSettingsSection[] = L"TelvoServer";

// The largest stored values that make sense: the dialog's 9999 seconds, a base port that leaves
// room for all five channels, and the largest time-to-live.
inline constexpr std::uint32_t kMaxCaptureInterval = 9999 * 1000;
inline constexpr std::uint32_t kMaxBasePort = 65535 - (kChannelCount - 1);
inline constexpr std::uint32_t kMaxTimeToLive = 255;

// Reads "CaptureInterval", "Channel", "Compress", "ToAddress", "BasePort", "Monitor", "Interface"
// and "TTL" in that order; a missing key keeps the field's value. So does a value that makes no
// sense: a "CaptureInterval" that is no number of milliseconds up to kMaxCaptureInterval, a
// "Channel" that is no number from 1 to 5, a "BasePort" that is no number from 1 to kMaxBasePort,
// a "Monitor" that is no number from -1 to kMaxMonitor, a "TTL" that is no number from 1 to
// kMaxTimeToLive. Values in range are taken exactly as stored. An "Interface" that is empty or no
// address leaves the adapter to the system.
void LoadSenderSettings(ProfileSection& section, SenderSettings& settings);

// Writes all keys: "CaptureInterval", "Compress", "Channel", "ToAddress", "BasePort", "Monitor",
// "Interface" (empty for the system's choice) and "TTL".
void SaveSenderSettings(ProfileSection& section, const SenderSettings& settings);

}  // namespace telvo
