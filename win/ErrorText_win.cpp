#include "win/ErrorText_win.h"

#include <iterator>

namespace telvo {

std::wstring SystemErrorText(DWORD error) {
    wchar_t text[512] = L"";
    DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                       /*language*/ 0, text, static_cast<DWORD>(std::size(text)), nullptr);
    while (length > 0 &&
           (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' ')) {
        --length;
    }
    if (length == 0) return L"error " + std::to_wstring(error);
    return std::wstring(text, length);
}

}  // namespace telvo
