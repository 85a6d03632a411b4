// The system's own text for an error code, to tell the user why something failed.
#pragma once

#include <windows.h>

#include <string>

namespace telvo {

// The text in the user's language, without a final line break; the code in decimal when the
// system has none.
std::wstring SystemErrorText(DWORD error);

}  // namespace telvo
