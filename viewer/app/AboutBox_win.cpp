#include "viewer/app/AboutBox_win.h"

#include "viewer/app/ViewerCommands.h"

namespace telvo {
namespace {

// The box shows only fixed texts and an OK button; there is no state to keep.
INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

void ShowAboutBox(HWND owner) {
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kAboutDialog), owner, AboutProc, 0);
}

}  // namespace telvo
