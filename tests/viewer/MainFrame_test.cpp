// The frame and view built into this test: the menu's update rules, command routing, the hand
// cursor of a drag and the pan it makes, and help. Menus and cursors cannot be read from another
// process under Wine, so these run in-process.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "base/Socket.h"
#include "tests/NetworkTest.h"
#include "tests/TestPicture.h"
#include "tests/viewer/ViewerTestSupport_win.h"
#include "tests/win/ProgramDriver.h"
#include "viewer/app/MainFrame_win.h"
#include "viewer/app/ViewerApp_win.h"
#include "viewer/res/resource.h"

namespace telvo {
namespace {

struct ItemState {
    bool enabled;
    bool checked;
    bool radio;
};

class Frame : public ::testing::Test {
  protected:
    void SetUp() override {
        TELVO_REQUIRE_TEST_NETWORK();
        ASSERT_EQ(0, StartSockets(1, 1));
        folder = test::MakeFreshFolder(L"viewer-frame");
        TheApp().settings() = ViewerSettings{};
        TheApp().settings().iniPath = folder + L"\\TelvoClient.ini";
        TheApp().settings().basePort = basePort;
        frame = std::make_unique<CMainFrame>(TheApp());
        ASSERT_TRUE(frame->Create());
        ShowWindow(frame->hwnd(), SW_SHOW);
        view = frame->view().hwnd();
    }
    void TearDown() override {
        if (frame && frame->hwnd() != nullptr) DestroyWindow(frame->hwnd());
        frame.reset();
    }

    // The item as the user sees it when its menu opens.
    ItemState State(UINT id) {
        const HMENU bar = GetMenu(frame->hwnd());
        for (int position = 0; position < GetMenuItemCount(bar); ++position) {
            const HMENU popup = GetSubMenu(bar, position);
            if (GetMenuState(popup, id, MF_BYCOMMAND) == static_cast<UINT>(-1)) continue;
            SendMessageW(frame->hwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup),
                         MAKELPARAM(position, FALSE));
            MENUITEMINFOW item{};
            item.cbSize = sizeof item;
            item.fMask = MIIM_FTYPE | MIIM_STATE;
            GetMenuItemInfoW(popup, id, FALSE, &item);
            return {(item.fState & MFS_DISABLED) == 0, (item.fState & MFS_CHECKED) != 0,
                    (item.fType & MFT_RADIOCHECK) != 0};
        }
        ADD_FAILURE() << "no menu item " << id;
        return {};
    }
    // Ids of the items that carry a check, among `first` .. `last`.
    std::vector<UINT> Checked(UINT first, UINT last) {
        std::vector<UINT> ids;
        for (UINT id = first; id <= last; ++id) {
            const ItemState state = State(id);
            EXPECT_TRUE(state.radio) << id;
            if (state.checked) ids.push_back(id);
        }
        return ids;
    }
    void Command(int id) { SendMessageW(frame->hwnd(), WM_COMMAND, id, 0); }
    // Sends until the caption shows the number of the picture just sent (a late copy of an
    // earlier try may arrive first).
    bool ShowPicture(std::uint16_t port, const std::vector<std::uint8_t>& picture) {
        return test::SendUntilShown(port, picture, &number, [&] {
            const std::wstring shown = L"[No." + std::to_wstring(number) + L"]";
            return test::PumpUntil(
                [&] {
                    const std::wstring caption = test::WindowText(frame->hwnd());
                    return caption.size() >= shown.size() &&
                           caption.compare(caption.size() - shown.size(), shown.size(), shown) == 0;
                },
                std::chrono::milliseconds(50));
        });
    }
    bool HasPicture() {
        ImageReader image(frame->view().receiver().store());
        return image.bytes() != nullptr;
    }

