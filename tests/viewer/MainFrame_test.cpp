// The frame and view built into this test: the menu and its update rules, the accelerator table,
// command routing, the hand cursor of a drag and the pan it makes, and help. Menus and cursors
// cannot be read from another process under Wine, so these run in-process.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "protocol/Socket.h"
#include "tests/NetworkTest.h"
#include "tests/TestPicture.h"
#include "tests/viewer/ViewerTestSupport_win.h"
#include "tests/win/ProgramDriver.h"
#include "viewer/app/MainFrame_win.h"
#include "viewer/app/ViewerApp_win.h"

namespace telvo {
namespace {

struct MenuItem {
    std::wstring text;
    UINT id;
};

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

TEST_F(Frame, MenuAndAcceleratorsAreAsTabled) {
    const std::vector<std::vector<MenuItem>> expected = {
        {{L"ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)", 57665}},
        {{L"全画面(&M)\tF11", 32772},
         {L"", 0},
         {L"縦横比を固定(&R)", 32773},
         {L"元のｻｲｽﾞ(&S)", 32774},
         {L"ｳｨﾝﾄﾞｳに合わせる(&F)", 32775},
         {L"", 0},
         {L"操作ﾊﾟﾈﾙ(&P)...", 32785}},
        {{L"1ch\tAlt+1", 32777},
         {L"2ch\tAlt+2", 32778},
         {L"3ch\tAlt+3", 32779},
         {L"4ch\tAlt+4", 32780},
         {L"5ch\tAlt+5", 32781}},
        {{L"現在の画面を保存(&S)\tF5", 32782},
         {L"ﾒﾓを取る(&M)\tF6", 32786},
         {L"連続保存(&I)\tF7", 32783},
         {L"", 0},
         {L"保存設定(&O)...", 32784}},
        {{L"ﾍﾙﾌﾟ(&H)\tF1", 32787}, {L"TelvoClient のﾊﾞｰｼﾞｮﾝ情報(&A)...", 57664}},
    };
    const wchar_t* const titles[] = {L"ﾌｧｲﾙ(&F)", L"表示(&V)", L"ﾁｬﾝﾈﾙ(&C)", L"画面の保存(&S)",
                                     L"ﾍﾙﾌﾟ(&H)"};
    const HMENU bar = GetMenu(frame->hwnd());
    ASSERT_EQ(5, GetMenuItemCount(bar));
    wchar_t text[128];
    for (int menu = 0; menu < 5; ++menu) {
        GetMenuStringW(bar, menu, text, 128, MF_BYPOSITION);
        EXPECT_STREQ(titles[menu], text);
        const HMENU popup = GetSubMenu(bar, menu);
        ASSERT_EQ(static_cast<int>(expected[menu].size()), GetMenuItemCount(popup));
        for (int position = 0; position < GetMenuItemCount(popup); ++position) {
            text[0] = 0;
            GetMenuStringW(popup, position, text, 128, MF_BYPOSITION);
            EXPECT_EQ(expected[menu][position].text, text);
            EXPECT_EQ(expected[menu][position].id, GetMenuItemID(popup, position));
        }
    }

    const HACCEL table = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(128));
    ACCEL keys[16];
    ASSERT_EQ(11, CopyAcceleratorTableW(table, keys, 16));
    const BYTE alt = FVIRTKEY | FNOINVERT | FALT;
    const BYTE plain = FVIRTKEY | FNOINVERT;
    const ACCEL want[] = {{alt, '1', 32777},      {alt, '2', 32778},    {alt, '3', 32779},
                          {alt, '4', 32780},      {alt, '5', 32781},    {plain, VK_F1, 32787},
                          {plain, VK_F11, 32772}, {alt, VK_F4, 57665},  {plain, VK_F5, 32782},
                          {plain, VK_F6, 32786},  {plain, VK_F7, 32783}};
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(want[i].fVirt, keys[i].fVirt & ~0x80) << i;  // 0x80 marks the table's end
        EXPECT_EQ(want[i].key, keys[i].key) << i;
        EXPECT_EQ(want[i].cmd, keys[i].cmd) << i;
    }
}

