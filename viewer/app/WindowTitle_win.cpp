// The frame's title.
#include <string>

#include "viewer/app/MainFrame_win.h"
#include "viewer/app/ViewerApp_win.h"
#include "viewer/app/WindowTitle.h"

namespace telvo {

void CMainFrame::UpdateTitle() {
    const std::wstring title =
        FormatWindowTitle(app_.settings().channelIndex, view_.receiver().TitlePictureNumber(),
                          view_.saving().continuousOn());
    SetWindowTextW(hwnd_, title.c_str());
}

}  // namespace telvo
