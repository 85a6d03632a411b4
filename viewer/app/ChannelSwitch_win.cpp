// The frame's channel switch.
#include <string>

#include "viewer/app/MainFrame_win.h"
#include "viewer/app/ViewerApp_win.h"

namespace telvo {
namespace {

// The group text for the socket layer. A character outside ASCII cannot be part of a dotted
// address; it becomes one that makes the address fail to parse.
std::string AsciiAddress(const std::wstring& text) {
    std::string address;
    for (const wchar_t c : text) address += c < 0x80 ? static_cast<char>(c) : '?';
    return address;
}

}  // namespace

void CMainFrame::SelectChannel(std::int32_t channelIndex) {
    ViewerSettings& settings = app_.settings();
    settings.channelIndex = channelIndex;
    app_.SaveSettings();
    view_.ChannelChanged(channelIndex);
    view_.receiver().SetAdapters(AsciiAddress(settings.interfaceAddress));
    // A view behind the sender shows its newest picture, not each one late.
    view_.receiver().SetSkipWhenBehind(true);
    // A failure leaves the view empty; choosing the channel again retries.
    (void)view_.receiver().OpenChannel(view_.PictureNotifier(),
                                       static_cast<std::uint32_t>(channelIndex),
                                       AsciiAddress(settings.toAddress).c_str(), settings.basePort);
    UpdateTitle();
}

}  // namespace telvo
