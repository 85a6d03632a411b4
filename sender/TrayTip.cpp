#include "sender/TrayTip.h"

namespace telvo {

const wchar_t* FailureText(BroadcastState state) {
    switch (state) {
        case BroadcastState::kCaptureFailing:
            return L"画面を取り込めません";
        case BroadcastState::kSendFailing:
            return L"送信できません";
        case BroadcastState::kNetworkFailing:
            return L"ネットワークの初期化に失敗しました";
        case BroadcastState::kWaiting:
        case BroadcastState::kSending:
            break;
    }
    return L"";
}

std::wstring ComposeTrayTip(const std::wstring& name, BroadcastState state,
                            const std::vector<std::wstring>& notes) {
    std::wstring tip = name;
    const auto addLine = [&](const std::wstring& line) {
        if (!line.empty()) tip += L"\n" + line;
    };
    addLine(FailureText(state));
    for (const std::wstring& note : notes) addLine(note);
    return tip.substr(0, kTrayTipLength);
}

}  // namespace telvo
