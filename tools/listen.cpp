// telvo_listen: joins a channel and prints one line per picture, for measuring what a network
// delivers. Usage:
//   telvo_listen [--channel 1-5] [--group 224.3.2.1] [--base-port 54321] [--count N] [--seconds S]
//                [--save-dir FOLDER] [--interface ADDRESS]
// A picture that completed begins its line with "No.<number>", tells its sender as "from
// <address>:<port>" and ends with "by itself" or "reused <n>" (fragments taken from earlier
// pictures); one that never completed prints "lost No.<number> <seen>/<count> fragments". A
// datagram from a sender other than the one followed prints "another sender <address>:<port>",
// once each time that other sender changes. At the end, the share of pictures completed.
// Ends after N completed pictures (exit 0) or S seconds (exit 0 if no count was asked, else 1).
// With --save-dir, each picture is also written there as it arrived, as "No.<number>.bmp".
// It joins the group on every network adapter that is up (a line after the first names them), or
// with --interface only on the adapter with that IPv4 address, and joins again when adapters come
// and go, as the viewer does.
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "base/NetworkAdapters.h"
#include "base/Socket.h"
#include "protocol/ScreenPacket.h"
#include "tools/CommandLine.h"
#include "viewer/net/ScreenReceiver.h"

namespace {

// Interrupted or terminated, the tool still prints its summary.
volatile std::sig_atomic_t gStopRequested = 0;

void RequestStop(int) {
    gStopRequested = 1;
}

using Clock = std::chrono::system_clock;

std::string SourceText(const telvo::DatagramSource& source) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&source.address);  // network order
    return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." +
           std::to_string(bytes[2]) + "." + std::to_string(bytes[3]) + ":" +
           std::to_string(source.port);
}

void PrintPicture(const telvo::CompletedPicture& picture, Clock::time_point now,
                  Clock::time_point previous) {
    const std::time_t seconds = Clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch());
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    const double gap = std::chrono::duration<double>(now - previous).count();
    std::printf("No.%u %u bytes %u fragments %s from %s %02d:%02d:%02d.%03d +%.3f s ",
                picture.number, picture.size, picture.fragments,
                picture.compressed ? "compressed" : "uncompressed",
                SourceText(picture.source).c_str(), local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(ms.count() % 1000), gap);
    if (picture.reused == 0) {
        std::printf("by itself\n");
    } else {
        std::printf("reused %u\n", picture.reused);
    }
    std::fflush(stdout);
}

void SavePicture(const telvo::ScreenReceiver& receiver, const std::string& folder,
                 std::uint32_t number) {
    telvo::ImageReader image(receiver.store());
    if (image.bytes() == nullptr) return;
    std::ofstream file(folder + "/No." + std::to_string(number) + ".bmp", std::ios::binary);
    file.write(reinterpret_cast<const char*>(image.bytes()), image.size());
}

// The adapters joined at the start; adapters that come later are joined too.
void PrintAdapters(std::uint32_t only) {
    std::vector<telvo::NetworkAdapter> adapters;
    if (only == 0 && telvo::ListNetworkAdapters(&adapters) != 0) return;
    if (only != 0) adapters.push_back({L"", only});
    std::printf(only != 0 ? "on adapter" : "on every adapter:");
    for (const telvo::NetworkAdapter& adapter : adapters) {
        std::string name;
        for (const wchar_t c : adapter.name) name += c < 0x80 ? static_cast<char>(c) : '?';
        const std::wstring address = telvo::AddressText(adapter.address);
        std::printf(" %s%s%s", name.c_str(), name.empty() ? "" : " ",
                    std::string(address.begin(), address.end()).c_str());
    }
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    using namespace telvo;
    const CommandLine options(argc, argv);
    bool ok = true;
    const ChannelAddress channel = options.Channel(&ok);
    const auto count = options.Number("count", 0, 0, 1000000000, &ok);
    const auto seconds = options.Number("seconds", 0, 0, 100000000, &ok);
    const std::string saveFolder = options.Text("save-dir", "");
    const std::string adapter = options.Text("interface", "");
    std::uint32_t adapterAddress = 0;
    if (!adapter.empty() && !ParseIPv4(adapter.c_str(), &adapterAddress)) {
        std::fprintf(stderr, "--interface: %s is no IPv4 address\n", adapter.c_str());
        ok = false;
    }
    if (!ok || !options.OnlyKnownOptions()) return 2;
    std::signal(SIGINT, &RequestStop);
    std::signal(SIGTERM, &RequestStop);
    if (const int error = StartSockets(1, 1); error != 0) {
        std::fprintf(stderr, "the socket layer did not start: %d\n", error);
        return 1;
    }

    std::mutex mutex;
    std::condition_variable arrived;
    std::int64_t pictures = 0;
    std::int64_t reused = 0;
    std::int64_t lost = 0;
    Clock::time_point previous = Clock::now();
    ScreenReceiver receiver;
    receiver.SetAdapters(adapter);
    receiver.SetLossNotifier([&](const LostPicture& picture) {
        std::lock_guard<std::mutex> lock(mutex);
        std::printf("lost No.%u %u/%u fragments\n", picture.number, picture.fragmentsSeen,
                    picture.fragments);
        std::fflush(stdout);
        ++lost;
    });
    receiver.SetSenderNotifier([&](const DatagramSource& source) {
        std::lock_guard<std::mutex> lock(mutex);
        std::printf("another sender %s\n", SourceText(source).c_str());
        std::fflush(stdout);
    });
    const int error = receiver.OpenChannel(
        [&](const CompletedPicture& picture) {
            std::lock_guard<std::mutex> lock(mutex);
            const Clock::time_point now = Clock::now();
            PrintPicture(picture, now, previous);
            if (!saveFolder.empty()) SavePicture(receiver, saveFolder, picture.number);
            previous = now;
            ++pictures;
            if (picture.reused > 0) ++reused;
            arrived.notify_all();
        },
        channel.channelIndex, channel.group.c_str(), channel.basePort);
    if (error != 0) {
        std::fprintf(stderr, "cannot receive channel %u of %s: error %d\n",
                     channel.channelIndex + 1, channel.group.c_str(), error);
        return 1;
    }
    std::printf("listening on %s port %u (channel %u)\n", channel.group.c_str(),
                ChannelPort(channel.basePort, channel.channelIndex), channel.channelIndex + 1);
    PrintAdapters(adapterAddress);
    std::fflush(stdout);

    std::unique_lock<std::mutex> lock(mutex);
    const auto done = [&] { return count > 0 && pictures >= count; };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done() && gStopRequested == 0 &&
           (seconds == 0 || std::chrono::steady_clock::now() < deadline)) {
        arrived.wait_for(lock, std::chrono::milliseconds(200));
    }
    const std::int64_t seen = pictures + lost;
    std::printf("completed %lld of %lld pictures (%.1f%%), %lld of them with reused fragments\n",
                static_cast<long long>(pictures), static_cast<long long>(seen),
                seen > 0 ? 100.0 * static_cast<double>(pictures) / static_cast<double>(seen) : 0.0,
                static_cast<long long>(reused));
    return count == 0 || pictures >= count ? 0 : 1;
}
