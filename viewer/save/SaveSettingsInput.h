// The checks of the save settings dialog on OK, in their order; the first failure is reported.
#pragma once

#include <cstdint>
#include <string>

namespace telvo {

inline constexpr std::size_t kMaxSaveFolderLength = 256;
inline constexpr std::uint32_t kMinSaveInterval = 1;
inline constexpr std::uint32_t kMaxSaveInterval = 65535;

struct SaveSettingsInput {
    enum class Field { kNone, kFolder, kInterval };
    Field failedField = Field::kNone;
    std::wstring message;               // what to tell the user when a field failed
    std::uint32_t intervalSeconds = 0;  // when no field failed
};

// Checks the folder text and the interval text as typed.
SaveSettingsInput CheckSaveSettings(const std::wstring& folder, const std::wstring& interval);

}  // namespace telvo
