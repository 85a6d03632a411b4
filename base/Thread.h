// Starts a detached thread through the platform's C runtime, reporting failure as an error code
// (std::thread can only report it by an exception, and the programs are built without them).
#pragma once

namespace telvo {

using ThreadBody = void (*)(void* argument);

// Runs body(argument) on a new thread with the default stack size. Returns 0, or a non-zero error
// code (the C runtime's errno value) when the thread cannot be started (the body then never runs).
[[nodiscard]] int StartDetachedThread(ThreadBody body, void* argument);

// The error code StartDetachedThread gives for memory that cannot be had (ENOMEM).
int NoMemoryError();
// What starts a thread for an object that runs one: StartDetachedThread, or a test's stand-in.
using ThreadStarter = int (*)(ThreadBody body, void* argument);

}  // namespace telvo
