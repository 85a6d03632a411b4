#include "sender/SenderSocket.h"

#include <chrono>
#include <thread>

#include "base/Lock.h"
#include "base/Socket.h"

namespace telvo {
namespace {

struct SenderSocketState {
    CriticalSection lock;  // guards socket and destination as one pair
    UniqueSocket socket;
    std::uint32_t address = 0;
    std::uint16_t port = 0;
};

SenderSocketState& State() {
    static SenderSocketState state;
    return state;
}

// Opens the socket for `group`:`port` with the state's lock held.
int OpenLocked(SenderSocketState& state, const char* group, std::uint16_t port) {
    state.socket.reset();
    std::uint32_t address = 0;
    if (!ParseIPv4(group, &address)) return InvalidArgumentError();
    state.address = address;
    state.port = port;
    state.socket = CreateUdpSocket();
    return state.socket ? 0 : LastSocketError();
}

}  // namespace

int OpenSenderSocket(const char* group, std::uint16_t port) {
    if (const int error = StartSockets(1, 0); error != 0) return error;
    SenderSocketState& state = State();
    ScopedLock lock(state.lock);
    return OpenLocked(state, group, port);
}

int OpenSenderSocket(const SenderSettings& settings) {
    if (const int error = StartSockets(1, 0); error != 0) return error;
    SenderSocketState& state = State();
    ScopedLock lock(state.lock);
    return OpenLocked(state, settings.toAddress,
                      ChannelPort(settings.basePort, settings.channelIndex.load()));
}

void CloseSenderSocket() {
    SenderSocketState& state = State();
    ScopedLock lock(state.lock);
    state.socket.reset();
}

int SenderSocketSink::Send(const std::uint8_t* datagram, std::size_t length) {
    SenderSocketState& state = State();
    ScopedLock lock(state.lock);
    const long sent =
        SendDatagramTo(state.socket.get(), datagram, length, state.address, state.port);
    if (sent == static_cast<long>(length)) return 0;
    // A short send is a failure too, even where the socket layer recorded no error for it.
    const int error = LastSocketError();
    return error != 0 ? error : InvalidArgumentError();
}

void SenderSocketSink::Pause(unsigned ms) {
    if (ms == 0) {
        std::this_thread::yield();
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

}  // namespace telvo
