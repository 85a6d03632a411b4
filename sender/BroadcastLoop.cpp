#include "sender/BroadcastLoop.h"

#include <algorithm>

#include "sender/SenderSocket.h"

namespace telvo {
namespace {

constexpr std::uint32_t kPollMs = 100;
constexpr std::uint32_t kRetryMs = 1000;  // the longest wait before a failed picture is tried again

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

bool Broadcaster::EndUnlessRestarted() {
    ScopedLock lock(lock_);
    if (broadcasting_.load()) return false;
    CloseSenderSocket();
    host_.BroadcastRunning(false);
    deflater_.ReleaseBuffers();
    stage_.ReleaseBuffers();
    threadRunning_ = false;
    return true;
}

void Broadcaster::Show(BroadcastState state, bool announce) {
    if (state != shown_) host_.ShowState(state, announce);
    shown_ = state;
}

bool Broadcaster::GatedSink::Open() const {
    return owner_.broadcasting_.load() && owner_.starts_.load() == generation;
}

int Broadcaster::GatedSink::Send(const std::uint8_t* datagram, std::size_t length) {
    ScopedLock lock(owner_.gate_);
    return Open() ? owner_.host_.Sink().Send(datagram, length) : kAbandoned;
}

void Broadcaster::GatedSink::Pause(unsigned ms) {
    if (Open()) owner_.host_.Sleep(ms);
}

BroadcastState Broadcaster::AfterSend(int error) {
    if (error == 0 || error == kAbandoned) return BroadcastState::kWaiting;
    // Opened anew for the next try: a settings command whose reopening failed left none.
    socketOpen_ = false;
    return BroadcastState::kSendFailing;
}

void Broadcaster::Settle(BroadcastState result) {
    Show(result, result != BroadcastState::kWaiting && !failing_);
    failing_ = result != BroadcastState::kWaiting;
}

void Broadcaster::SettleInFlight() {
    if (stage_.inFlight()) Settle(AfterSend(stage_.Finish()));
}

void Broadcaster::TakeAndHand() {
    if (!socketOpen_) {
        if (OpenSenderSocket(settings_) != 0) {
            SettleInFlight();
            return Settle(BroadcastState::kNetworkFailing);
        }
        socketOpen_ = true;
    }
    const std::uint32_t generation = starts_.load();
    std::uint32_t length = 0;
    const std::uint8_t* bitmap = host_.CaptureScreen(&length);
    if (bitmap == nullptr) {
        // The picture before is settled first: a failure reported before it would count its
        // success as the end of this outage.
        SettleInFlight();
        return Settle(BroadcastState::kCaptureFailing);
    }
    // NOTE: only now: a sending icon shown before the capture could be in the picture or not,
    // and an unchanged screen would not give the same picture.
    if (!failing_) Show(BroadcastState::kSending, false);
    std::int32_t cursorX = 0, cursorY = 0;
    host_.CursorPosition(&cursorX, &cursorY);
    const PreparedPicture picture =
        PreparePicture(deflater_, bitmap, length, cursorX, cursorY, settings_.compress.load() != 0);
    // The picture before goes out whole first; when it failed, this one is dropped and tried
    // again after the pause a failure brings.
    if (const BroadcastState before = AfterSend(stage_.Finish());
        before != BroadcastState::kWaiting) {
        return Settle(before);
    }
    gatedSink_.generation = generation;
    const int error = stage_.Hand(picture, pictureCounter_.fetch_add(1));
    if (!stage_.inFlight()) Settle(AfterSend(error));
}

void Broadcaster::Run() {
    host_.BroadcastRunning(true);
    socketOpen_ = false;
    failing_ = false;
    bool shotTaken = false;  // the clock wraps: no value of lastShot can mean "none"
    std::uint32_t lastShot = 0;
    std::uint32_t seenStarts = starts_.load();
    for (;;) {
        if (!broadcasting_.load()) {
            (void)stage_.Finish();  // abandoned at its next datagram
            Show(BroadcastState::kWaiting, false);
            if (EndUnlessRestarted()) return;
        }
        if (const std::uint32_t starts = starts_.load(); starts != seenStarts) {
            seenStarts = starts;  // a stop and a new start: its first picture goes out at once
            shotTaken = false;
        }
        const std::uint32_t now = host_.Milliseconds();
        // NOTE: at interval 0 a failing try would otherwise follow the last at once, for ever.
        const std::uint32_t interval = settings_.captureInterval.load();
        const std::uint32_t wait =
            failing_ ? std::max(kPollMs, std::min(interval, kRetryMs)) : interval;
        if (shotTaken && now - lastShot < wait) {
            // Nothing is due: the picture in flight ends first, and the tray shows how it went.
            if (stage_.inFlight()) {
                SettleInFlight();
            } else {
                host_.Sleep(kPollMs);
            }
            continue;
        }
        shotTaken = true;
        lastShot = now;
        TakeAndHand();
    }
}

}  // namespace telvo
