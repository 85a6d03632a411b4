// The sender socket: one UDP socket per process, aimed at the multicast group and port of the
// current settings. The broadcast thread sends on it while the settings command may replace it
// on the main thread; a lock makes every replacement whole, so a send uses a socket and the
// destination it was opened for together, and never a socket that has been closed.
#pragma once

#include <cstdint>

#include "sender/Packetizer.h"
#include "sender/SenderSettings.h"

namespace telvo {

// Starts the socket layer if need be (version 1.0), closes the current socket, and opens a new
// one aimed at `group`:`port`, all as one step for a concurrent send. Its datagrams leave through
// the adapter with the IPv4 address `adapter` (network order; 0 or an adapter that is not there:
// the system's choice) and carry the time-to-live `ttl`. Returns 0, or non-zero when the socket
// layer cannot start, the group text does not parse, no socket can be created or the
// time-to-live is refused; then no socket is open. Any thread.
[[nodiscard]] int OpenSenderSocket(const char* group, std::uint16_t port, std::uint32_t adapter = 0,
                                   std::uint32_t ttl = 1);

// The same for the group, channel port, adapter and time-to-live of `settings`, read under the
// socket's lock, so that of two threads opening at once the later always uses the newer settings.
// Any thread.
[[nodiscard]] int OpenSenderSocket(const SenderSettings& settings);

// Whether the open socket sends through the system's choice because the adapter asked for is not
// there: it was missing at the open, or it went away during the broadcast (the send that found it
// gone is then made again through the system's choice). Any thread.
bool SenderAdapterMissing();

// Closes the socket if one is open. Any thread.
void CloseSenderSocket();

// Sends on whatever sender socket is open at each datagram, and pauses with a real sleep.
class SenderSocketSink : public DatagramSink {
  public:
    [[nodiscard]] int Send(const std::uint8_t* datagram, std::size_t length) override;
    void Pause(unsigned ms) override;
};

}  // namespace telvo
