// The whole broadcast at capture interval 0, run under Wine: the real desktop capture, compression
// and sender socket, and a receiver in the same process on the same channel over multicast
// loopback. Prints pictures per second; the time of a picture split into capture, compress2 (the
// bare call on the same picture, measured in the same run) and sending; the capture into a kept
// surface against the capture as it was (a new bitmap read out into a cleared buffer); the loop's
// overhead besides capture and compress2 as a share of a picture's time (target under 5 %); and the
// share of pictures that arrive complete (target at least 99 %), with the viewer's 8 MiB receive
// buffer and with the platform's default.
#include <windows.h>
#include <zlib.h>

#include <atomic>
#include <cstdio>
#include <vector>

#include "base/Socket.h"
#include "bench/Seconds_win.h"
#include "protocol/ScreenBitmap.h"
#include "sender/DesktopBroadcastHost_win.h"
#include "sender/ScreenCapture_win.h"
#include "viewer/net/ScreenReceiver.h"
#include "win/WinHandles.h"

namespace telvo {
namespace {

class TimedSink : public DatagramSink {
  public:
    int Send(const std::uint8_t* datagram, std::size_t length) override {
        const double start = Seconds();
        const int result = socket_.Send(datagram, length);
        seconds += Seconds() - start;
        return result;
    }
    void Pause(unsigned ms) override {
        const double start = Seconds();
        socket_.Pause(ms);
        seconds += Seconds() - start;
    }
    double seconds = 0;

  private:
    SenderSocketSink socket_;
};

class TimedHost : public DesktopBroadcastHost {
  public:
    explicit TimedHost(const SenderSettings& settings)
        : DesktopBroadcastHost(settings, ListMonitors, nullptr, nullptr) {}
    const std::uint8_t* CaptureScreen(std::uint32_t* length) override {
        const double start = Seconds();
        const std::uint8_t* picture = DesktopBroadcastHost::CaptureScreen(length);
        captureSeconds += Seconds() - start;
        if (picture != nullptr) last.assign(picture, picture + *length);
        return picture;
    }
    DatagramSink& Sink() override { return sink; }
    double captureSeconds = 0;
    TimedSink sink;
    std::vector<std::uint8_t> last;
};

double Compress2Seconds(const std::vector<std::uint8_t>& picture) {
    std::vector<std::uint8_t> out(picture.size());
    const int rounds = 5;
    const double start = Seconds();
    for (int i = 0; i < rounds; ++i) {
        uLongf length = out.size();
        compress2(out.data(), &length, picture.data(), picture.size(), Z_DEFAULT_COMPRESSION);
    }
    return (Seconds() - start) / rounds;
}

// The capture as it was: a new compatible bitmap per picture, read out with GetDIBits into a
// cleared heap buffer of the picture's size.
bool CaptureAsBefore(const RECT& area, std::vector<std::uint8_t>& buffer) {
    const long width = area.right - area.left, height = area.bottom - area.top;
    const WindowDc screenDc(nullptr, WindowDc::Area::kClient);
    const UniqueMemoryDc memoryDc(CreateCompatibleDC(screenDc.get()));
    const UniqueGdiObject bitmap(CreateCompatibleBitmap(screenDc.get(), width, height));
    if (!memoryDc || !bitmap) return false;
    buffer.assign(
        NeededLength(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)), 0);
    WriteBitmapHeaders(buffer.data(), static_cast<std::uint32_t>(width),
                       static_cast<std::uint32_t>(height));
    {
        const SelectedObject selected(memoryDc.get(), bitmap.get());
        if (!BitBlt(memoryDc.get(), 0, 0, width, height, screenDc.get(), area.left, area.top,
                    SRCCOPY)) {
            return false;
        }
    }
    return GetDIBits(screenDc.get(), static_cast<HBITMAP>(bitmap.get()), 0,
                     static_cast<UINT>(height), buffer.data() + kBitmapHeadersSize,
                     reinterpret_cast<BITMAPINFO*>(buffer.data() + kInfoHeaderOffset),
                     DIB_RGB_COLORS) != 0;
}

// The capture into a kept surface against the capture as it was, alternating, on the whole screen.
void CompareCaptures() {
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    CaptureSurface surface;
    std::vector<std::uint8_t> buffer;
    double before = 0, after = 0;
    const int rounds = 40;
    for (int i = 0; i < rounds; ++i) {
        double start = Seconds();
        const bool old = CaptureAsBefore(screen, buffer);
        before += Seconds() - start;
        start = Seconds();
        const bool kept = CaptureScreenArea(screen, surface);
        after += Seconds() - start;
        if (!old || !kept) {
            std::printf("a capture failed\n");
            return;
        }
    }
    std::printf("capture into a kept surface %5.1f ms = %5.3f x the capture as it was (%5.1f ms)\n",
                after / rounds * 1e3, after / before, before / rounds * 1e3);
}

// receiveBuffer: the receiver's buffer (0: the platform's default), or -1 for no receiver.
void Run(bool compress, int receiveBuffer, std::uint16_t basePort, double runSeconds) {
    SenderSettings settings;
    settings.captureInterval = 0;
    settings.compress = compress ? 1 : 0;
    settings.basePort = basePort;

    std::atomic<std::uint32_t> completed{0};
    ScreenReceiver receiver;
    receiver.SetReceiveBufferBytes(receiveBuffer);
    if (receiveBuffer >= 0 && receiver.OpenChannel([&](const CompletedPicture&) { ++completed; }, 0,
                                                   settings.toAddress, basePort) != 0) {
        std::printf("the receiver cannot join\n");
        return;
    }
    TimedHost host(settings);
    Broadcaster broadcaster(settings, host);
    const double start = Seconds();
    (void)broadcaster.Start();
    Sleep(static_cast<DWORD>(runSeconds * 1000));
    broadcaster.Stop();
    while (broadcaster.threadRunning()) Sleep(5);
    const double elapsed = Seconds() - start;
    Sleep(500);  // the last picture's datagrams still in flight

    const std::uint32_t pictures = broadcaster.pictureCounter();
    if (pictures == 0) return;
    const double picture = elapsed / pictures, capture = host.captureSeconds / pictures;
    const double send = host.sink.seconds / pictures;
    const double compression = compress ? Compress2Seconds(host.last) : 0;
    const double overhead = picture - capture - compression;
    std::printf(
        "%-12s %-24s %5.1f pictures/s; a picture %6.1f ms = capture %5.1f + compress2 %5.1f"
        " + overhead %5.1f ms (%4.1f %%, of which sending %5.1f ms)",
        compress ? "compressed" : "uncompressed",
        receiveBuffer < 0   ? "no receiver"
        : receiveBuffer > 0 ? "receiver, 8 MiB buffer"
                            : "receiver, default buffer",
        pictures / elapsed, picture * 1e3, capture * 1e3, compression * 1e3, overhead * 1e3,
        100 * overhead / picture, send * 1e3);
    if (receiveBuffer >= 0) {
        std::printf("; complete %u / %u = %5.1f %%", completed.load(), pictures,
                    100.0 * completed.load() / pictures);
    }
    std::printf("\n");
    std::fflush(stdout);
}

}  // namespace
}  // namespace telvo

int main() {
    using namespace telvo;
    if (StartSockets(1, 1) != 0) return 1;
    std::printf("screen %d x %d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    CompareCaptures();
    std::uint16_t port = 47700;
    for (const bool compress : {true, false}) {
        for (const int buffer : {-1, kReceiveBufferBytes, 0})
            Run(compress, buffer, port += 10, 8.0);
    }
    return 0;
}
