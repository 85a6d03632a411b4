// Helpers for tests that put datagrams on a network. They run only in the private network namespace
// of tools/test.sh, so that nothing they send can leave this computer.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "base/HeapBlock.h"
#include "base/Socket.h"
#include "protocol/ScreenPacket.h"
#include "sender/Packetizer.h"
#include "tests/TestPicture.h"

namespace telvo::test {

#define TELVO_REQUIRE_TEST_NETWORK()                                                            \
    if (const char* netns = std::getenv("TELVO_TEST_NETNS"); netns == nullptr || *netns != '1') \
    GTEST_SKIP() << "network test, skipped: it sends multicast, which must stay on this "       \
                    "computer; run it inside tools/netns.sh (tools/test.sh does), which gives " \
                    "it a private network namespace"

// Polls `condition` every few milliseconds until it holds or `timeout` runs out.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Sends to the test group's `port` on a socket of its own.
class PortSink : public DatagramSink {
  public:
    explicit PortSink(std::uint16_t port) : socket_(CreateUdpSocket()), port_(port) {
        if (!ParseIPv4(kDefaultGroup, &address_)) std::abort();
    }
    int Send(const std::uint8_t* datagram, std::size_t length) override {
        const long sent = SendDatagramTo(socket_.get(), datagram, length, address_, port_);
        return sent == static_cast<long>(length) ? 0 : LastSocketError();
    }
    void Pause(unsigned ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

  private:
    UniqueSocket socket_;
    std::uint32_t address_ = 0;
    std::uint16_t port_;
};

// Sends `picture` uncompressed to `port` under `*number`, then under the next numbers, until
// `shown()` holds. Each try waits longer: a lost datagram or a loaded machine costs one try.
inline bool SendUntilShown(std::uint16_t port, const std::vector<std::uint8_t>& picture,
                           std::uint32_t* number, const std::function<bool()>& shown) {
    PortSink sink(port);
    for (int attempt = 1; attempt <= 8; ++attempt, ++*number) {
        for (const auto& datagram : Packetize(picture, *number, false)) {
            if (sink.Send(datagram.data(), datagram.size()) != 0) return false;
        }
        if (WaitUntil(shown, std::chrono::milliseconds(500 * attempt))) return true;
    }
    return false;
}

// Hands out the ScreenPackets that arrive on a port of the test group; none if it cannot join.
class ChannelListener {
  public:
    explicit ChannelListener(std::uint16_t port) : socket_(CreateUdpSocket()) {
        std::uint32_t address = 0;
        if (!socket_ || !ParseIPv4(kDefaultGroup, &address) ||
            BindAnyAddress(socket_.get(), port) != 0 ||
            JoinMulticastGroup(socket_.get(), address) != 0 ||
            SetReceiveBufferSize(socket_.get(), 8 * 1024 * 1024) != 0)
            socket_.reset();
    }

    // The next datagram (or next first fragment), waiting up to `timeoutMs` for each one.
    bool Next(ScreenPacketHeader* header, unsigned timeoutMs, bool pictureStart = false,
              std::vector<std::uint8_t>* data = nullptr) {
        while (WaitReadable(socket_.get(), timeoutMs) == 1) {
            const long length = ReceiveDatagramFrom(socket_.get(), buffer_.get(), 65536);
            if (length < static_cast<long>(kHeaderSize) ||
                !DecodeHeader(buffer_.get(), static_cast<std::size_t>(length), header) ||
                (pictureStart && header->fragmentIndex != 0)) {
                continue;
            }
            if (data != nullptr) data->assign(buffer_.get() + kHeaderSize, buffer_.get() + length);
            return true;
        }
        return false;
    }

  private:
    UniqueSocket socket_;
    HeapBlock buffer_ = HeapBlock::Allocate(65536);
};

}  // namespace telvo::test
