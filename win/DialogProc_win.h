// The one dialog procedure of the programs' dialogs. A class uses it as DialogProc<Class> and
// befriends it with TELVO_DIALOG_PROC_FRIEND (a class in an unnamed namespace makes the two
// handlers public instead).
#pragma once

#include <windows.h>

namespace telvo {

// On WM_INITDIALOG it takes the object from the parameter given to DialogBoxParam or
// CreateDialogParam, keeps it in the dialog's user data and calls its OnInit(dialog); later
// messages go to its OnDialogMessage, whose result is the procedure's. At WM_NCDESTROY, the last
// message, the link is cleared after the object has seen it. A dialog without an object handles
// nothing.
template <typename Dialog>
INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        reinterpret_cast<Dialog*>(lParam)->OnInit(dialog);
        return TRUE;
    }
    auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (self == nullptr) return FALSE;
    const INT_PTR result = self->OnDialogMessage(dialog, message, wParam, lParam);
    if (message == WM_NCDESTROY) SetWindowLongPtrW(dialog, DWLP_USER, 0);
    return result;
}

}  // namespace telvo

// Inside a class: lets DialogProc<Class> reach its private OnInit and OnDialogMessage.
#define TELVO_DIALOG_PROC_FRIEND \
    template <typename Dialog>   \
    friend INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM)
