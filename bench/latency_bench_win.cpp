// The lag a viewer sees, run under Wine on the whole desktop: a small window at the top left shows
// a code that changes every few milliseconds (a running number as black and white blocks, and its
// complement below), the real TelvoServer captures the desktop and the real TelvoClient shows it
// on the same desktop. A probe reads the viewer's painted pixels where the code appears and times
// each new number from its paint in the code window to its paint in the viewer. Prints
//   latency <width>x<height> interval <ms>: median M ms, p95 P ms
// Usage: latency_bench [--interval MS] [--seconds S] [--server TelvoServer.exe] [--client
//        TelvoClient.exe] (the programs of another build)
//        latency_bench --scene S [--moving 1] [--server none]   the frame-rate scene instead: a
//        viewer over the whole screen showing a page of text, TelvoServer broadcasting it on
//        channel 1 at interval 0 for S seconds, for a receiver of its own to count; with --moving,
//        a bar the height of the screen crosses it, so that no two pictures share a chunk.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "base/Socket.h"
#include "bench/Seconds_win.h"
#include "sender/Packetizer.h"
#include "sender/SenderSocket.h"
#include "sender/TrayApp_win.h"
#include "sender/res/resource.h"
#include "tests/TestPicture.h"
#include "tests/win/ProgramDriver.h"
#include "win/WinHandles.h"

