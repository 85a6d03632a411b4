#include "viewer/app/WindowTitle.h"

namespace telvo {

std::wstring FormatWindowTitle(std::int32_t channelIndex, std::uint32_t pictureNumber,
                               bool continuousSave) {
    const auto channel = static_cast<std::int32_t>(static_cast<std::uint32_t>(channelIndex) + 1u);
    return std::wstring(L"TelvoClient - Channel ") + std::to_wstring(channel) + L" [No." +
           std::to_wstring(pictureNumber) + L"]" + (continuousSave ? L" 連続保存中" : L"");
}

}  // namespace telvo
