#include "viewer/save/PictureWriter_win.h"

#include "win/TemporaryFile_win.h"
#include "win/WinHandles.h"

namespace telvo {
namespace {

// Enough for every save of one millisecond in a shared folder.
constexpr unsigned kMaxNumber = 9999;

#ifdef TELVO_TEST_SEAMS
// Test builds only: while the manual-reset event named by TELVO_TEST_HOLD_SAVE is not set, a save
// waits before it creates its file, as on a network folder that does not answer, and sets the
// event "<name>.waiting" to say so.
void WaitWhileATestHoldsSaves() {
    wchar_t name[128] = L"";
    const DWORD length = GetEnvironmentVariableW(L"TELVO_TEST_HOLD_SAVE", name, 120);
    if (length == 0 || length >= 120) return;
    const UniqueKernelHandle hold(OpenEventW(SYNCHRONIZE, FALSE, name));
    const UniqueKernelHandle waiting(
        OpenEventW(EVENT_MODIFY_STATE, FALSE, (std::wstring(name) + L".waiting").c_str()));
    if (!hold || !waiting) return;
    SetEvent(waiting.get());
    WaitForSingleObject(hold.get(), 120000);
}
#else
void WaitWhileATestHoldsSaves() {}
#endif

DWORD WriteAll(HANDLE file, const PictureCopy& picture) {
    DWORD written = 0;
    if (!WriteFile(file, picture.bytes.get(), picture.size, &written, nullptr)) {
        return GetLastError();
    }
    if (written != picture.size) return ERROR_DISK_FULL;
    return FlushFileBuffers(file) ? ERROR_SUCCESS : GetLastError();
}

}  // namespace

SavedPicture WriteCurrentPicture(const PictureCopy& picture, const std::wstring& path) {
    if (picture.size == 0) return {L"", ERROR_NO_DATA};
    if (!picture.bytes) return {L"", ERROR_NOT_ENOUGH_MEMORY};
    WaitWhileATestHoldsSaves();
    const std::size_t slash = path.find_last_of(L'\\');
    TemporaryFile temporary;
    if (!temporary.CreateIn(slash == std::wstring::npos ? L"." : path.substr(0, slash))) {
        return {L"", GetLastError()};
    }
    {
        const UniqueFile file(CreateFileW(temporary.path().c_str(), GENERIC_WRITE, 0, nullptr,
                                          TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return {L"", GetLastError()};
        if (const DWORD error = WriteAll(file.get(), picture); error != ERROR_SUCCESS) {
            return {L"", error};
        }
    }
    // A rename that replaces nothing: a name another save took meanwhile is simply passed over.
    for (unsigned number = 1; number <= kMaxNumber; ++number) {
        const std::wstring name = NumberedPicturePath(path, number);
        if (MoveFileExW(temporary.path().c_str(), name.c_str(), MOVEFILE_WRITE_THROUGH)) {
            temporary.Keep();
            return {name, ERROR_SUCCESS};
        }
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return {L"", error};
    }
    return {L"", ERROR_FILE_EXISTS};
}

LocalTime LocalTimeNow() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return LocalTime{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                     now.wMinute, now.wSecond, now.wMilliseconds};
}

}  // namespace telvo
