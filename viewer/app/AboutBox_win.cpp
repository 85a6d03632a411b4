#include "viewer/app/AboutBox_win.h"

#include "viewer/res/resource.h"
#include "win/DialogProc_win.h"

namespace telvo {
namespace {

// The box shows only fixed texts and an OK button.
struct AboutBox {
    void OnInit(HWND) {}
    INT_PTR OnDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
        if (message != WM_COMMAND) return FALSE;
        const int id = LOWORD(wParam);
        if (id != IDOK && id != IDCANCEL) return FALSE;
        EndDialog(dialog, id);
        return TRUE;
    }
};

}  // namespace

void ShowAboutBox(HWND owner) {
    AboutBox box;
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUTBOX), owner,
                    DialogProc<AboutBox>, reinterpret_cast<LPARAM>(&box));
}

}  // namespace telvo
