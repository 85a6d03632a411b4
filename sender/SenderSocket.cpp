#include "sender/SenderSocket.h"

#include <chrono>
#include <thread>

#include "base/Lock.h"
#include "base/NetworkAdapters.h"
#include "base/Socket.h"

namespace telvo {
namespace {

struct SenderSocketState {
    CriticalSection lock;  // guards socket and destination as one pair
    UniqueSocket socket;
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    std::uint32_t adapter = 0;  // asked for; 0: the system's choice
    bool adapterMissing = false;
};

SenderSocketState& State() {
    static SenderSocketState state;
    return state;
}

// Opens the socket for `group`:`port` through `adapter` with `ttl`, with the state's lock held.
int OpenLocked(SenderSocketState& state, const char* group, std::uint16_t port,
               std::uint32_t adapter, std::uint32_t ttl) {
    state.socket.reset();
    state.adapterMissing = false;
    std::uint32_t address = 0;
    if (!ParseIPv4(group, &address)) return InvalidArgumentError();
    state.address = address;
    state.port = port;
    state.adapter = adapter;
    state.socket = CreateUdpSocket();
    if (!state.socket) return LastSocketError();
    // Without this option the platform's time-to-live is 1: nothing crosses a router.
    if (const int error = SetMulticastTimeToLive(state.socket.get(), static_cast<int>(ttl));
        error != 0) {
        state.socket.reset();
        return error;
    }
    if (adapter != 0) {
        state.adapterMissing =
            !AdapterPresent(adapter) || SetMulticastInterface(state.socket.get(), adapter) != 0;
    }
    return 0;
}

}  // namespace

int OpenSenderSocket(const char* group, std::uint16_t port, std::uint32_t adapter,
                     std::uint32_t ttl) {
    if (const int error = StartSockets(1, 0); error != 0) return error;
    SenderSocketState& state = State();
    ScopedLock lock(state.lock);
    return OpenLocked(state, group, port, adapter, ttl);
}

int OpenSenderSocket(const SenderSettings& settings) {
    if (const int error = StartSockets(1, 0); error != 0) return error;
    SenderSocketState& state = State();
    ScopedLock lock(state.lock);
    return OpenLocked(state, settings.toAddress,
                      ChannelPort(settings.basePort, settings.channelIndex.load()),
                      settings.interfaceAddress.load(), settings.ttl.load());
}

bool SenderAdapterMissing() {
    SenderSocketState& state = State();
    ScopedLock lock(state.lock);
    return state.adapterMissing;
}

void CloseSenderSocket() {
    SenderSocketState& state = State();
    ScopedLock lock(state.lock);
    state.socket.reset();
    state.adapterMissing = false;
}

int SenderSocketSink::Send(const std::uint8_t* datagram, std::size_t length) {
    SenderSocketState& state = State();
    ScopedLock lock(state.lock);
    long sent = SendDatagramTo(state.socket.get(), datagram, length, state.address, state.port);
    // The adapter asked for went away (Wi-Fi dropped, a cable pulled): go on through the system's
    // choice rather than end the broadcast.
    if (sent != static_cast<long>(length) && state.socket && state.adapter != 0 &&
        !state.adapterMissing && !AdapterPresent(state.adapter)) {
        state.adapterMissing = true;
        if (SetMulticastInterface(state.socket.get(), 0) == 0) {
            sent = SendDatagramTo(state.socket.get(), datagram, length, state.address, state.port);
        }
    }
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
