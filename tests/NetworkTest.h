// Helpers for tests that put datagrams on a network. They run only inside the private network
// namespace that tools/test.sh makes (loopback only, multicast routed to it), so that nothing
// they send can leave this computer.
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

#define TELVO_REQUIRE_TEST_NETWORK()                                                   \
    do {                                                                               \
        const char* netns = std::getenv("TELVO_TEST_NETNS");                           \
        if (netns == nullptr || netns[0] != '1') {                                     \
            GTEST_SKIP() << "network test: run it through tools/test.sh, which gives " \
                            "it a private network namespace";                          \
        }                                                                              \
    } while (0)

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

// Sends to one group and port on a socket of its own.
class PortSink : public DatagramSink {
  public:
    PortSink(const char* group, std::uint16_t port) : socket_(CreateUdpSocket()), port_(port) {
        if (!ParseIPv4(group, &address_)) std::abort();
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

// Sends the datagrams as they stand to the test group's `port`. False when a send failed.
inline bool SendDatagrams(std::uint16_t port,
                          const std::vector<std::vector<std::uint8_t>>& datagrams) {
    PortSink sink(kDefaultGroup, port);
    for (const auto& datagram : datagrams) {
        if (sink.Send(datagram.data(), datagram.size()) != 0) return false;
    }
    return true;
}

// Sends `picture` uncompressed to `port` under `*number`, then under the next numbers, until
// `shown()` holds. Each try waits longer: a lost datagram or a loaded machine costs one try.
inline bool SendUntilShown(std::uint16_t port, const std::vector<std::uint8_t>& picture,
                           std::uint32_t* number, const std::function<bool()>& shown) {
    for (int attempt = 1; attempt <= 8; ++attempt, ++*number) {
        if (!SendDatagrams(port, Packetize(picture, *number, false))) return false;
        if (WaitUntil(shown, std::chrono::milliseconds(500 * attempt))) return true;
    }
    return false;
}

// Joins a group on a port and hands out the headers of the datagrams that arrive there.
class ChannelListener {
  public:
    ChannelListener(const char* group, std::uint16_t port)
        : socket_(CreateUdpSocket()), buffer_(HeapBlock::Allocate(65536)) {
        std::uint32_t address = 0;
        ok_ = socket_ && ParseIPv4(group, &address) && BindAnyAddress(socket_.get(), port) == 0 &&
              JoinMulticastGroup(socket_.get(), address) == 0 &&
              SetReceiveBufferSize(socket_.get(), 8 * 1024 * 1024) == 0;
    }
    bool ok() const { return ok_; }

    // The data bytes of the datagram that Next last returned.
    std::vector<std::uint8_t> LastData() const {
        return std::vector<std::uint8_t>(buffer_.get() + kHeaderSize, buffer_.get() + length_);
    }

    // The next datagram that is a ScreenPacket, waiting up to `timeoutMs` for it.
    bool Next(ScreenPacketHeader* header, unsigned timeoutMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 ||
                WaitReadable(socket_.get(), static_cast<unsigned>(left.count())) != 1) {
                return false;
            }
            const long length = ReceiveDatagramFrom(socket_.get(), buffer_.get(), 65536);
            if (length >= static_cast<long>(kHeaderSize) &&
                DecodeHeader(buffer_.get(), static_cast<std::size_t>(length), header)) {
                length_ = static_cast<std::size_t>(length);
                return true;
            }
        }
    }

    // The first fragment of the next picture that begins to arrive.
    bool NextPicture(ScreenPacketHeader* header, unsigned timeoutMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (!Next(header, static_cast<unsigned>(left.count()))) return false;
            if (header->fragmentIndex == 0) return true;
        }
        return false;
    }

  private:
    UniqueSocket socket_;
    HeapBlock buffer_;
    std::size_t length_ = kHeaderSize;
    bool ok_ = false;
};

}  // namespace telvo::test
