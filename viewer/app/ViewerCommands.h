// The viewer's command identifiers (menu items, accelerator keys, panel buttons) and resource
// numbers. The resource script uses the same numbers.
#pragma once

namespace telvo {

inline constexpr int kMainFrameResource = 128;  // menu, accelerators, icon and caption string
inline constexpr int kAboutDialog = 100;
inline constexpr int kSocketsFailedString = 104;
inline constexpr int kApplicationTitleString = 57344;
inline constexpr int kHandCursor = 152;
inline constexpr int kControlPanelDialog = 130;
inline constexpr int kChannelIcon1 = 143;  // digits 1 to 5: 143 to 147
inline constexpr int kFullScreenIcon = 150;
inline constexpr int kMemoIcon = 166;
inline constexpr int kSaveIcon = 167;

inline constexpr int kCommandFullScreen = 32772;
inline constexpr int kCommandFixedAspect = 32773;  // view mode commands: 32773 + viewMode
inline constexpr int kCommandActualSize = 32774;
inline constexpr int kCommandFitToWindow = 32775;
inline constexpr int kCommandChannel1 = 32777;  // channel commands: 32777 + channelIndex
inline constexpr int kCommandChannel5 = 32781;
inline constexpr int kCommandSave = 32782;
inline constexpr int kCommandContinuousSave = 32783;
inline constexpr int kCommandSaveSettings = 32784;
inline constexpr int kCommandControlPanel = 32785;
inline constexpr int kCommandMemo = 32786;
inline constexpr int kCommandHelp = 32787;
inline constexpr int kCommandAbout = 57664;
inline constexpr int kCommandExit = 57665;

// The view window's child identifier in the frame.
inline constexpr int kViewChildId = 0xE900;

// How a menu item looks, as the update rules of the command's handler decide.
struct CommandState {
    bool enabled = true;
    bool checked = false;
    bool radio = false;  // the check is a radio dot rather than a check mark
};

}  // namespace telvo
