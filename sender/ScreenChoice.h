// Which part of the virtual desktop a broadcast shows: the "Monitor" setting held against the
// monitors there are at the moment. Monitors come and go (a projector is plugged in for a lesson),
// so the choice is resolved afresh for every picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace telvo {

inline constexpr std::int32_t kWholeDesktop = -1;   // every monitor at once
inline constexpr std::int32_t kPrimaryMonitor = 0;  // whichever monitor is the primary one
inline constexpr std::int32_t kMaxMonitor = 99;     // the largest monitor number stored

// A rectangle in screen coordinates: the primary monitor's top-left corner is 0, 0.
struct ScreenArea {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
    bool operator==(const ScreenArea& other) const {
        return left == other.left && top == other.top && right == other.right &&
               bottom == other.bottom;
    }
};

struct Monitor {
    ScreenArea area;
    bool primary = false;
};

struct ScreenChoice {
    ScreenArea area;
    bool fellBack = false;  // the chosen monitor is not there: the primary one stands in
};

// `monitor` 0 is the primary one of `monitors`, 1 to n the n-th of them in the system's order,
// -1 the whole `desktop`. A monitor that is not there falls back to the primary one. Without a
// primary one in the list the first stands in, and without any monitor the desktop.
ScreenChoice ChooseScreen(std::int32_t monitor, const std::vector<Monitor>& monitors,
                          const ScreenArea& desktop);

// One entry of the settings dialog's list of screens.
struct MonitorChoice {
    std::int32_t monitor;
    std::wstring text;
};

// The entries of the list: the primary screen, each monitor with its number and size (the
// primary one marked), the whole desktop; and `current` when it names a monitor that is not
// there, so that the choice is not lost by confirming the dialog.
std::vector<MonitorChoice> MonitorChoices(const std::vector<Monitor>& monitors,
                                          const ScreenArea& desktop, std::int32_t current);

}  // namespace telvo
