// Starts a detached thread through the platform's C runtime, reporting failure as an error code
// (std::thread can only report it by an exception, and the programs are built without them).
#pragma once

namespace telvo {

using ThreadBody = void (*)(void* argument);

// Runs body(argument) on a new thread with the default stack size. Returns 0, or the system's
// error code when the thread cannot be started (the body then never runs).
[[nodiscard]] int StartDetachedThread(ThreadBody body, void* argument);

// The system's error code for memory that cannot be had (ERROR_NOT_ENOUGH_MEMORY / ENOMEM).
int NoMemoryError();

}  // namespace telvo