    std::uint16_t basePort = 48100;
    std::uint32_t number = 1;
    std::wstring folder;
    std::unique_ptr<CMainFrame> frame;
    HWND view = nullptr;
};

TEST_F(Frame, UpdateRulesFollowModeChannelAndPicture) {
    EXPECT_EQ(L"TelvoClient - Channel 1 [No.0]", test::WindowText(frame->hwnd()));
    EXPECT_EQ((std::vector<UINT>{ID_VIEW_FIXED_ASPECT}),
              Checked(ID_VIEW_FIXED_ASPECT, ID_VIEW_FIT_TO_WINDOW));
    EXPECT_EQ((std::vector<UINT>{ID_CHANNEL1}), Checked(ID_CHANNEL1, ID_CHANNEL5));
    EXPECT_FALSE(State(ID_SAVE).enabled);
    EXPECT_FALSE(State(ID_MEMO).enabled);
    EXPECT_FALSE(State(ID_VIEW_FULL_SCREEN).checked);
    for (const UINT always : {57665u, 32787u, 57664u, 32783u, 32784u, 32785u}) {
        EXPECT_TRUE(State(always).enabled) << always;
        EXPECT_FALSE(State(always).checked) << always;
    }
    EXPECT_EQ(0, GetWindowLongW(frame->hwnd(), GWL_STYLE) & WS_MAXIMIZEBOX);

    Command(ID_VIEW_FIT_TO_WINDOW);
    EXPECT_EQ((std::vector<UINT>{ID_VIEW_FIT_TO_WINDOW}),
              Checked(ID_VIEW_FIXED_ASPECT, ID_VIEW_FIT_TO_WINDOW));
    EXPECT_NE(0, GetWindowLongW(frame->hwnd(), GWL_STYLE) & WS_MAXIMIZEBOX);

    ASSERT_TRUE(ShowPicture(basePort, test::MakeDesktopPicture(320, 240, 1)));
    EXPECT_TRUE(State(ID_SAVE).enabled);
    EXPECT_TRUE(State(ID_MEMO).enabled);
    EXPECT_EQ(L"TelvoClient - Channel 1 [No." + std::to_wstring(number) + L"]",
              test::WindowText(frame->hwnd()));

    Command(ID_CHANNEL3);  // Alt+3
    EXPECT_EQ((std::vector<UINT>{ID_CHANNEL3}), Checked(ID_CHANNEL1, ID_CHANNEL5));
    EXPECT_FALSE(State(ID_SAVE).enabled);
    EXPECT_FALSE(State(ID_MEMO).enabled);
    // A notice of the old channel's picture that arrives after the switch enables nothing.
    SendMessageW(view, kPictureArrived, 0, 0);
    const HWND panel = frame->view().panel().hwnd();
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(panel, IDC_SAVE)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(panel, IDC_MEMO)));
    EXPECT_EQ(L"TelvoClient - Channel 3 [No.0]", test::WindowText(frame->hwnd()));
    EXPECT_NE(std::wstring::npos,
              test::ReadFileText(folder + L"\\TelvoClient.ini").find(L"Channel=3"));
    ASSERT_TRUE(ShowPicture(basePort + 2, test::MakeDesktopPicture(320, 240, 2)));

    frame->SelectChannel(6);  // what a stored "Channel" of 7 does at start-up
    EXPECT_TRUE(Checked(ID_CHANNEL1, ID_CHANNEL5).empty());
    EXPECT_EQ(L"TelvoClient - Channel 7 [No.0]", test::WindowText(frame->hwnd()));
    EXPECT_FALSE(HasPicture());
}

