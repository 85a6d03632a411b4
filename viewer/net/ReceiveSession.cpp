#include "viewer/net/ReceiveSession.h"

#include <chrono>
#include <new>
#include <thread>
#include <utility>

#include "base/Thread.h"
#include "protocol/ScreenPacket.h"

namespace telvo {

ReceiveSession::ReceiveSession(std::shared_ptr<PictureStore> store, std::uint32_t generation,
                               PictureAssembler::Notifier notify)
    : store_(std::move(store)), assembler_(*store_, generation, std::move(notify)) {}

int ReceiveSession::JoinGroup(const char* group, std::uint16_t port, int receiveBufferBytes) {
    ScopedLock lock(socketLock_);
    group_ = group;
    port_ = port;
    receiveBufferBytes_ = receiveBufferBytes;
    adapterChanges_ = AdapterChangeCount();  // a change after this finds the new adapters
    return JoinLocked();
}

int ReceiveSession::JoinLocked() {
    socket_ = CreateUdpSocket();
    if (!socket_) return LastSocketError();
    int error = BindAnyAddress(socket_.get(), port_);
    // A buffer the platform will not enlarge only costs pictures under load; not worth failing for.
    if (error == 0 && receiveBufferBytes_ > 0) {
        (void)SetReceiveBufferSize(socket_.get(), receiveBufferBytes_);
    }
    // A group that does not parse, or is no multicast group, can be joined on no adapter.
    const bool group = ParseIPv4(group_.c_str(), &groupAddress_) && IsMulticastGroup(groupAddress_);
    if (error == 0 && !group) error = InvalidArgumentError();
    if (error == 0) {
        JoinAdaptersLocked(AdaptersToJoin());
        error = SetNonBlocking(socket_.get());
    }
    if (error != 0) socket_.reset();
    return error;
}

std::vector<std::uint32_t> ReceiveSession::AdaptersToJoin() const {
    if (adapter_ != 0) return {adapter_};
    std::vector<NetworkAdapter> adapters;
    if (listAdapters_(&adapters) != 0) return {0};  // INADDR_ANY: the system's choice, at least
    std::vector<std::uint32_t> addresses;
    for (const NetworkAdapter& adapter : adapters) addresses.push_back(adapter.address);
    return addresses;
}

void ReceiveSession::JoinAdaptersLocked(const std::vector<std::uint32_t>& adapters) {
    // A join that fails (an adapter that has just gone, a membership in place) only leaves that
    // adapter to the next look.
    for (const std::uint32_t adapter : adapters) {
        (void)JoinMulticastGroupOn(socket_.get(), groupAddress_, adapter);
    }
}

void ReceiveSession::KeepJoined(bool arrived) {
    const auto now = std::chrono::steady_clock::now();
    if (arrived) lastArrival_ = now;
    const auto check = std::chrono::milliseconds(kAdapterCheckMs);
    const std::uint32_t changes = AdapterChangeCount();
    if (changes == adapterChanges_ && (now - lastArrival_ < check || now - lastJoin_ < check)) {
        return;
    }
    adapterChanges_ = changes;
    lastJoin_ = now;
    // Listed outside the lock: a channel switch that stops this thread does not wait for it.
    const std::vector<std::uint32_t> adapters = AdaptersToJoin();
    ScopedLock lock(socketLock_);
    if (socket_ && state_.load() == ReceiveState::kRunning) JoinAdaptersLocked(adapters);
}

int ReceiveSession::Start(const std::shared_ptr<ReceiveSession>& self) {
    if (!self->buffer_) self->buffer_ = HeapBlock::Allocate(kReceiveBufferSize);
    if (!self->buffer_) return NoMemoryError();
    auto* owner = new (std::nothrow) std::shared_ptr<ReceiveSession>(self);
    if (owner == nullptr) return NoMemoryError();
    const int error = StartDetachedThread(&ThreadBody, owner);
    if (error != 0) delete owner;
    return error;
}

void ReceiveSession::ThreadBody(void* argument) {
    auto* owner = static_cast<std::shared_ptr<ReceiveSession>*>(argument);
    (*owner)->ReceiveLoop();
    delete owner;
}

void ReceiveSession::RequestStop() {
    ScopedLock lock(socketLock_);
    const ReceiveState state = state_.load();
    if (state == ReceiveState::kIdle || state == ReceiveState::kRunning)
        state_.store(ReceiveState::kStopRequested);
    if (!receiving_) socket_.reset();
}

void ReceiveSession::SkipWhenBehind() {
    // The receive thread's own question, between its receives.
    assembler_.SetBacklogProbe([this] {
        ScopedLock lock(socketLock_);
        return socket_ && WaitReadable(socket_.get(), 0) > 0;
    });
}

bool ReceiveSession::socketOpen() const {
    ScopedLock lock(socketLock_);
    return static_cast<bool>(socket_);
}

long ReceiveSession::ReceiveOne() {
    NativeSocket socket;
    {
        ScopedLock lock(socketLock_);
        if (state_.load() != ReceiveState::kRunning || !socket_) return kEndReception;
        receiving_ = true;
        socket = socket_.get();
    }
    // Datagrams come in bursts: take what is there, and wait only when nothing is.
    long length = ReceiveDatagramFrom(socket, buffer_.get(), kReceiveBufferSize, &source_.address,
                                      &source_.port);
    if (length < 0) {
        length = LastErrorWouldBlock() && WaitReadable(socket, kReceiveSliceMs) >= 0
                     ? kSliceEnded
                     : kReceiveFailed;
    }
    ScopedLock lock(socketLock_);
    receiving_ = false;
    return state_.load() == ReceiveState::kRunning ? length : kEndReception;
}

bool ReceiveSession::Rejoin() {
    {
        ScopedLock lock(socketLock_);
        socket_.reset();
    }
    for (;;) {
        for (unsigned waited = 0; waited < kRejoinMs; waited += kReceiveSliceMs) {
            if (state_.load() != ReceiveState::kRunning) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(kReceiveSliceMs));
        }
        ScopedLock lock(socketLock_);
        // RequestStop holds the lock to change the state: no socket is opened after a stop.
        if (state_.load() != ReceiveState::kRunning) return false;
        if (JoinLocked() == 0) return true;
    }
}

void ReceiveSession::ReceiveLoop() {
    bool started = false;
    {
        ScopedLock lock(socketLock_);
        if (state_.load() == ReceiveState::kIdle) {
            state_.store(ReceiveState::kRunning);
            started = true;
        }
    }
    lastArrival_ = lastJoin_ = std::chrono::steady_clock::now();
    while (started) {
        const long length = ReceiveOne();
        if (length == kEndReception) break;
        KeepJoined(length >= 0);
        if (length == kReceiveFailed) {
            if (!Rejoin()) break;
            continue;
        }
        ScreenPacketHeader header;
        const auto size = static_cast<std::size_t>(length);
        if (length == kSliceEnded || !DecodeHeader(buffer_.get(), size, &header)) {
            assembler_.CheckStalled();  // nothing, or another program's datagram
            continue;
        }
        // A status only tells of this datagram; whatever it was, the next picture is awaited.
        (void)assembler_.AcceptFragment(header, buffer_.get(), size, source_);
    }
    ScopedLock lock(socketLock_);
    socket_.reset();
    state_.store(ReceiveState::kEnded);
}

}  // namespace telvo
