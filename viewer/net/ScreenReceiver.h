// The viewer's receiving object: joins the multicast group of a channel, runs one receive thread
// at a time (a ReceiveSession), and holds the CurrentImage that the thread publishes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "viewer/net/PictureAssembler.h"
#include "viewer/net/PictureStore.h"
#include "viewer/net/ReceiveSession.h"

namespace telvo {

class ScreenReceiver {
  public:
    ScreenReceiver();
    virtual ~ScreenReceiver();
    ScreenReceiver(const ScreenReceiver&) = delete;
    ScreenReceiver& operator=(const ScreenReceiver&) = delete;

    // Stops the reception that runs (waiting about 100 ms at most for its thread, which may be
    // blocked in a notification to the caller's thread), discards the pictures held, and starts
    // receiving channel `channelIndex` of `group` and `basePort`. `notify` runs on the receive
    // thread after each new picture. An index above 4 receives nothing and returns 0. Returns 0,
    // or the socket layer's or the system's error code; then nothing is received. UI thread.
    [[nodiscard]] int OpenChannel(PictureAssembler::Notifier notify, std::uint32_t channelIndex,
                                  const char* group, std::uint16_t basePort);

    std::uint32_t channelIndex() const { return channelIndex_; }

    // The receive buffer the next OpenChannel asks for; 0 leaves the platform's default.
    void SetReceiveBufferBytes(int bytes) { receiveBufferBytes_ = bytes; }

    // The adapters the next OpenChannel joins on: the one whose IPv4 address `address` is, or
    // every adapter when it is empty or no address (the "Interface" setting). `list` is what
    // lists them.
    void SetAdapters(std::string address, AdapterLister list = ListNetworkAdapters) {
        adapterAddress_ = std::move(address);
        listAdapters_ = list;
    }

    // From the next OpenChannel on, a receive thread that falls behind skips pictures for the
    // newest one waiting instead of showing each late (a view does; a counter does not).
    void SetSkipWhenBehind(bool skip) { skipWhenBehind_ = skip; }

    // Told, on the receive thread, of each picture given up, from the next OpenChannel on.
    void SetLossNotifier(PictureAssembler::LossNotifier notify) { lossNotify_ = std::move(notify); }
    // Told, on the receive thread, when another sender appears, from the next OpenChannel on.
    void SetSenderNotifier(PictureAssembler::SenderNotifier notify) {
        senderNotify_ = std::move(notify);
    }

    // The current receive thread's state word (ReceiveState); ReceiveState::kEnded when none was
    // started.
    ReceiveState receiveState() const;

    // Number of the picture on show, else 0 (the title's number).
    std::uint32_t TitlePictureNumber() const;

    const PictureStore& store() const { return *store_; }

  private:
    void StopReception();

    std::uint32_t channelIndex_ = 0;
    int receiveBufferBytes_ = kReceiveBufferBytes;
    bool skipWhenBehind_ = false;
    std::string adapterAddress_;
    AdapterLister listAdapters_ = ListNetworkAdapters;
    PictureAssembler::LossNotifier lossNotify_;
    PictureAssembler::SenderNotifier senderNotify_;
    const std::shared_ptr<PictureStore> store_;
    std::shared_ptr<ReceiveSession> session_;
};

}  // namespace telvo
