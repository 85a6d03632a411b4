// Continuous save: while on, a thread of its own writes the picture on show every `interval`
// seconds, the first one as soon as there is a picture, and switches itself off when a write
// fails, saying so once through `stopped`. The thread co-owns the state, so it never outlives
// what it uses; the write function must likewise own what it reaches. The picture comes from the
// source given at the start, which is never called once the object is gone (its end waits for a
// call under way), so it may reach what its owner owns.
//
// One thread at most: a start that follows a stop before the thread has noticed it only switches
// the state on again, and the thread decides to end under the lock that a start takes. The folder
// is copied under that lock too, so it is never read while a stop or start replaces it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/Lock.h"
#include "viewer/net/PictureStore.h"

namespace telvo {

class ContinuousSave {
  public:
    // A copy of the picture on show; size 0 when there is none.
    using PictureSource = std::function<PictureCopy()>;
    // Writes the picture into the folder as a continuous save: 0, or the system's error code.
    using WriteFunction =
        std::function<std::uint32_t(const PictureCopy& picture, const std::wstring& folder)>;
    // Seconds on the wall clock (the C library's time).
    using Clock = std::function<std::uint32_t()>;
    // Told, on the thread and under the state's lock, that a failed write switched continuous save
    // off, and why. It must not call back into the object.
    using StoppedFunction = std::function<void(std::uint32_t error)>;

    ContinuousSave(WriteFunction write, Clock clock, StoppedFunction stopped);
    // Stops, waits for a call of the source under way, and waits a little for the thread so that
    // it has ended in the usual case.
    ~ContinuousSave();
    ContinuousSave(const ContinuousSave&) = delete;
    ContinuousSave& operator=(const ContinuousSave&) = delete;

    // Switches on with `intervalSeconds` (> 0), `folder` and `source` unless already on. Returns 0
    // or the error code when the thread cannot be started (then it stays off).
    [[nodiscard]] int Start(std::uint32_t intervalSeconds, const std::wstring& folder,
                            PictureSource source);
    // Switches off; the thread notices within about 10 ms. Never waits.
    void Stop();

    bool on() const;
    bool threadRunning() const;

  private:
    struct State;
    static void ThreadBody(void* state);
    static void Run(State& state);

    std::shared_ptr<State> state_;
};

}  // namespace telvo
