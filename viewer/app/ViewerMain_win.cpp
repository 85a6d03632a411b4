// TelvoClient: the screen broadcast viewer.
#include <windows.h>

#include "viewer/app/ViewerApp_win.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return telvo::TheApp().Run();
}
