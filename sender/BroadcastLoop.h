// The broadcast thread: while `broadcasting` is set it waits until the capture interval has
// passed since the last picture was begun, captures the screen, compresses it, numbers it and
// hands it to the sending stage. While one picture is being sent the next is captured and
// compressed: when it is due, at short intervals, the two overlap; with time to spare the thread
// first waits for the send to end. Each picture's datagrams still go out whole and in order.
// What touches the screen, the tray icon, the clock and the user is the host's: the program binds
// the desktop and its tray icon, tests bind fakes.
//
// A failed picture never ends the broadcast: the picture is skipped and the loop tries again after
// the capture interval, and at least every second, until a picture goes out or the user stops.
//
// One broadcast thread at most: a start while the thread still runs (right after a stop, or while
// it shows its network-failure message) only sets `broadcasting` again and counts the start, and
// the thread decides to end under the same lock that a start takes, after its clean-up, so a new
// thread never meets an old one. A thread that sees a new start sends its next picture at once.
// The host is told of the end before that lock is taken: nothing slow runs under it. No datagram
// of a picture taken before a stop goes out once Stop has returned.
#pragma once

#include <atomic>
#include <cstdint>

#include "base/Lock.h"
#include "base/Thread.h"
#include "sender/Packetizer.h"
#include "sender/ParallelDeflate.h"
#include "sender/SendStage.h"
#include "sender/SenderSettings.h"

namespace telvo {

// What the broadcast is doing, as the tray shows it.
enum class BroadcastState {
    kWaiting,         // between pictures, and when stopped
    kSending,         // sending a picture (shown once it is taken: the icon is on the screen)
    kCaptureFailing,  // the screen cannot be captured (a secure desktop, say); tried again
    kSendFailing,     // pictures cannot be sent (no route to the group, say); tried again
    kNetworkFailing,  // the sender socket cannot be opened; tried again
};

class BroadcastHost {
  public:
    virtual ~BroadcastHost() = default;
    // Captures the screen and returns the picture, `length` bytes held by the host until the next
    // capture or the broadcast's end; null when no picture could be taken.
    [[nodiscard]] virtual const std::uint8_t* CaptureScreen(std::uint32_t* length) = 0;
    // The pointer's position relative to the top-left corner of the last captured picture.
    virtual void CursorPosition(std::int32_t* x, std::int32_t* y) = 0;
    // Shows a new state; called on changes only, never under the broadcaster's lock, and must not
    // block. `announce` marks the first failure of an outage (since the broadcast began or a
    // picture last went out): the one worth telling the user about beyond the tray.
    virtual void ShowState(BroadcastState state, bool announce) = 0;
    virtual std::uint32_t Milliseconds() = 0;  // a wrapping millisecond clock
    // Sleeps `ms` milliseconds, 0 only gives up the time slice; also the pauses between fragments.
    // Called by one thread at a time: the broadcast thread sleeps only while nothing is sent.
    virtual void Sleep(unsigned ms) = 0;
    // A broadcast's start (true) and end (false): meanwhile short sleeps last what they say, and
    // the host may keep what capturing needs.
    virtual void BroadcastRunning(bool running) = 0;
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
    // error code when the thread cannot be started (then `broadcasting` is clear). Main thread.
    [[nodiscard]] int Start();
    // Clears `broadcasting`; the thread notices it within about 100 ms. Waits only for a datagram
    // being sent: none of the stopped broadcast goes out after this returns.
    void Stop() {
        broadcasting_.store(false);
        ScopedLock barrier(gate_);
    }

    bool broadcasting() const { return broadcasting_.load(); }
    bool threadRunning() const;
    // The number the next picture gets; goes on across stop and start.
    std::uint32_t pictureCounter() const { return pictureCounter_.load(); }

  private:
    // The sending stage's sink: the host's, closed to the datagrams of a picture taken before the
    // latest stop.
    class GatedSink : public DatagramSink {
      public:
        explicit GatedSink(Broadcaster& owner) : owner_(owner) {}
        int Send(const std::uint8_t* datagram, std::size_t length) override;
        void Pause(unsigned ms) override;
        bool Open() const;
        std::uint32_t generation = 0;  // the starts counted when the picture was taken

      private:
        Broadcaster& owner_;
    };
    static constexpr int kAbandoned = -1;  // the gated sink's answer: not a failure

    static void ThreadBody(void* self);
    void Run();
    // Opens the socket when need be, takes a picture, compresses it, lets the picture in flight
    // finish and hands the new one on; settles every try that ends here.
    void TakeAndHand();
    // The state a finished send leaves; a failed one closes the socket for the next try to open.
    BroadcastState AfterSend(int error);
    // Shows how a try ended, announcing the first failure of an outage.
    void Settle(BroadcastState result);
    // Waits for the picture in flight, if any, and settles its try.
    void SettleInFlight();
    bool EndUnlessRestarted();
    void Show(BroadcastState state, bool announce);

    const SenderSettings& settings_;
    BroadcastHost& host_;
    const ThreadStarter startThread_;
    mutable CriticalSection lock_;  // a start against the thread's decision to end
    std::atomic<bool> broadcasting_{false};
    std::atomic<std::uint32_t> starts_{0};  // counted under lock_
    bool threadRunning_ = false;
    std::atomic<std::uint32_t> pictureCounter_{0};  // written by the broadcast thread only
    // The broadcast thread's only.
    BroadcastState shown_ = BroadcastState::kWaiting;
    bool socketOpen_ = false;
    bool failing_ = false;  // an outage: the last try failed
    // Used by the broadcast thread only: on every core, one stream as compress2 makes it on one.
    ParallelDeflate deflater_{ParallelDeflate::ThreadsForThisMachine(), false};
    CriticalSection gate_;  // a datagram's send against a stop
    GatedSink gatedSink_{*this};
    SendStage stage_{gatedSink_};  // after the sink it sends to: it ends first
};

}  // namespace telvo
