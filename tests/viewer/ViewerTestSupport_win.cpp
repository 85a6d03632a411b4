#include "tests/viewer/ViewerTestSupport_win.h"

#include "protocol/ScreenBitmap.h"
#include "tests/NetworkTest.h"
#include "tests/TestPicture.h"
#include "win/WinHandles.h"

namespace telvo::test {

std::vector<std::uint8_t> MakePicture(std::uint32_t width, std::uint32_t height,
                                      const std::function<COLORREF(int x, int y)>& colour) {
    std::vector<std::uint8_t> picture(NeededLength(width, height));
    WriteBitmapHeaders(picture.data(), width, height);
    const std::uint64_t stride = RowStride(width);
    for (std::uint32_t y = 0; y < height; ++y) {
        std::uint8_t* row = picture.data() + kBitmapHeadersSize + stride * (height - 1 - y);
        for (std::uint32_t x = 0; x < width; ++x) {
            const COLORREF c = colour(static_cast<int>(x), static_cast<int>(y));
            row[3 * x] = GetBValue(c);
            row[3 * x + 1] = GetGValue(c);
            row[3 * x + 2] = GetRValue(c);
        }
    }
    return picture;
}

bool SendDatagrams(std::uint16_t port, const std::vector<std::vector<std::uint8_t>>& datagrams) {
    PortSink sink(kDefaultGroup, port);
    for (const auto& datagram : datagrams) {
        if (sink.Send(datagram.data(), datagram.size()) != 0) return false;
    }
    return true;
}

bool SendUntilShown(std::uint16_t port, const std::vector<std::uint8_t>& picture,
                    std::uint32_t* number, const std::function<bool()>& shown) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (!SendDatagrams(port, Packetize(picture, *number, false))) return false;
        if (WaitUntil(shown, std::chrono::milliseconds(700))) return true;
        ++*number;
    }
    return false;
}

ScreenPixels::ScreenPixels(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    width_ = client.right;
    height_ = client.bottom;
    pixels_.assign(static_cast<std::size_t>(width_) * height_, 0);

    const WindowDc screen(nullptr, WindowDc::Area::kClient);
    const UniqueMemoryDc memory(CreateCompatibleDC(screen.get()));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    const UniqueGdiObject section(
        CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!section || bits == nullptr) return;
    const SelectedObject selected(memory.get(), section.get());
    BitBlt(memory.get(), 0, 0, width_, height_, screen.get(), origin.x, origin.y, SRCCOPY);
    GdiFlush();
    const auto* source = static_cast<const std::uint32_t*>(bits);
    pixels_.assign(source, source + pixels_.size());
}

COLORREF ScreenPixels::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    const std::uint32_t p = pixels_[static_cast<std::size_t>(y) * width_ + x];  // 0x00RRGGBB
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

void TypeKey(HWND window, WORD key, bool alt) {
    SetForegroundWindow(window);
    WaitUntil([&] { return GetForegroundWindow() == window; }, std::chrono::seconds(2));
    INPUT keys[4] = {};
    const WORD withAlt[4] = {VK_MENU, key, key, VK_MENU};
    const WORD plain[2] = {key, key};
    const int count = alt ? 4 : 2;
    for (int i = 0; i < count; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = alt ? withAlt[i] : plain[i];
        keys[i].ki.dwFlags = i < count / 2 ? 0 : KEYEVENTF_KEYUP;
    }
    SendInput(count, keys, sizeof(INPUT));
}

bool SizeClientArea(HWND frame, HWND view, int width, int height) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        RECT outer{};
        RECT client{};
        GetWindowRect(frame, &outer);
        GetClientRect(view, &client);
        if (client.right == width && client.bottom == height) return true;
        SetWindowPos(frame, nullptr, 0, 0, (outer.right - outer.left) + width - client.right,
                     (outer.bottom - outer.top) + height - client.bottom, SWP_NOZORDER);
        WaitUntil(
            [&] {
                RECT now{};
                GetClientRect(view, &now);
                return now.right == width && now.bottom == height;
            },
            std::chrono::seconds(2));
    }
    RECT client{};
    GetClientRect(view, &client);
    return client.right == width && client.bottom == height;
}

}  // namespace telvo::test
