// Drives the real programs from a test under Wine, as a user would: starts an executable in a
// folder of its own, finds its windows and dialogs, reads their texts, and waits for it to end.
// Windows builds only.
#pragma once

#include <windows.h>

#include <string>

#include "win/WinHandles.h"

namespace telvo::test {

// A path below the build folder (the nearest folder above the test executable with a
// CMakeCache.txt).
std::wstring BuildPath(const wchar_t* relative);

// A new empty folder under the temporary folder; `name` makes it recognisable.
std::wstring MakeFreshFolder(const wchar_t* name);

// Copies `file` into `folder`, keeping its name. Returns the new path, or "" on failure.
std::wstring CopyInto(const std::wstring& file, const std::wstring& folder);

// A file's text: a UTF-16LE file with its byte-order mark (kept as U+FEFF), else bytes as ASCII.
std::wstring ReadFileText(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);

// A started program; ended (TerminateProcess) when the object goes if it still runs.
class Program {
  public:
    Program() = default;
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Start(const std::wstring& executable, const std::wstring& folder,
               const std::wstring& arguments = L"");
    // True when it ended within `timeoutMs`; its exit code goes to `code`.
    bool WaitExit(DWORD timeoutMs, DWORD* code = nullptr);
    bool running() const;
    DWORD id() const { return id_; }
    HANDLE handle() const { return process_.get(); }

  private:
    UniqueKernelHandle process_;
    DWORD id_ = 0;
};

// The first top-level window of process `processId` (hidden ones too) whose class and title match
// (nullptr matches any), waiting up to `timeoutMs` for it to appear. Null when none did.
HWND WaitForWindow(DWORD processId, const wchar_t* className, const wchar_t* title,
                   DWORD timeoutMs);

// A visible dialog (class #32770) of process `processId` with the caption `title`: once it is
// visible its initialisation is done.
HWND WaitForDialog(DWORD processId, const wchar_t* title, DWORD timeoutMs);

// A window that no longer exists or stopped being visible within `timeoutMs`.
bool WaitForWindowGone(HWND window, DWORD timeoutMs);

std::wstring WindowText(HWND window);
std::wstring ItemText(HWND dialog, int id);

}  // namespace telvo::test
