#include "viewer/save/SaveSettingsInput.h"

namespace telvo {
namespace {

// An unsigned decimal number, blanks around it allowed; false when the text is none. A number
// too large for 32 bits comes back as UINT32_MAX, which is out of range anyway.
bool ParseUnsigned(const std::wstring& text, std::uint32_t* value) {
    const std::size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return false;
    const std::size_t last = text.find_last_not_of(L" \t");
    std::uint64_t number = 0;
    for (std::size_t i = first; i <= last; ++i) {
        if (text[i] < L'0' || text[i] > L'9') return false;
        number = number * 10 + static_cast<std::uint64_t>(text[i] - L'0');
        if (number > UINT32_MAX) number = UINT32_MAX;
    }
    *value = static_cast<std::uint32_t>(number);
    return true;
}

}  // namespace

SaveSettingsInput CheckSaveSettings(const std::wstring& folder, const std::wstring& interval) {
    SaveSettingsInput input;
    if (folder.size() > kMaxSaveFolderLength) {
        input.failedField = SaveSettingsInput::Field::kFolder;
        input.message = std::to_wstring(kMaxSaveFolderLength) + L" 文字以内で入力してください。";
        return input;
    }
    if (!ParseUnsigned(interval, &input.intervalSeconds)) {
        input.failedField = SaveSettingsInput::Field::kInterval;
        input.message = L"正の整数を入力してください。";
        return input;
    }
    if (input.intervalSeconds < kMinSaveInterval || input.intervalSeconds > kMaxSaveInterval) {
        input.failedField = SaveSettingsInput::Field::kInterval;
        input.message = std::to_wstring(kMinSaveInterval) + L" から " +
                        std::to_wstring(kMaxSaveInterval) + L" までの整数を入力してください。";
    }
    return input;
}

}  // namespace telvo
