#include "viewer/save/ContinuousSave.h"

#include <chrono>
#include <new>
#include <thread>

#include "base/Thread.h"

namespace telvo {

struct ContinuousSave::State {
    State(WriteFunction writer, Clock seconds, StoppedFunction stop)
        : write(std::move(writer)), clock(std::move(seconds)), stopped(std::move(stop)) {}

    const WriteFunction write;
    const Clock clock;
    const StoppedFunction stopped;
    mutable CriticalSection lock;            // guards folder, source and threadRunning
    std::atomic<std::uint32_t> interval{0};  // seconds; 0: off
    std::atomic<std::uint32_t> lastSave{0};  // start of the last successful save; 0: none
    std::uint32_t run = 0;                   // counts the starts: a write belongs to one run
    std::wstring folder;
    PictureSource source;
    bool threadRunning = false;
    // Held while the source is called, and by the owner's end, after which it is never called:
    // a stop need not wait for a copy (which waits for imageLock).
    CriticalSection sourceLock;
    bool ownerGone = false;
};

ContinuousSave::ContinuousSave(WriteFunction write, Clock clock, StoppedFunction stopped)
    : state_(std::make_shared<State>(std::move(write), std::move(clock), std::move(stopped))) {}

ContinuousSave::~ContinuousSave() {
    Stop();
    {
        ScopedLock lock(state_->sourceLock);
        state_->ownerGone = true;
    }
    for (int i = 0; i < 100 && threadRunning(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int ContinuousSave::Start(std::uint32_t intervalSeconds, const std::wstring& folder,
                          PictureSource source) {
    ScopedLock lock(state_->lock);
    if (state_->interval.load() != 0 || intervalSeconds == 0) return 0;
    state_->folder = folder;
    state_->source = std::move(source);
    state_->interval.store(intervalSeconds);
    ++state_->run;
    if (state_->threadRunning) return 0;  // the thread that was told to stop simply goes on
    auto* owner = new (std::nothrow) std::shared_ptr<State>(state_);
    const int error = owner == nullptr ? NoMemoryError() : StartDetachedThread(&ThreadBody, owner);
    if (error != 0) {
        delete owner;
        state_->interval.store(0);
        state_->folder.clear();
        state_->source = nullptr;
        return error;
    }
    state_->threadRunning = true;
    return 0;
}

void ContinuousSave::Stop() {
    ScopedLock lock(state_->lock);
    state_->interval.store(0);
    state_->folder.clear();
    state_->source = nullptr;
    state_->lastSave.store(0);
}

bool ContinuousSave::on() const {
    return state_->interval.load() != 0;
}

bool ContinuousSave::threadRunning() const {
    ScopedLock lock(state_->lock);
    return state_->threadRunning;
}

void ContinuousSave::ThreadBody(void* state) {
    auto* owner = static_cast<std::shared_ptr<State>*>(state);
    Run(**owner);
    delete owner;
}

void ContinuousSave::Run(State& state) {
    for (;;) {
        std::wstring folder;
        std::uint32_t run = 0;
        std::uint32_t now = 0;
        PictureSource source;
        {
            ScopedLock lock(state.lock);
            const std::uint32_t interval = state.interval.load();
            if (interval == 0) {
                state.threadRunning = false;
                return;
            }
            folder = state.folder;
            run = state.run;
            now = state.clock();
            const std::uint32_t last = state.lastSave.load();
            if (last == 0 || now >= last + interval) source = state.source;
        }
        PictureCopy picture;
        if (source) {
            ScopedLock lock(state.sourceLock);
            if (!state.ownerGone) picture = source();
        }
        if (picture.size != 0) {
            const std::uint32_t error = state.write(picture, folder);
            picture.bytes.reset();
            ScopedLock lock(state.lock);
            // A stop and start during the write began a new run, which this write must not touch.
            if (run == state.run && error != 0) {
                state.interval.store(0);
                state.folder.clear();
                state.source = nullptr;
                state.stopped(error);
                state.threadRunning = false;
                return;
            }
            if (run == state.run) state.lastSave.store(now);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace telvo
