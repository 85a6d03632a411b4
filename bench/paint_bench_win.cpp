// How long the view takes to show a new picture: from its publication to the end of its paint
// (OnPictureArrived, UpdateWindow included), for a 1920 x 1080 picture in a 960 x 540 view, in
// each view mode, against one bare StretchDIBits of the same picture to the same size, measured in
// the same run. The picture arrives over multicast loopback: tools/bench.sh runs it in a private
// network namespace under Wine.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/Socket.h"
#include "protocol/ScreenBitmap.h"
#include "tests/TestPicture.h"
#include "tests/viewer/ViewerTestSupport_win.h"
#include "tests/win/ProgramDriver.h"
#include "viewer/app/MainFrame_win.h"
#include "viewer/app/ViewerApp_win.h"
#include "viewer/res/resource.h"

namespace {

using namespace telvo;

constexpr int kRounds = 40;

double Now() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Median milliseconds of `rounds` runs of `work`.
template <typename Work>
double Median(Work work) {
    std::vector<double> times;
    for (int i = 0; i < kRounds; ++i) {
        const double start = Now();
        work();
        times.push_back(Now() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double BareStretchDIBits(HWND view, const ScreenReceiver& receiver) {
    const WindowDc dc(view, WindowDc::Area::kClient);
    const ImageReader image(receiver.store());
    BitmapLayout layout;
    if (!DescribeBitmap(image.bytes(), image.size(), &layout)) return 0;
    const auto* info = reinterpret_cast<const BITMAPINFO*>(image.bytes() + kInfoHeaderOffset);
    return Median([&] {
        StretchDIBits(dc.get(), 0, 0, 960, 540, 0, 0, layout.width, layout.height,
                      image.bytes() + layout.pixelOffset, info, DIB_RGB_COLORS, SRCCOPY);
        GdiFlush();
    });
}

}  // namespace

int main() {
    if (StartSockets(1, 1) != 0) return 1;
    const std::wstring folder = test::MakeFreshFolder(L"paint-bench");
    ViewerSettings& settings = TheApp().settings();
    settings.iniPath = folder + L"\\TelvoClient.ini";
    settings.basePort = 48500;
    CMainFrame frame(TheApp());
    if (!frame.Create()) return 1;
    ShowWindow(frame.hwnd(), SW_SHOW);
    const HWND view = frame.view().hwnd();
    if (!test::SizeClientArea(frame.hwnd(), view, 960, 540)) {
        std::fprintf(stderr, "cannot size the view to 960 x 540\n");
        return 1;
    }
    const ScreenReceiver& receiver = frame.view().receiver();
    auto hasPicture = [&] {
        const ImageReader image(receiver.store());
        return image.bytes() != nullptr;
    };
    std::uint32_t number = 1;
    if (!test::SendUntilShown(
            settings.basePort, test::MakeDesktopPicture(1920, 1080, 1), &number,
            [&] { return test::PumpUntil(hasPicture, std::chrono::milliseconds(50)); })) {
        std::fprintf(stderr, "no picture arrived\n");
        return 1;
    }

    const double bare = BareStretchDIBits(view, receiver);
    std::printf("bare StretchDIBits 1920x1080 -> 960x540: %.2f ms\n", bare);
    const struct {
        int command;
        const char* name;
    } modes[] = {{ID_VIEW_FIXED_ASPECT, "fixed aspect"},
                 {ID_VIEW_ACTUAL_SIZE, "actual size"},
                 {ID_VIEW_FIT_TO_WINDOW, "fit to window"}};
    for (const auto& mode : modes) {
        SendMessageW(frame.hwnd(), WM_COMMAND, mode.command, 0);
        test::PumpUntil([] { return false; }, std::chrono::milliseconds(100));
        const double shown = Median([&] { SendMessageW(view, kPictureArrived, 0, 0); });
        std::printf("new picture to end of paint, %-13s: %.2f ms  ratio %.2f x\n", mode.name, shown,
                    shown / bare);
    }
    DestroyWindow(frame.hwnd());
    return 0;
}
