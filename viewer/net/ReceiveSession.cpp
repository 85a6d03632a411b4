#include "viewer/net/ReceiveSession.h"

#include <new>
#include <utility>

#include "base/Thread.h"
#include "protocol/ScreenPacket.h"

namespace telvo {

ReceiveSession::ReceiveSession(std::shared_ptr<PictureStore> store, std::uint32_t generation,
                               PictureAssembler::Notifier notify)
    : store_(std::move(store)), assembler_(*store_, generation, std::move(notify)) {}

int ReceiveSession::JoinGroup(const char* group, std::uint16_t port, int receiveBufferBytes) {
    ScopedLock lock(socketLock_);
    socket_ = CreateUdpSocket();
    if (!socket_) return LastSocketError();
    if (const int error = BindAnyAddress(socket_.get(), port); error != 0) return error;
    // A buffer the platform will not enlarge only costs pictures under load; not worth failing for.
    if (receiveBufferBytes > 0) (void)SetReceiveBufferSize(socket_.get(), receiveBufferBytes);
    std::uint32_t address = 0;
    int error = ParseIPv4(group, &address) ? JoinMulticastGroup(socket_.get(), address)
                                           : InvalidArgumentError();
    if (error == 0) error = SetNonBlocking(socket_.get());
    if (error != 0) socket_.reset();
    return error;
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
    const std::uint32_t state = state_.load();
    if (state == kReceiveIdle || state == kReceiveRunning) state_.store(kReceiveStopRequested);
    if (!receiving_) socket_.reset();
}

bool ReceiveSession::socketOpen() const {
    ScopedLock lock(socketLock_);
    return static_cast<bool>(socket_);
}

long ReceiveSession::ReceiveOne() {
    NativeSocket socket;
    {
        ScopedLock lock(socketLock_);
        if (state_.load() != kReceiveRunning || !socket_) return kEndReception;
        receiving_ = true;
        socket = socket_.get();
    }
    // Datagrams come in bursts: take what is there, and wait only when nothing is.
    long length = ReceiveDatagramFrom(socket, buffer_.get(), kReceiveBufferSize);
    if (length < 0) {
        length = LastErrorWouldBlock() && WaitReadable(socket, kReceiveSliceMs) >= 0
                     ? kSliceEnded
                     : kEndReception;
    }
    ScopedLock lock(socketLock_);
    receiving_ = false;
    return state_.load() == kReceiveRunning ? length : kEndReception;
}

void ReceiveSession::ReceiveLoop() {
    bool started = false;
    {
        ScopedLock lock(socketLock_);
        if (state_.load() == kReceiveIdle) {
            state_.store(kReceiveRunning);
            started = true;
        }
    }
    while (started) {
        const long length = ReceiveOne();
        if (length == kSliceEnded) continue;
        if (length == kEndReception) break;
        ScreenPacketHeader header;
        const auto size = static_cast<std::size_t>(length);
        if (!DecodeHeader(buffer_.get(), size, &header)) break;  // not our protocol
        if (!ContinuesReception(assembler_.AcceptFragment(header, buffer_.get(), size))) break;
    }
    ScopedLock lock(socketLock_);
    socket_.reset();
    state_.store(kReceiveEnded);
}

}  // namespace telvo