TEST_F(Frame, DraggingInActualSizePansWithTheHandCursorAndStopsAtTheEdges) {
    ASSERT_TRUE(ShowPicture(basePort, test::MakeDesktopPicture(1024, 768, 3)));
    const HCURSOR hand = LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_PAN_HAND));
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(hand, &info));
    const UniqueGdiObject mask(info.hbmMask);
    const UniqueGdiObject colour(info.hbmColor);
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(5u, info.xHotspot);
    EXPECT_EQ(0u, info.yHotspot);
    BITMAP bitmap{};
    GetObjectW(info.hbmMask, sizeof bitmap, &bitmap);
    EXPECT_EQ(32, bitmap.bmWidth);
    EXPECT_EQ(64, bitmap.bmHeight);  // monochrome: AND and XOR masks stacked

    // Fixed aspect: the button changes nothing but a repaint.
    const HCURSOR before = SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 200));
    EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), GetCursor());
    EXPECT_EQ(nullptr, GetCapture());
    SendMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(300, 200));

    Command(ID_VIEW_ACTUAL_SIZE);
    ASSERT_TRUE(test::SizeClientArea(frame->hwnd(), view, 600, 400));  // smaller than the picture
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 200));
    EXPECT_EQ(hand, GetCursor());
    EXPECT_EQ(view, GetCapture());
    SendMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-200, 200));  // 500 to the left
    EXPECT_EQ(-424, frame->view().panOffsetX());  // clamped by the paint: 600 - 1024
    SendMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-190, 150));
    EXPECT_EQ(-414, frame->view().panOffsetX());
    EXPECT_EQ(-50, frame->view().panOffsetY());
    SendMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(2000, 2000));
    EXPECT_EQ(0, frame->view().panOffsetX());
    EXPECT_EQ(0, frame->view().panOffsetY());
    SendMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(1000, 1000));
    EXPECT_EQ(-424, frame->view().panOffsetX());
    EXPECT_EQ(-368, frame->view().panOffsetY());
    SendMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(1000, 1000));
    EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), GetCursor());
    EXPECT_EQ(nullptr, GetCapture());

    // A second button-down keeps the cursor to restore; a lost capture (Alt+Tab) ends the drag.
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 200));
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 200));
    ReleaseCapture();
    EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), GetCursor());
    SendMessageW(view, WM_MOUSEMOVE, 0, MAKELPARAM(200, 100));
    EXPECT_EQ(-424, frame->view().panOffsetX());

    Command(ID_VIEW_ACTUAL_SIZE);  // actual size again keeps the pan
    EXPECT_EQ(-424, frame->view().panOffsetX());
    Command(ID_VIEW_FIT_TO_WINDOW);
    Command(ID_VIEW_ACTUAL_SIZE);
    EXPECT_EQ(0, frame->view().panOffsetX());
    SetCursor(before);
}

TEST_F(Frame, MinimizingKeepsTheFittedFrameForTheRestore) {
    ASSERT_TRUE(ShowPicture(basePort, test::MakeDesktopPicture(640, 360, 5)));
    RECT fitted{};
    GetWindowRect(frame->hwnd(), &fitted);
    ShowWindow(frame->hwnd(), SW_MINIMIZE);
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(frame->hwnd(), &placement);  // the size the restore will give
    EXPECT_EQ(fitted.right - fitted.left,
              placement.rcNormalPosition.right - placement.rcNormalPosition.left);
    EXPECT_EQ(fitted.bottom - fitted.top,
              placement.rcNormalPosition.bottom - placement.rcNormalPosition.top);
    RECT view{};
    GetClientRect(frame->view().hwnd(), &view);
    EXPECT_GT(view.right, 0);  // the view keeps its size while minimized
    ShowWindow(frame->hwnd(), SW_RESTORE);
    RECT restored{};
    GetWindowRect(frame->hwnd(), &restored);
    EXPECT_EQ(fitted.right - fitted.left, restored.right - restored.left);
    EXPECT_EQ(fitted.bottom - fitted.top, restored.bottom - restored.top);
}

