#include <pthread.h>

#include <cerrno>
#include <new>

#include "base/Thread.h"

namespace telvo {
namespace {

struct Start {
    ThreadBody body;
    void* argument;
};

void* Trampoline(void* raw) {
    const Start start = *static_cast<Start*>(raw);
    delete static_cast<Start*>(raw);
    start.body(start.argument);
    return nullptr;
}

}  // namespace

int NoMemoryError() {
    return ENOMEM;
}

int StartDetachedThread(ThreadBody body, void* argument) {
    auto* start = new (std::nothrow) Start{body, argument};
    if (start == nullptr) return NoMemoryError();
    pthread_t thread;
    const int error = pthread_create(&thread, nullptr, Trampoline, start);
    if (error != 0) {
        delete start;
        return error;
    }
    pthread_detach(thread);
    return 0;
}

}  // namespace telvo
