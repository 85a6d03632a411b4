// The broadcast thread: while `broadcasting` is set it waits until the capture interval has
// passed since the last picture was begun, captures the screen, numbers the picture and sends it.
// What touches the screen, the tray icon, the clock and the user is the host's: the program binds
// the desktop and its tray icon, tests bind fakes.
//
// One broadcast thread at most: a start while the thread still runs (right after a stop, or while
// it shows its network-failure message) only sets `broadcasting` again and counts the start, and
// the thread decides to end under the same lock that a start takes, after its clean-up, so a new
// thread never meets an old one. A thread that sees a new start sends its next picture at once.
#pragma once

#include <atomic>
#include <cstdint>

#include "base/HeapBlock.h"
#include "base/Lock.h"
#include "base/Thread.h"
#include "sender/Packetizer.h"
#include "sender/ParallelDeflate.h"
#include "sender/SenderSettings.h"

namespace telvo {

class BroadcastHost {
  public:
    virtual ~BroadcastHost() = default;
    // Captures the screen into `picture`, reusing it when it is large enough (its capacity is the
    // picture's length on the wire). False when no picture could be taken; `picture` is then empty.
    [[nodiscard]] virtual bool CaptureScreen(HeapBlock& picture) = 0;
    virtual void CursorPosition(std::int32_t* x, std::int32_t* y) = 0;
    virtual void ShowSendingIcon(bool sending) = 0;
    // Tells the user that the network could not be set up; returns when the user has seen it.
    virtual void ReportNetworkFailure() = 0;
    virtual std::uint32_t Milliseconds() = 0;  // a wrapping millisecond clock
    // Sleeps `ms` milliseconds, 0 only gives up the time slice; also the pauses between fragments.
    virtual void Sleep(unsigned ms) = 0;
    // Short sleeps last what they say from a broadcast's start (true) to its end (false).
    virtual void PrecisePauses(bool on) = 0;
    virtual DatagramSink& Sink() = 0;
};

class Broadcaster {
  public:
    Broadcaster(const SenderSettings& settings, BroadcastHost& host,
                ThreadStarter startThread = StartDetachedThread)
        : settings_(settings), host_(host), startThread_(startThread) {}
    // The thread must have ended (threadRunning() false); this waits only for its last unlock.
    ~Broadcaster() { ScopedLock lock(lock_); }
    Broadcaster(const Broadcaster&) = delete;
    Broadcaster& operator=(const Broadcaster&) = delete;

    // Sets `broadcasting` and starts the broadcast thread unless it still runs. Returns 0, or the
    // error code when the thread cannot be started (then `broadcasting` stays clear). Main thread.
    [[nodiscard]] int Start();
    // Clears `broadcasting`; the thread notices it within about 100 ms. Never waits.
    void Stop() { broadcasting_.store(false); }

    bool broadcasting() const { return broadcasting_.load(); }
    bool threadRunning() const;
    // The number the next picture gets; goes on across stop and start.
    std::uint32_t pictureCounter() const { return pictureCounter_.load(); }

  private:
    static void ThreadBody(void* self);
    void Run();
    bool OpenSocketUntilGivenUp();
    bool EndUnlessRestarted(HeapBlock& picture);
    void EndOnFailure(HeapBlock& picture);
    void CleanUp(HeapBlock& picture);

    const SenderSettings& settings_;
    BroadcastHost& host_;
    const ThreadStarter startThread_;
    mutable CriticalSection lock_;  // a start against the thread's decision to end
    std::atomic<bool> broadcasting_{false};
    std::atomic<std::uint32_t> starts_{0};  // counted under lock_
    bool threadRunning_ = false;
    std::atomic<std::uint32_t> pictureCounter_{0};  // written by the broadcast thread only
    // Used by the broadcast thread only: on every core, one stream as compress2 makes it on one.
    ParallelDeflate deflater_{ParallelDeflate::ThreadsForThisMachine(), false};
};

}  // namespace telvo