namespace telvo {
namespace {

constexpr int kBits = 16, kBlock = 32;  // the code: kBits columns, two rows of kBlock pixels
constexpr DWORD kWaitMs = 60000;
constexpr double kCodeStepSeconds = 0.004;

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

// A topmost popup of a class of its own that only erases itself with `background`.
HWND CreatePopup(const wchar_t* className, HBRUSH background, DWORD extendedStyle, int width,
                 int height) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = className;
    RegisterClassW(&windowClass);
    return CreateWindowExW(WS_EX_TOPMOST | extendedStyle, className, L"", WS_POPUP | WS_VISIBLE, 0,
                           0, width, height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

// The window that shows the code; painted directly, never through WM_PAINT.
class CodeWindow {
  public:
    CodeWindow() : window_(CreatePopup(L"LatencyCode", nullptr, 0, kBits * kBlock, 2 * kBlock)) {}
    ~CodeWindow() { DestroyWindow(window_); }

    // All blocks in one colour: what the probe looks for to find the code in the viewer.
    void ShowMarker() {
        HDC dc = GetDC(window_);
        RECT all{0, 0, kBits * kBlock, 2 * kBlock};
        SetDCBrushColor(dc, RGB(255, 0, 0));
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        ReleaseDC(window_, dc);
        GdiFlush();
    }
    // The top row first, then the bottom one: a picture taken halfway reads as no code at all.
    void Show(std::uint16_t code) {
        HDC dc = GetDC(window_);
        for (int row = 0; row < 2; ++row) {
            for (int bit = 0; bit < kBits; ++bit) {
                const bool white = (((code >> bit) & 1) != 0) == (row == 0);
                RECT block{bit * kBlock, row * kBlock, (bit + 1) * kBlock, (row + 1) * kBlock};
                FillRect(dc, &block,
                         static_cast<HBRUSH>(GetStockObject(white ? WHITE_BRUSH : BLACK_BRUSH)));
            }
        }
        ReleaseDC(window_, dc);
        GdiFlush();
    }

  private:
    HWND window_ = nullptr;
};

// Reads a rectangle of the screen, 32-bit, top row first.
class ScreenArea {
  public:
    explicit ScreenArea(RECT area) : area_(area), screen_(nullptr, WindowDc::Area::kClient) {
        memory_ = UniqueMemoryDc(CreateCompatibleDC(screen_.get()));
        BITMAPINFO info{{sizeof info.bmiHeader, width(), -height(), 1, 32}};
        void* bits = nullptr;
        section_ = UniqueGdiObject(
            CreateDIBSection(screen_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        bits_ = static_cast<const std::uint32_t*>(bits);
        SelectObject(memory_.get(), section_.get());
    }
    bool Read() {
        if (bits_ == nullptr) return false;
        const bool ok = BitBlt(memory_.get(), 0, 0, width(), height(), screen_.get(), area_.left,
                               area_.top, SRCCOPY) != FALSE;
        GdiFlush();
        return ok;
    }
    std::uint32_t at(int x, int y) const { return bits_[y * width() + x]; }  // 0x00RRGGBB
    int width() const { return area_.right - area_.left; }
    int height() const { return area_.bottom - area_.top; }

  private:
    RECT area_;
    WindowDc screen_;
    UniqueMemoryDc memory_;
    UniqueGdiObject section_;
    const std::uint32_t* bits_ = nullptr;
};

bool IsMarker(std::uint32_t p) {
    return ((p >> 16) & 0xFF) > 200 && ((p >> 8) & 0xFF) < 60 && (p & 0xFF) < 60;
}

// Where the code window appears on the screen inside `view`: the first block of marker colour
// from the top left (the picture of the viewer inside the viewer shows it smaller further down).
bool FindMarker(HWND view, RECT* found) {
    RECT client{};
    GetClientRect(view, &client);
    POINT origin{0, 0};
    ClientToScreen(view, &origin);
    ScreenArea area({origin.x, origin.y, origin.x + client.right, origin.y + client.bottom});
    if (!area.Read()) return false;
    for (int y = 0; y < area.height(); ++y) {
        for (int x = 0; x < area.width(); ++x) {
            if (!IsMarker(area.at(x, y))) continue;
            int right = x, bottom = y;
            while (right < area.width() && IsMarker(area.at(right, y))) ++right;
            while (bottom < area.height() && IsMarker(area.at(x, bottom))) ++bottom;
            if (right - x < kBits * 2 || bottom - y < 4) return false;  // too small to read
            *found = {origin.x + x, origin.y + y, origin.x + right, origin.y + bottom};
            return true;
        }
    }
    return false;
}

// The code the viewer shows in `area`, or -1 while it shows none whole (say, half painted).
int ReadCode(const ScreenArea& area) {
    const auto bright = [&](double column, double row) {
        const std::uint32_t p = area.at(static_cast<int>(column * area.width() / kBits),
                                        static_cast<int>(row * area.height() / 2));
        return ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) > 3 * 128;
    };
    int code = 0;
    for (int bit = 0; bit < kBits; ++bit) {
        const bool top = bright(bit + 0.5, 0.5), bottom = bright(bit + 0.5, 1.5);
        if (top == bottom) return -1;
        if (top) code |= 1 << bit;
    }
    return code;
}

// A black bar the height of the screen that crosses it a few pixels every 10 ms.
class MovingBar {
  public:
    MovingBar()
        : window_(CreatePopup(L"MovingBar", static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)),
                              WS_EX_NOACTIVATE, 4, GetSystemMetrics(SM_CYSCREEN))) {}
    ~MovingBar() { DestroyWindow(window_); }
    void Step() {
        if (Seconds() < next_) return;
        next_ = Seconds() + 0.010;
        x_ = (x_ + 7) % GetSystemMetrics(SM_CXSCREEN);
        SetWindowPos(window_, nullptr, x_, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

  private:
    HWND window_ = nullptr;
    int x_ = 0;
    double next_ = 0;
};

struct Programs {
    test::Program server, client;
    HWND serverWindow = nullptr, frame = nullptr, view = nullptr;
};

std::wstring gServer = TELVO_SERVER_EXE;
std::wstring gClient = TELVO_CLIENT_EXE;

bool StartPrograms(Programs& programs, unsigned interval, int clientChannel) {
    const std::wstring serverFolder = test::MakeFreshFolder(L"latency-server");
    const std::wstring clientFolder = test::MakeFreshFolder(L"latency-client");
    const std::string serverIni = "[TelvoServer]\r\nCaptureInterval=" + std::to_string(interval) +
                                  "\r\nCompress=1\r\nChannel=1\r\n";
    const std::string clientIni = "[TelvoClient]\r\nChannel=" + std::to_string(clientChannel) +
                                  "\r\nToAddress=224.3.2.1\r\nBasePort=54321\r\n";
    if ((gServer != L"none" && test::CopyInto(gServer, serverFolder).empty()) ||
        test::CopyInto(gClient, clientFolder).empty() ||
        !test::WriteFileBytes(serverFolder + L"\\TelvoServer.ini", serverIni) ||
        !test::WriteFileBytes(clientFolder + L"\\TelvoClient.ini", clientIni)) {
        return false;
    }
    if (!programs.client.Start(clientFolder + L"\\TelvoClient.exe", clientFolder)) return false;
    programs.frame = test::WaitForWindow(programs.client.id, L"CMainFrame", nullptr, kWaitMs, true);
    if (programs.frame == nullptr) return false;
    programs.view = FindWindowExW(programs.frame, nullptr, L"CScreenView", nullptr);
    if (gServer == L"none") return programs.view != nullptr;

    if (!programs.server.Start(serverFolder + L"\\TelvoServer.exe", serverFolder)) return false;
    const HWND dialog = test::WaitForDialog(programs.server.id, L"配信設定", kWaitMs);
    if (dialog == nullptr) return false;
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    test::WaitForWindowGone(dialog, kWaitMs);
    programs.serverWindow =
        test::WaitForWindow(programs.server.id, kSenderWindowClass, kSenderCaption, kWaitMs);
    return programs.view != nullptr && programs.serverWindow != nullptr;
}

void StartBroadcast(const Programs& programs) {
    PostMessageW(programs.serverWindow, WM_COMMAND, ID_START, 0);  // a no-op when it broadcasts
}

int Latency(unsigned interval, double seconds) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    CodeWindow code;
    code.ShowMarker();
    Programs programs;
    if (!StartPrograms(programs, interval, 1)) {
        std::printf("the programs did not start\n");
        return 1;
    }
    // The viewer under the code window, showing the whole desktop (itself included).
    SetWindowPos(programs.frame, HWND_NOTOPMOST, 0, 2 * kBlock + 8, width, height - 2 * kBlock - 8,
                 SWP_SHOWWINDOW);
    StartBroadcast(programs);
    RECT where{};
    if (!test::PumpUntil([&] { return FindMarker(programs.view, &where); },
                         std::chrono::milliseconds(kWaitMs))) {
        std::printf("the code never appeared in the viewer\n");
        return 1;
    }

    ScreenArea area(where);
    std::vector<double> shownAt(1, Seconds()), lags;
    int lastSeen = -1;
    const double start = Seconds();
    double nextStep = start;
    while (Seconds() - start < seconds && shownAt.size() < 65536) {
        Pump();
        if (Seconds() >= nextStep) {
            code.Show(static_cast<std::uint16_t>(shownAt.size()));
            shownAt.push_back(Seconds());
            nextStep += kCodeStepSeconds;
        }
        if (area.Read()) {
            const int seen = ReadCode(area);
            if (seen > lastSeen && seen < static_cast<int>(shownAt.size())) {
                if (seen > 0) lags.push_back(Seconds() - shownAt[seen]);
                lastSeen = seen;
            }
        }
        Sleep(1);
    }
    PostMessageW(programs.serverWindow, WM_COMMAND, ID_EXIT, 0);
    if (lags.size() < 3) {
        std::printf("latency %dx%d interval %u: too few pictures (%zu)\n", width, height, interval,
                    lags.size());
        return 1;
    }
    std::sort(lags.begin(), lags.end());
    std::printf("latency %dx%d interval %u: median %.0f ms, p95 %.0f ms (%zu pictures)\n", width,
                height, interval, lags[lags.size() / 2] * 1e3, lags[lags.size() * 95 / 100] * 1e3,
                lags.size());
    return 0;
}

// The frame-rate scene: the viewer over the whole screen shows a page of text sent to it on
// channel 2, and TelvoServer broadcasts that screen on channel 1 at interval 0.
int Scene(double seconds, bool moving) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    Programs programs;
    if (StartSockets(1, 1) != 0 || OpenSenderSocket("224.3.2.1", 54322) != 0 ||
        !StartPrograms(programs, 0, 2)) {
        std::printf("the scene could not be set up\n");
        return 1;
    }
    SetWindowPos(programs.frame, HWND_TOP, 0, 0, width, height, SWP_SHOWWINDOW);
    const auto page = test::MakeDesktopPicture(static_cast<std::uint32_t>(width),
                                               static_cast<std::uint32_t>(height), 3);
    SenderSocketSink sink;
    for (std::uint32_t number = 0; number < 3; ++number) {  // one may be lost
        (void)SendPicture(sink, page.data(), static_cast<std::uint32_t>(page.size()), number, 0, 0,
                          true);
        Sleep(200);
    }
    StartBroadcast(programs);
    std::printf("broadcasting on channel 1 for %.0f s%s\n", seconds,
                moving ? ", a bar moving" : "");
    std::fflush(stdout);
    std::optional<MovingBar> bar;
    if (moving) bar.emplace();
    test::PumpUntil(
        [&] {
            if (bar) bar->Step();
            return false;
        },
        std::chrono::milliseconds(static_cast<long long>(seconds * 1000)));
    PostMessageW(programs.serverWindow, WM_COMMAND, ID_EXIT, 0);
    return 0;
}

}  // namespace
}  // namespace telvo

int wmain(int argc, wchar_t** argv) {
    unsigned interval = 0;
    double seconds = 20, scene = 0;
    bool moving = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::wstring option = argv[i];
        if (option == L"--interval") interval = static_cast<unsigned>(_wtoi(argv[i + 1]));
        if (option == L"--seconds") seconds = _wtof(argv[i + 1]);
        if (option == L"--scene") scene = _wtof(argv[i + 1]);
        if (option == L"--moving") moving = _wtoi(argv[i + 1]) != 0;
        if (option == L"--server") telvo::gServer = argv[i + 1];
        if (option == L"--client") telvo::gClient = argv[i + 1];
    }
    return scene > 0 ? telvo::Scene(scene, moving) : telvo::Latency(interval, seconds);
}
