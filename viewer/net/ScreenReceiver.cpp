#include "viewer/net/ScreenReceiver.h"

#include <chrono>
#include <thread>

#include "protocol/ScreenPacket.h"

namespace telvo {
namespace {

void SleepMs(unsigned ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

ScreenReceiver::ScreenReceiver() : store_(std::make_shared<PictureStore>()) {}

ScreenReceiver::~ScreenReceiver() {
    StopReception();
    // A receive thread that outlived the bounded wait can no longer publish or notify.
    static_cast<void>(store_->Clear());
}

void ScreenReceiver::StopReception() {
    if (!session_) return;
    session_->RequestStop();
    for (int i = 0; i < 10 && session_->state() != ReceiveState::kEnded; ++i) SleepMs(10);
    // The next socket may bind the same port. A thread that is still alive is either in a receive
    // slice, which ends within kReceiveSliceMs and closes the socket, or its socket is closed.
    for (int i = 0; i < 100 && session_->socketOpen(); ++i) SleepMs(10);
    session_.reset();
}

int ScreenReceiver::OpenChannel(PictureAssembler::Notifier notify, std::uint32_t channelIndex,
                                const char* group, std::uint16_t basePort) {
    channelIndex_ = channelIndex;
    StopReception();
    const std::uint32_t generation = store_->Clear();
    if (channelIndex >= kChannelCount) return 0;

    auto session = std::make_shared<ReceiveSession>(store_, generation, std::move(notify));
    session->SetLossNotifier(lossNotify_);
    session->SetSenderNotifier(senderNotify_);
    if (skipWhenBehind_) session->SkipWhenBehind();
    // Without the system's reports of adapter changes, the session's own looks still find them.
    (void)WatchAdapterChanges();
    std::uint32_t adapter = 0;
    if (!ParseIPv4(adapterAddress_.c_str(), &adapter)) adapter = 0;
    session->SetAdapters(adapter, listAdapters_);
    int error = session->JoinGroup(group, ChannelPort(basePort, channelIndex), receiveBufferBytes_);
    if (error == 0) error = ReceiveSession::Start(session);
    // A session that never started keeps nothing for the next switch to wait for.
    if (error == 0) session_ = std::move(session);
    return error;
}

ReceiveState ScreenReceiver::receiveState() const {
    return session_ ? session_->state() : ReceiveState::kEnded;
}

std::uint32_t ScreenReceiver::TitlePictureNumber() const {
    ImageReader image(*store_);
    return image.bytes() != nullptr && session_ ? session_->lastPictureNumber() : 0;
}

}  // namespace telvo
