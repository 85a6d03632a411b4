// TelvoServer: broadcasts this computer's screen from the notification area.
#include <windows.h>

#include "base/ProfileSection.h"
#include "sender/SenderProfile.h"
#include "sender/TrayApp_win.h"

namespace {

constexpr wchar_t kSingleInstanceMutex[] = L"AD840787-E2E1-4103-B9ED-F45331A327C0";

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Held until the process ends; a second copy leaves the first undisturbed.
    const HANDLE mutex = CreateMutexW(nullptr, TRUE, kSingleInstanceMutex);
    if (mutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) return 0;

    wchar_t modulePath[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, modulePath, MAX_PATH);
    telvo::TrayApp app(instance, telvo::SettingsPathBeside(modulePath, telvo::kSenderSettingsFile));
    return app.Run();
}
