// The broadcast thread's host in the real program: the screen, the pointer, the broadcast's state
// (handed to the tray program through the callback it gives), the millisecond clock and the sender
// socket.
#pragma once

#include <functional>

#include "sender/BroadcastLoop.h"
#include "sender/SenderSocket.h"

namespace telvo {

class DesktopBroadcastHost : public BroadcastHost {
  public:
    using StateSwitch = std::function<void(BroadcastState state, bool announce)>;
    explicit DesktopBroadcastHost(StateSwitch showState) : showState_(std::move(showState)) {}

    [[nodiscard]] bool CaptureScreen(HeapBlock& picture, std::uint32_t* length) override;
    void CursorPosition(std::int32_t* x, std::int32_t* y) override;
    void ShowState(BroadcastState state, bool announce) override;
    std::uint32_t Milliseconds() override;
    void Sleep(unsigned ms) override;
    DatagramSink& Sink() override { return sink_; }

  private:
    StateSwitch showState_;
    SenderSocketSink sink_;
    std::int32_t originX_ = 0, originY_ = 0;  // the last picture's top-left on the screen
};

}  // namespace telvo
