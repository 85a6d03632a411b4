// The tray icon's tip: what the broadcast is doing and any notes, one a line.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "sender/BroadcastLoop.h"

namespace telvo {

inline constexpr std::size_t kTrayTipLength = 63;  // what the notification area shows

// What fails in `state`, for the tip and the balloon; empty for a state without a failure.
const wchar_t* FailureText(BroadcastState state);
inline bool Failing(BroadcastState state) {
    return FailureText(state)[0] != L'\0';
}

// `name` (the program's, with the channel once chosen), what fails in `state` if anything, then
// each non-empty note, one a line, cut to kTrayTipLength characters.
std::wstring ComposeTrayTip(const std::wstring& name, BroadcastState state,
                            const std::vector<std::wstring>& notes);

}  // namespace telvo
