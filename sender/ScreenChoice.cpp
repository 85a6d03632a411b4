#include "sender/ScreenChoice.h"

namespace telvo {
namespace {

std::wstring SizeText(const ScreenArea& area) {
    return std::to_wstring(area.width()) + L"×" + std::to_wstring(area.height());
}

}  // namespace

ScreenChoice ChooseScreen(std::int32_t monitor, const std::vector<Monitor>& monitors,
                          const ScreenArea& desktop) {
    if (monitor == kWholeDesktop) return {desktop, false};
    if (monitor >= 1 && static_cast<std::size_t>(monitor) <= monitors.size()) {
        return {monitors[static_cast<std::size_t>(monitor) - 1].area, false};
    }
    const bool fellBack = monitor != kPrimaryMonitor;
    for (const Monitor& each : monitors) {
        if (each.primary) return {each.area, fellBack};
    }
    return {monitors.empty() ? desktop : monitors.front().area, fellBack};
}

std::vector<MonitorChoice> MonitorChoices(const std::vector<Monitor>& monitors,
                                          const ScreenArea& desktop, std::int32_t current) {
    std::vector<MonitorChoice> choices{{kPrimaryMonitor, L"主画面"}};
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        choices.push_back({static_cast<std::int32_t>(i + 1),
                           std::to_wstring(i + 1) + L": " + SizeText(monitors[i].area) +
                               (monitors[i].primary ? L" (主画面)" : L"")});
    }
    if (current > static_cast<std::int32_t>(monitors.size())) {
        choices.push_back({current, std::to_wstring(current) + L": 接続されていません"});
    }
    choices.push_back({kWholeDesktop, L"すべての画面: " + SizeText(desktop)});
    return choices;
}

}  // namespace telvo
