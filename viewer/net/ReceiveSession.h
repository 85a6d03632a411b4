// One receive thread and what it alone touches: its socket, its state word, its reassembly and its
// receive buffer. The thread and the ScreenReceiver share ownership, so a thread that outlives the
// bounded wait of a channel switch (blocked in its synchronous notification, say) still works on
// its own session only: it never receives on the next channel's socket, never overwrites the next
// thread's state and never touches the next channel's reassembly, and the store refuses its
// pictures once the channel has been left.
//
// Stopping: the socket does not block; the thread takes the datagrams that are there and waits for
// more in slices of kReceiveSliceMs, checking for a stop between them. RequestStop closes the
// socket at once when the thread is not inside a receive; otherwise the thread closes it itself
// when its slice ends. The socket is never closed while the thread may still pass its handle to the
// socket layer, so a handle value that the platform reuses for the next channel's socket can never
// be read by an old thread.
//
// Nothing a datagram carries ends reception. A receive that fails (the network adapter went away,
// sleep and resume) closes the socket, and the thread joins the group again on a new one every
// kRejoinMs until that works.
//
// Adapters: the group is joined on every IPv4 adapter that is up (or on the one adapter asked
// for), since the system's own choice is one adapter, often a virtual one. An adapter that goes
// away and comes back loses its membership without any error, so the thread joins again on every
// adapter when the system reports a change and whenever nothing has arrived for kAdapterCheckMs;
// a join already in place costs nothing. A datagram that comes twice, through two adapters, is a
// repeat that the assembly drops.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/HeapBlock.h"
#include "base/Lock.h"
#include "base/NetworkAdapters.h"
#include "base/Socket.h"
#include "viewer/net/PictureAssembler.h"

namespace telvo {

// The receive thread's state word.
enum class ReceiveState : std::uint32_t {
    kIdle,           // joined, thread not yet started
    kStopRequested,  // the thread is asked to end
    kRunning,
    kEnded,  // no receive thread runs
};

inline constexpr unsigned kReceiveSliceMs = 50;
inline constexpr unsigned kRejoinMs = 3000;
inline constexpr unsigned kAdapterCheckMs = 2000;
inline constexpr std::size_t kReceiveBufferSize = 65535;
// Bursts of a whole uncompressed picture (up to hundreds of 32800-byte datagrams) must fit while
// the thread waits on the user interface; the platform's default buffer holds a handful.
inline constexpr int kReceiveBufferBytes = 8 * 1024 * 1024;

// What lists the adapters: ListNetworkAdapters, or a test's stand-in.
using AdapterLister = int (*)(std::vector<NetworkAdapter>* adapters);

class ReceiveSession {
  public:
    // Publishes into `store` while it is still at `generation`.
    ReceiveSession(std::shared_ptr<PictureStore> store, std::uint32_t generation,
                   PictureAssembler::Notifier notify);
    ReceiveSession(const ReceiveSession&) = delete;
    ReceiveSession& operator=(const ReceiveSession&) = delete;

    // Creates the socket, binds it to INADDR_ANY:`port`, asks for a receive buffer of
    // `receiveBufferBytes` (0: the platform's default) and joins `group`. Returns 0 or the socket
    // layer's error code (a group that does not parse gives InvalidArgumentError()). The thread
    // joins the same way again after a failed receive.
    [[nodiscard]] int JoinGroup(const char* group, std::uint16_t port, int receiveBufferBytes);

    // Before JoinGroup: join only on the adapter whose IPv4 address is `adapter` (network order),
    // 0 for every adapter that `list` gives.
    void SetAdapters(std::uint32_t adapter, AdapterLister list) {
        adapter_ = adapter;
        listAdapters_ = list;
    }

    // Called on the receive thread for each picture given up. Before Start.
    void SetLossNotifier(PictureAssembler::LossNotifier notify) {
        assembler_.SetLossNotifier(std::move(notify));
    }
    // Skips pictures for newer ones while datagrams wait: a viewer behind shows the newest.
    // Before Start.
    void SkipWhenBehind();
    // Called on the receive thread when another sender appears on the channel. Before Start.
    void SetSenderNotifier(PictureAssembler::SenderNotifier notify) {
        assembler_.SetSenderNotifier(std::move(notify));
    }

    // Starts the receive thread, which keeps `self` alive. Returns 0 or the system's error code.
    [[nodiscard]] static int Start(const std::shared_ptr<ReceiveSession>& self);

    // Asks the thread to end. Never waits.
    void RequestStop();

    ReceiveState state() const { return state_.load(); }
    bool socketOpen() const;
    std::uint32_t lastPictureNumber() const { return assembler_.lastPictureNumber(); }

  private:
    static void ThreadBody(void* argument);
    void ReceiveLoop();
    [[nodiscard]] int JoinLocked();
    // One datagram into buffer_: its length; kSliceEnded when there was none (after waiting up to
    // a slice for one); kReceiveFailed when the socket failed; kEndReception when a stop was
    // requested.
    static constexpr long kReceiveFailed = -3;
    static constexpr long kSliceEnded = -2;
    static constexpr long kEndReception = -1;
    long ReceiveOne();
    // Waits kRejoinMs, then joins again on a new socket; repeats until that works. False when a
    // stop was requested.
    [[nodiscard]] bool Rejoin();
    // The adapters' addresses to join on: the one asked for, or every one listed, or INADDR_ANY
    // (the system's choice) when they cannot be listed.
    std::vector<std::uint32_t> AdaptersToJoin() const;
    void JoinAdaptersLocked(const std::vector<std::uint32_t>& adapters);
    // Joins again on every adapter when the system reported a change or nothing has arrived for a
    // while. `arrived`: whether the last receive brought a datagram.
    void KeepJoined(bool arrived);

    const std::shared_ptr<PictureStore> store_;  // kept alive for as long as this thread runs
    mutable CriticalSection socketLock_;         // guards socket_ and receiving_
    UniqueSocket socket_;
    bool receiving_ = false;
    std::string group_;
    std::uint16_t port_ = 0;
    int receiveBufferBytes_ = 0;
    std::uint32_t groupAddress_ = 0;
    std::uint32_t adapter_ = 0;
    AdapterLister listAdapters_ = ListNetworkAdapters;
    // The receive thread's own: when it last had a datagram and last joined, what change it saw.
    std::chrono::steady_clock::time_point lastArrival_, lastJoin_;
    std::uint32_t adapterChanges_ = 0;
    std::atomic<ReceiveState> state_{ReceiveState::kIdle};
    PictureAssembler assembler_;
    HeapBlock buffer_;
    DatagramSource source_;  // of the datagram in buffer_
};

}  // namespace telvo
