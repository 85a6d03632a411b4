#include <process.h>
#include <windows.h>

#include <cerrno>
#include <new>

#include "base/Thread.h"

namespace telvo {
namespace {

struct Start {
    ThreadBody body;
    void* argument;
};

unsigned __stdcall Trampoline(void* raw) {
    const Start start = *static_cast<Start*>(raw);
    delete static_cast<Start*>(raw);
    start.body(start.argument);
    return 0;
}

}  // namespace

int NoMemoryError() {
    return ENOMEM;
}

int StartDetachedThread(ThreadBody body, void* argument) {
    auto* start = new (std::nothrow) Start{body, argument};
    if (start == nullptr) return NoMemoryError();
    const uintptr_t thread = _beginthreadex(nullptr, 0, Trampoline, start, 0, nullptr);
    if (thread == 0) {
        // _beginthreadex reports through errno, not the thread's last error (often still 0).
        const int error = errno;
        delete start;
        return error != 0 ? error : EAGAIN;
    }
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return 0;
}

}  // namespace telvo
