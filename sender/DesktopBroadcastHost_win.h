// The broadcast thread's host in the real program: the desktop, the pointer, the tray icon (through
// the callback the tray program gives), the millisecond clock and the sender socket.
#pragma once

#include <functional>

#include "sender/BroadcastLoop.h"
#include "sender/SenderSocket.h"

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
    void Sleep(unsigned ms) override;
    DatagramSink& Sink() override { return sink_; }

  private:
    IconSwitch showSendingIcon_;
    SenderSocketSink sink_;
};

}  // namespace telvo
