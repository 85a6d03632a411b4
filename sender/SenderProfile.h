// The sender's settings file: "TelvoServer.ini" beside the program, section "TelvoServer".
#pragma once

#include "base/ProfileSection.h"
#include "sender/SenderSettings.h"

namespace telvo {

inline constexpr wchar_t kSenderSettingsFile[] = L"TelvoServer.ini";
inline constexpr wchar_t kSenderSettingsSection[] = L"TelvoServer";

// The largest stored values that make sense: the dialog's 9999 seconds, and a base port that
// leaves room for all five channels.
inline constexpr std::uint32_t kMaxCaptureInterval = 9999 * 1000;
inline constexpr std::uint32_t kMaxBasePort = 65535 - (kChannelCount - 1);

// Reads "CaptureInterval", "Channel", "Compress", "ToAddress", "BasePort" and "Monitor" in that
// order; a missing key keeps the field's value. So does a value that makes no sense: a
// "CaptureInterval" that is no number of milliseconds up to kMaxCaptureInterval, a "Channel" that
// is no number from 1 to 5, a "BasePort" that is no number from 1 to kMaxBasePort, a "Monitor"
// that is no number from -1 to kMaxMonitor. Values in range are taken exactly as stored.
void LoadSenderSettings(ProfileSection& section, SenderSettings& settings);

// Writes all keys: "CaptureInterval", "Compress", "Channel", "ToAddress", "BasePort", "Monitor".
void SaveSenderSettings(ProfileSection& section, const SenderSettings& settings);

}  // namespace telvo