// The text the panel gives the tooltip of button `id`, as the tooltip control asks for it.
std::wstring TipText(HWND panel, int id, UINT flags = TTF_IDISHWND) {
    NMTTDISPINFOW info{};
    info.hdr.hwndFrom = panel;
    info.hdr.idFrom = reinterpret_cast<UINT_PTR>(GetDlgItem(panel, id));
    info.hdr.code = TTN_GETDISPINFOW;
    info.uFlags = flags;
    SendMessageW(panel, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
    return info.szText;
}

TEST_F(Frame, ThePanelShowsTheStateNamesItsButtonsAndHidesOnEscapeOrEnter) {
    const HWND panel = frame->view().panel().hwnd();
    ASSERT_NE(nullptr, panel);
    EXPECT_EQ(L"操作ﾊﾟﾈﾙ", test::WindowText(panel));
    EXPECT_NE(0, GetWindowLongW(panel, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    for (int id : {IDC_CHANNEL1, IDC_CHANNEL2, IDC_CHANNEL3, IDC_CHANNEL4, IDC_CHANNEL5, IDC_SAVE,
                   IDC_MEMO, IDC_FULL_SCREEN}) {
        const auto icon =
            reinterpret_cast<HICON>(SendDlgItemMessageW(panel, id, BM_GETIMAGE, IMAGE_ICON, 0));
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info)) << id;
        const UniqueGdiObject mask(info.hbmMask);
        const UniqueGdiObject colour(info.hbmColor);
        BITMAP bitmap{};
        GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
        EXPECT_EQ(20, bitmap.bmWidth) << id;
        EXPECT_EQ(20, bitmap.bmHeight) << id;
    }
    EXPECT_EQ(L"3 ﾁｬﾝﾈﾙに切り替える", TipText(panel, IDC_CHANNEL3));
    EXPECT_EQ(L"全画面表示にする", TipText(panel, IDC_FULL_SCREEN));
    EXPECT_EQ(L"", TipText(panel, IDC_FULL_SCREEN, 0));  // a tool not known by its window
    EXPECT_FALSE(State(ID_VIEW_FULL_SCREEN).checked);

    Command(ID_VIEW_FULL_SCREEN);  // F11: the button turns over, and so does its tip
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(panel, IDC_FULL_SCREEN));
    EXPECT_EQ(L"通常表示に戻す", TipText(panel, IDC_FULL_SCREEN));
    CommandState fullScreen;
    EXPECT_TRUE(
        frame->UpdateCommandState(ID_VIEW_FULL_SCREEN, &fullScreen));  // no menu bar in full screen
    EXPECT_TRUE(fullScreen.checked);
    Command(ID_VIEW_FULL_SCREEN);
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(panel, IDC_FULL_SCREEN));
    EXPECT_EQ(L"全画面表示にする", TipText(panel, IDC_FULL_SCREEN));
    EXPECT_NE(nullptr, GetMenu(frame->hwnd()));

    EXPECT_FALSE(State(ID_CONTROL_PANEL).checked);
    for (const int key : {VK_ESCAPE, VK_RETURN}) {
        Command(ID_CONTROL_PANEL);
        EXPECT_TRUE(IsWindowVisible(panel));
        EXPECT_TRUE(State(ID_CONTROL_PANEL).checked);
        SetFocus(GetDlgItem(panel, IDC_CHANNEL1));
        MSG message{panel, WM_KEYDOWN, static_cast<WPARAM>(key), 0, 0, {}};
        EXPECT_TRUE(frame->view().panel().PreTranslateMessage(&message));
        EXPECT_FALSE(IsWindowVisible(panel)) << key;
        EXPECT_FALSE(State(ID_CONTROL_PANEL).checked);
    }
    EXPECT_EQ(0, frame->view().panel().channelRadio);  // Enter kept the pressed channel
}

TEST_F(Frame, HelpOpensItsOwnWindowAndClosingTheFrameClosesIt) {
    Command(ID_HELP_TOPICS);
    const HWND help = frame->help().window();
    ASSERT_NE(nullptr, help);
    EXPECT_TRUE(IsWindowVisible(help));
    EXPECT_EQ(L"TelvoClient ﾍﾙﾌﾟ", test::WindowText(help));
    Command(ID_HELP_TOPICS);  // a second F1 shows the same window
    EXPECT_EQ(help, frame->help().window());

    Command(ID_APP_EXIT);  // exit: WM_CLOSE closes help, then the frame
    EXPECT_FALSE(IsWindow(help));
    EXPECT_EQ(nullptr, frame->hwnd());
}

}  // namespace
}  // namespace telvo
