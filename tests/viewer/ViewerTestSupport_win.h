// What the viewer's Windows tests share: sending pictures to a port until the viewer shows them,
// reading back the pixels a window shows, and waiting with the message loop running.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

namespace telvo::test {

// A ScreenBitmap whose pixel (x, y) (top row 0) is `colour(x, y)` as RGB.
std::vector<std::uint8_t> MakePicture(std::uint32_t width, std::uint32_t height,
                                      const std::function<COLORREF(int x, int y)>& colour);

// Sends `picture` uncompressed to the test group's `port` under `*number`, then under the
// next numbers, until `shown()` holds (a datagram lost on the way only costs one try).
bool SendUntilShown(std::uint16_t port, const std::vector<std::uint8_t>& picture,
                    std::uint32_t* number, const std::function<bool()>& shown);

// Sends the datagrams as they stand. False when a send failed.
bool SendDatagrams(std::uint16_t port, const std::vector<std::vector<std::uint8_t>>& datagrams);

// The client area of `window` as it is on the screen, row by row.
class ScreenPixels {
  public:
    explicit ScreenPixels(HWND window);
    COLORREF at(int x, int y) const;
    int width() const { return width_; }
    int height() const { return height_; }

  private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> pixels_;
};

// Runs this thread's messages until `condition` holds or `timeout` runs out.
bool PumpUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Types `key` (with Alt when `alt`) on the keyboard into top-level `window`, which is brought to
// the front.
void TypeKey(HWND window, WORD key, bool alt = false);
inline void TypeAltKey(HWND window, WORD key) {
    TypeKey(window, key, true);
}

// Resizes top-level `frame` so that `view`'s client area is `width` x `height`, at (0, 0).
bool SizeClientArea(HWND frame, HWND view, int width, int height);

}  // namespace telvo::test
