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
// one aimed at `group`:`port`, all as one step for a concurrent send. Returns 0, or non-zero when
// the socket layer cannot start, the group text does not parse, or no socket can be created;
// then no socket is open. Any thread.
[[nodiscard]] int OpenSenderSocket(const char* group, std::uint16_t port);

// The same for the group and channel port of `settings`, read under the socket's lock, so that of
// two threads opening at once the later always uses the newer settings. Any thread.
[[nodiscard]] int OpenSenderSocket(const SenderSettings& settings);

// Closes the socket if one is open. Any thread.
void CloseSenderSocket();

// Sends on whatever sender socket is open at each datagram, and pauses with a real sleep.
class SenderSocketSink : public DatagramSink {
  public:
    [[nodiscard]] int Send(const std::uint8_t* datagram, std::size_t length) override;
    void Pause(unsigned ms) override;
};

}  // namespace telvo
