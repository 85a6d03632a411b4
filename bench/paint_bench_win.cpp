// How long the view takes to show a new picture: from its publication to the end of its paint
// (OnPictureArrived, UpdateWindow included), for a 1920 x 1080 picture in a 960 x 540 view, in
// each view mode, against one bare StretchDIBits of the same picture to the same size, measured in
// the same run. Target: at most 1.0 x in fixed aspect and fit to window.
// Then how well a 1920 x 1080 screen of 12-pixel text, dark on light and light on dark, reads in
// fixed aspect at 749 x 421: the PSNR of what the view shows and of what StretchBlt in the default
// stretch mode showed (the paint before area averaging), against the exact area average.
// Last, one drag step in actual size with a 7680 x 4320 picture: the view makes only the part it
// shows, against what each paint did before: the whole picture into a bitmap of its size, then
// the part shown to the window, measured in the same run.
// The pictures arrive over multicast loopback: tools/bench.sh runs it in a private network
// namespace under Wine.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/Socket.h"
#include "protocol/ScreenBitmap.h"
#include "tests/AreaReference.h"
#include "tests/TestPicture.h"
#include "tests/win/ProgramDriver.h"
#include "viewer/app/MainFrame_win.h"
#include "viewer/app/ViewerApp_win.h"
#include "viewer/display/BoxScale.h"
#include "viewer/display/ViewGeometry.h"
#include "viewer/res/resource.h"
#include "win/WinHandles.h"

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

// A 1920 x 1080 ScreenBitmap of lines of 12-pixel text, as an editor shows them.
std::vector<std::uint8_t> TextScreen(bool dark) {
    constexpr int kWidth = 1920;
    constexpr int kHeight = 1080;
    std::vector<std::uint8_t> picture(NeededLength(kWidth, kHeight));
    WriteBitmapHeaders(picture.data(), kWidth, kHeight);
    const UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    void* bits = nullptr;
    const UniqueGdiObject section(CreateDIBSection(
        dc.get(), reinterpret_cast<const BITMAPINFO*>(picture.data() + kInfoHeaderOffset),
        DIB_RGB_COLORS, &bits, nullptr, 0));
    const UniqueGdiObject font(CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                                           NONANTIALIASED_QUALITY, FIXED_PITCH, L"MS Gothic"));
    if (!section || bits == nullptr || !font) return {};
    const SelectedObject selectedSection(dc.get(), section.get());
    const SelectedObject selectedFont(dc.get(), font.get());
    const RECT all{0, 0, kWidth, kHeight};
    const UniqueGdiObject background(CreateSolidBrush(dark ? RGB(30, 30, 30) : RGB(255, 255, 255)));
    FillRect(dc.get(), &all, static_cast<HBRUSH>(background.get()));
    SetBkMode(dc.get(), TRANSPARENT);
    SetTextColor(dc.get(), dark ? RGB(220, 220, 220) : RGB(0, 0, 0));
    const wchar_t* lines[] = {
        L"int SendPicture(DatagramSink& sink, const std::uint8_t* picture, std::uint32_t size);",
        L"    // 画面を分割して送信する: each fragment carries its offset and the picture number",
        L"    for (std::uint32_t offset = 0; offset < size; offset += kMaxFragment) {",
        L"        const auto length = std::min(kMaxFragment, size - offset);  // 残りのバイト数",
        L"        if (const int error = sink.Send(datagram, length); error != 0) return error;",
    };
    for (int y = 4, line = 0; y + 14 < kHeight; y += 15, ++line) {
        for (int x = 8; x < kWidth; x += 640) {
            const wchar_t* text = lines[(line + x / 640) % 5];
            TextOutW(dc.get(), x, y, text, static_cast<int>(std::wcslen(text)));
        }
    }
    GdiFlush();
    std::memcpy(picture.data() + kBitmapHeadersSize, bits, RowStride(kWidth) * kHeight);
    return picture;
}

// PSNR in dB of `shown` (pixels top row first) over rectangle `to` against the exact area average
// of `picture` at the rectangle's size.
double Psnr(const std::vector<std::uint8_t>& picture, const test::ScreenPixels& shown,
            const ViewRect& to) {
    BitmapLayout layout;
    if (!DescribeBitmap(picture.data(), picture.size(), &layout)) return 0;
    const auto width = static_cast<std::uint32_t>(to.right - to.left);
    const auto height = static_cast<std::uint32_t>(to.bottom - to.top);
    const SourceRows rows{picture.data() + layout.pixelOffset, layout.width, layout.height,
                          layout.stride};
    const std::vector<double> reference = test::AreaReference(rows, width, height);
    double squares = 0;
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const COLORREF colour =
                shown.at(to.left + static_cast<int>(x), to.top + static_cast<int>(y));
            const int channels[3] = {GetBValue(colour), GetGValue(colour), GetRValue(colour)};
            for (int c = 0; c < 3; ++c) {
                const double error =  // bottom-up
                    channels[c] - reference[(std::size_t{height - 1 - y} * width + x) * 3 + c];
                squares += error * error;
            }
        }
    }
    return 10 * std::log10(255.0 * 255.0 * 3 * width * height / squares);
}

