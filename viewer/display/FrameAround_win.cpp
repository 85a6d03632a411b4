#include "viewer/display/FrameAround_win.h"

#include "viewer/display/ViewGeometry.h"

namespace telvo {
namespace {

DWORD Style(HWND window) {
    return static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
}
DWORD ExStyle(HWND window) {
    return static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));
}

// The height a menu bar wrapped onto more lines takes beyond its first line.
int WrappedMenuHeight(HWND frame) {
    RECT window{};
    RECT client{};
    RECT oneLine{0, 0, 0, 0};
    if (GetMenu(frame) == nullptr || IsIconic(frame) || !GetWindowRect(frame, &window) ||
        !GetClientRect(frame, &client)) {
        return 0;
    }
    AdjustWindowRectEx(&oneLine, Style(frame), TRUE, ExStyle(frame));
    const int extra = (window.bottom - window.top - client.bottom) - (oneLine.bottom - oneLine.top);
    return extra > 0 ? extra : 0;
}

}  // namespace

SIZE FrameSizeAround(HWND frame, HWND view, std::int64_t width, std::int64_t height) {
    // The edges alone, on an empty rectangle: the sizes are added in 64 bits afterwards.
    RECT viewEdges{0, 0, 0, 0};
    AdjustWindowRectEx(&viewEdges, Style(view), FALSE, ExStyle(view));
    RECT frameEdges = viewEdges;
    AdjustWindowRectEx(&frameEdges, Style(frame), GetMenu(frame) != nullptr, ExStyle(frame));
    return SIZE{ClampToCoordinate(width + (frameEdges.right - frameEdges.left)),
                ClampToCoordinate(height + (frameEdges.bottom - frameEdges.top) +
                                  WrappedMenuHeight(frame))};
}

}  // namespace telvo
