#include "sender/BroadcastLoop.h"

#include "sender/SenderSocket.h"

namespace telvo {
namespace {

constexpr unsigned kPollMs = 100;

// The host's sink, pausing between fragments with the host's sleep.
class PausingSink : public DatagramSink {
  public:
    explicit PausingSink(BroadcastHost& host) : host_(host) {}
    int Send(const std::uint8_t* datagram, std::size_t length) override {
        return host_.Sink().Send(datagram, length);
    }
    void Pause(unsigned ms) override { host_.Sleep(ms); }

  private:
    BroadcastHost& host_;
};

}  // namespace

int Broadcaster::Start() {
    ScopedLock lock(lock_);
    if (broadcasting_.exchange(true)) return 0;
    starts_.fetch_add(1);
    if (threadRunning_) return 0;  // the thread still running takes the start up
    const int error = startThread_(&ThreadBody, this);
    if (error != 0) {
        broadcasting_.store(false);
        return error;
    }
    threadRunning_ = true;
    return 0;
}

bool Broadcaster::threadRunning() const {
    ScopedLock lock(lock_);
    return threadRunning_;
}

void Broadcaster::ThreadBody(void* self) {
    static_cast<Broadcaster*>(self)->Run();
}

void Broadcaster::CleanUp(HeapBlock& picture) {
    CloseSenderSocket();
    host_.PrecisePauses(false);
    host_.ShowSendingIcon(false);
    picture.reset();
}

bool Broadcaster::EndUnlessRestarted(HeapBlock& picture) {
    ScopedLock lock(lock_);
    if (broadcasting_.load()) return false;
    CleanUp(picture);
    threadRunning_ = false;
    return true;
}

void Broadcaster::EndOnFailure(HeapBlock& picture) {
    ScopedLock lock(lock_);
    broadcasting_.store(false);
    CleanUp(picture);
    threadRunning_ = false;
}

bool Broadcaster::OpenSocketUntilGivenUp() {
    for (;;) {
        const std::uint16_t port = ChannelPort(settings_.basePort, settings_.channelIndex.load());
        if (OpenSenderSocket(settings_.toAddress, port) == 0) return true;
        broadcasting_.store(false);
        // NOTE: the user may start again while the message is shown (this thread still counts as
        // running, so that start only sets `broadcasting`): then try again rather than lose it.
        host_.ReportNetworkFailure();
        ScopedLock lock(lock_);
        if (!broadcasting_.load()) {
            threadRunning_ = false;
            return false;
        }
    }
}

void Broadcaster::Run() {
    if (!OpenSocketUntilGivenUp()) return;
    host_.PrecisePauses(true);
    PausingSink sink(host_);
    HeapBlock picture;
    bool shotTaken = false;  // the clock wraps: no value of lastShot can mean "none"
    std::uint32_t lastShot = 0;
    std::uint32_t seenStarts = starts_.load();
    for (;;) {
        if (!broadcasting_.load() && EndUnlessRestarted(picture)) return;
        if (const std::uint32_t starts = starts_.load(); starts != seenStarts) {
            seenStarts = starts;  // a stop and a new start: its first picture goes out at once
            shotTaken = false;
        }
        const std::uint32_t now = host_.Milliseconds();
        if (shotTaken && now - lastShot < settings_.captureInterval.load()) {
            host_.Sleep(kPollMs);
            continue;
        }
        host_.ShowSendingIcon(true);
        if (!host_.CaptureScreen(picture)) return EndOnFailure(picture);
        std::int32_t cursorX = 0, cursorY = 0;
        host_.CursorPosition(&cursorX, &cursorY);
        const std::uint32_t number = pictureCounter_.fetch_add(1);
        if (SendPicture(sink, deflater_, picture.get(),
                        static_cast<std::uint32_t>(picture.capacity()), number, cursorX, cursorY,
                        settings_.compress.load() != 0) != 0) {
            return EndOnFailure(picture);
        }
        host_.ShowSendingIcon(false);
        shotTaken = true;
        lastShot = now;
    }
}

}  // namespace telvo