// What the paint did before area averaging: the picture in a compatible bitmap, StretchBlt into
// the view in the default stretch mode.
void PaintWithStretchBlt(HWND view, const std::vector<std::uint8_t>& picture, const ViewRect& to) {
    BitmapLayout layout;
    if (!DescribeBitmap(picture.data(), picture.size(), &layout)) return;
    const WindowDc dc(view, WindowDc::Area::kClient);
    const auto width = static_cast<int>(layout.width);
    const auto height = static_cast<int>(layout.height);
    const UniqueMemoryDc memory(CreateCompatibleDC(dc.get()));
    const UniqueGdiObject bitmap(CreateCompatibleBitmap(dc.get(), width, height));
    const SelectedObject selected(memory.get(), bitmap.get());
    StretchDIBits(memory.get(), 0, 0, width, height, 0, 0, width, height,
                  picture.data() + layout.pixelOffset,
                  reinterpret_cast<const BITMAPINFO*>(picture.data() + kInfoHeaderOffset),
                  DIB_RGB_COLORS, SRCCOPY);
    StretchBlt(dc.get(), to.left, to.top, to.right - to.left, to.bottom - to.top, memory.get(), 0,
               0, width, height, SRCCOPY);
    GdiFlush();
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

    SendMessageW(frame.hwnd(), WM_COMMAND, 32773, 0);  // fixed aspect
    // The frame keeps the picture's shape in fixed aspect: the view may end a pixel off.
    static_cast<void>(test::SizeClientArea(frame.hwnd(), view, 749, 421));
    for (const bool dark : {false, true}) {
        const auto picture = TextScreen(dark);
        auto shows = [&] {
            const ImageReader image(receiver.store());
            return image.size() >= picture.size() &&
                   std::memcmp(image.bytes(), picture.data(), picture.size()) == 0;
        };
        ++number;
        if (picture.empty() || !test::SendUntilShown(settings.basePort, picture, &number, [&] {
                return test::PumpUntil(shows, std::chrono::milliseconds(50));
            })) {
            std::fprintf(stderr, "the text screen was not shown\n");
            return 1;
        }
        SendMessageW(view, kPictureArrived, 0, 0);  // laid out and painted again, as on arrival
        test::PumpUntil([] { return false; }, std::chrono::milliseconds(100));
        RECT client{};
        GetClientRect(view, &client);
        std::int32_t noPan = 0;
        ViewRect to;
        if (!DestinationRect(ViewMode::kFixedAspect, 1920, 1080, client.right, client.bottom,
                             &noPan, &noPan, &to)) {
            return 1;
        }
        const double areaAverage = Psnr(picture, test::ScreenPixels(view), to);
        PaintWithStretchBlt(view, picture, to);
        test::PumpUntil([] { return false; },
                        std::chrono::milliseconds(100));  // reaches the screen
        const double stretchBlt = Psnr(picture, test::ScreenPixels(view), to);
        std::printf(
            "%s text 1920x1080 -> %dx%d, PSNR against the exact area average: "
            "area average %.1f dB, StretchBlt default mode %.1f dB\n",
            dark ? "light-on-dark" : "dark-on-light", to.right - to.left, to.bottom - to.top,
            areaAverage, stretchBlt);
    }

    ++number;
    const auto eightK = test::MakeDesktopPicture(7680, 4320, 2);
    auto eightKShown = [&] { return ImageReader(receiver.store()).size() >= eightK.size(); };
    if (!test::SendUntilShown(settings.basePort, eightK, &number, [&] {
            return test::PumpUntil(eightKShown, std::chrono::milliseconds(200));
        })) {
        std::fprintf(stderr, "the 8K picture was not shown\n");
        return 1;
    }
    SendMessageW(frame.hwnd(), WM_COMMAND, ID_VIEW_ACTUAL_SIZE, 0);
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(400, 300));
    SendMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(100, 100));  // into the middle
    RECT client{};
    GetClientRect(view, &client);
    const double visible = Median([&] {
        RedrawWindow(view, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        GdiFlush();
    });
    SendMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(100, 100));
    double whole = 0;
    {
        const WindowDc dc(view, WindowDc::Area::kClient);
        const UniqueMemoryDc memory(CreateCompatibleDC(dc.get()));
        BITMAPINFO info{{sizeof info.bmiHeader, 7680, 4320, 1, 24}};
        void* bits = nullptr;
        const UniqueGdiObject section(
            CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        const SelectedObject selected(memory.get(), section.get());
        const ImageReader image(receiver.store());
        BitmapLayout layout;
        if (bits == nullptr || !selected.ok() ||
            !DescribeBitmap(image.bytes(), image.size(), &layout)) {
            return 1;
        }
        const SourceRows from{image.bytes() + layout.pixelOffset, 7680, 4320, layout.stride};
        const TargetRows to{static_cast<std::uint8_t*>(bits), 7680, 4320, layout.stride};
        whole = Median([&] {
            GdiFlush();
            static_cast<void>(BoxScale(from, to));
            BitBlt(dc.get(), 0, 0, client.right, client.bottom, memory.get(), 300, 200, SRCCOPY);
            GdiFlush();
        });
    }
    std::printf(
        "drag step, actual size, 7680x4320 in %ldx%ld: visible part %.2f ms, whole picture "
        "(before) %.2f ms, ratio %.3f x\n",
        client.right, client.bottom, visible, whole, visible / whole);
    DestroyWindow(frame.hwnd());
    return 0;
}
