// What the memo command tells the user when the program for bitmap files could not be started.
#pragma once

namespace telvo {

// The text for a ShellExecute result of 32 or less; empty for results that have none.
const wchar_t* ShellExecuteErrorText(long long result);

}  // namespace telvo
