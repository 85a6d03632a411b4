// The broadcast thread's host in the real program: the desktop, the pointer, the tray icon (through
// the callback the tray program gives), the millisecond clock and the sender socket.
#pragma once

#include <functional>

#include "sender/BroadcastLoop.h"
#include "sender/SenderSocket.h"
#include "win/WinHandles.h"

namespace telvo {

class DesktopBroadcastHost : public BroadcastHost {
  public:
    using IconSwitch = std::function<void(bool sending)>;
    explicit DesktopBroadcastHost(IconSwitch showSendingIcon)
        : showSendingIcon_(std::move(showSendingIcon)) {}

    [[nodiscard]] bool CaptureScreen(HeapBlock& picture) override;
    void CursorPosition(std::int32_t* x, std::int32_t* y) override;
    void ShowSendingIcon(bool sending) override;
    void ReportNetworkFailure() override;
    std::uint32_t Milliseconds() override;
    // With a high-resolution waitable timer, or else the timer resolution raised to 1 ms, while
    // pauses are precise: a plain Sleep(1) lasts a whole timer tick (about 15.6 ms) on Windows.
    void Sleep(unsigned ms) override;
    void PrecisePauses(bool on) override;
    DatagramSink& Sink() override { return sink_; }

  private:
    IconSwitch showSendingIcon_;
    UniqueKernelHandle timer_;
    bool periodRaised_ = false;
    SenderSocketSink sink_;
};

}  // namespace telvo
