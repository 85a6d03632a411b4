// Continuous save: while on, a thread of its own writes the picture on show every `interval`
// seconds, the first one as soon as there is a picture, and switches itself off when a write
// fails. The thread co-owns the state and the picture store, so it never outlives what it uses.
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
    // Writes the current picture into the folder as a continuous save; false when nothing was
    // written.
    using WriteFunction = std::function<bool(const std::wstring& folder)>;
    // Seconds on the wall clock (the C library's time).
    using Clock = std::function<std::uint32_t()>;

    ContinuousSave(std::shared_ptr<const PictureStore> store, WriteFunction write, Clock clock);
    // Stops, and waits a little for the thread so that it has ended in the usual case.
    ~ContinuousSave();
    ContinuousSave(const ContinuousSave&) = delete;
    ContinuousSave& operator=(const ContinuousSave&) = delete;

    // Switches on with `intervalSeconds` (> 0) and `folder` unless already on. Returns 0 or the
    // error code when the thread cannot be started (then it stays off).
    [[nodiscard]] int Start(std::uint32_t intervalSeconds, const std::wstring& folder);
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
