// The broadcast thread's host in the real program: the chosen screen, the pointer, the broadcast's
// state and whether the chosen monitor is missing (both handed to the tray program through the
// callbacks it gives), the millisecond clock and the sender socket.
#pragma once

#include <functional>

#include "sender/BroadcastLoop.h"
#include "sender/CaptureSurface_win.h"
#include "sender/Monitors_win.h"
#include "sender/SenderSocket.h"
#include "win/WinHandles.h"

namespace telvo {

class DesktopBroadcastHost : public BroadcastHost {
  public:
    using StateSwitch = std::function<void(BroadcastState state, bool announce)>;
    // Called when the chosen monitor goes missing (the primary one is shown instead) or is back.
    using FallbackSwitch = std::function<void(bool fellBack)>;
    DesktopBroadcastHost(const SenderSettings& settings, MonitorLister listMonitors,
                         StateSwitch showState, FallbackSwitch showFallback)
        : settings_(settings),
          listMonitors_(listMonitors),
          showState_(std::move(showState)),
          showFallback_(std::move(showFallback)) {}

    // The chosen screen into one surface, kept while the broadcast runs.
    [[nodiscard]] const std::uint8_t* CaptureScreen(std::uint32_t* length) override;
    void CursorPosition(std::int32_t* x, std::int32_t* y) override;
    void ShowState(BroadcastState state, bool announce) override;
    std::uint32_t Milliseconds() override;
    // With a high-resolution waitable timer, or else the timer resolution raised to 1 ms, while
    // pauses are precise: a plain Sleep(1) lasts a whole timer tick (about 15.6 ms) on Windows.
    void Sleep(unsigned ms) override;
    void BroadcastRunning(bool running) override;
    DatagramSink& Sink() override { return sink_; }

  private:
    const SenderSettings& settings_;
    const MonitorLister listMonitors_;
    StateSwitch showState_;
    FallbackSwitch showFallback_;
    bool fellBack_ = false;
    CaptureSurface surface_;
    UniqueKernelHandle timer_;
    bool periodRaised_ = false;
    SenderSocketSink sink_;
    std::int32_t originX_ = 0, originY_ = 0;  // the last picture's top-left on the screen
};

}  // namespace telvo