TEST_F(Frame, UpdateRulesFollowModeChannelAndPicture) {
    EXPECT_EQ(L"TelvoClient - Channel 1 [No.0]", test::WindowText(frame->hwnd()));
    EXPECT_EQ((std::vector<UINT>{32773}), Checked(32773, 32775));
    EXPECT_EQ((std::vector<UINT>{32777}), Checked(32777, 32781));
    EXPECT_FALSE(State(32782).enabled);
    EXPECT_FALSE(State(32786).enabled);
    EXPECT_FALSE(State(32772).checked);
    for (const UINT always : {57665u, 32787u, 57664u, 32783u, 32784u, 32785u}) {
        EXPECT_TRUE(State(always).enabled) << always;
        EXPECT_FALSE(State(always).checked) << always;
    }
    EXPECT_EQ(0, GetWindowLongW(frame->hwnd(), GWL_STYLE) & WS_MAXIMIZEBOX);

    Command(32775);
    EXPECT_EQ((std::vector<UINT>{32775}), Checked(32773, 32775));
    EXPECT_NE(0, GetWindowLongW(frame->hwnd(), GWL_STYLE) & WS_MAXIMIZEBOX);

    ASSERT_TRUE(ShowPicture(basePort, test::MakeDesktopPicture(320, 240, 1)));
    EXPECT_TRUE(State(32782).enabled);
    EXPECT_TRUE(State(32786).enabled);
    EXPECT_EQ(L"TelvoClient - Channel 1 [No." + std::to_wstring(number) + L"]",
              test::WindowText(frame->hwnd()));

    Command(32779);  // Alt+3
    EXPECT_EQ((std::vector<UINT>{32779}), Checked(32777, 32781));
    EXPECT_FALSE(State(32782).enabled);
    EXPECT_FALSE(State(32786).enabled);
    EXPECT_EQ(L"TelvoClient - Channel 3 [No.0]", test::WindowText(frame->hwnd()));
    EXPECT_NE(std::wstring::npos,
              test::ReadFileText(folder + L"\\TelvoClient.ini").find(L"Channel=3"));
    ASSERT_TRUE(ShowPicture(basePort + 2, test::MakeDesktopPicture(320, 240, 2)));

    frame->view().SelectChannel(32777 + 6);  // what a stored "Channel" of 7 does at start-up
    EXPECT_TRUE(Checked(32777, 32781).empty());
    EXPECT_EQ(L"TelvoClient - Channel 7 [No.0]", test::WindowText(frame->hwnd()));
    EXPECT_FALSE(HasPicture());
}

TEST_F(Frame, DraggingInActualSizePansWithTheHandCursorAndStopsAtTheEdges) {
    ASSERT_TRUE(ShowPicture(basePort, test::MakeDesktopPicture(1024, 768, 3)));
    const HCURSOR hand = LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(152));
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

    Command(32774);
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

    Command(32774);  // actual size again keeps the pan
    EXPECT_EQ(-424, frame->view().panOffsetX());
    Command(32775);
    Command(32774);
    EXPECT_EQ(0, frame->view().panOffsetX());
    SetCursor(before);
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
    for (int id : {1005, 1006, 1007, 1008, 1009, 1010, 1011, 1013}) {
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
    EXPECT_EQ(L"1 ﾁｬﾝﾈﾙに切り替える", TipText(panel, 1005));
    EXPECT_EQ(L"3 ﾁｬﾝﾈﾙに切り替える", TipText(panel, 1007));
    EXPECT_EQ(L"5 ﾁｬﾝﾈﾙに切り替える", TipText(panel, 1009));
    EXPECT_EQ(L"現在の画面を保存する", TipText(panel, 1010));
    EXPECT_EQ(L"現在の画面をﾒﾓに取る", TipText(panel, 1011));
    EXPECT_EQ(L"全画面表示にする", TipText(panel, 1013));
    EXPECT_EQ(L"", TipText(panel, 1013, 0));  // a tool not known by its window
    EXPECT_FALSE(State(32772).checked);

    Command(32772);  // F11: the button turns over, and so does its tip
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(panel, 1013));
    EXPECT_EQ(L"通常表示に戻す", TipText(panel, 1013));
    CommandState fullScreen;
    EXPECT_TRUE(frame->UpdateCommandState(32772, &fullScreen));  // no menu bar in full screen
    EXPECT_TRUE(fullScreen.checked);
    Command(32772);
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(panel, 1013));
    EXPECT_EQ(L"全画面表示にする", TipText(panel, 1013));
    EXPECT_NE(nullptr, GetMenu(frame->hwnd()));

    EXPECT_FALSE(State(32785).checked);
    for (const int key : {VK_ESCAPE, VK_RETURN}) {
        Command(32785);
        EXPECT_TRUE(IsWindowVisible(panel));
        EXPECT_TRUE(State(32785).checked);
        SetFocus(GetDlgItem(panel, 1005));
        MSG message{panel, WM_KEYDOWN, static_cast<WPARAM>(key), 0, 0, {}};
        EXPECT_TRUE(frame->view().panel().PreTranslateMessage(&message));
        EXPECT_FALSE(IsWindowVisible(panel)) << key;
        EXPECT_FALSE(State(32785).checked);
    }
    EXPECT_EQ(0, frame->view().panel().channelRadio);  // Enter kept the pressed channel
}

TEST_F(Frame, HelpOpensItsOwnWindowAndClosingTheFrameClosesIt) {
    Command(32787);
    const HWND help = frame->help().window();
    ASSERT_NE(nullptr, help);
    EXPECT_TRUE(IsWindowVisible(help));
    EXPECT_EQ(L"TelvoClient ﾍﾙﾌﾟ", test::WindowText(help));
    Command(32787);  // a second F1 shows the same window
    EXPECT_EQ(help, frame->help().window());

    Command(57665);  // exit: WM_CLOSE closes help, then the frame
    EXPECT_FALSE(IsWindow(help));
    EXPECT_EQ(nullptr, frame->hwnd());
}

}  // namespace
}  // namespace telvo
