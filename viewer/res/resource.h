// Resource and command identifiers of TelvoClient, used by its resource scripts, its code and its
// tests.
#pragma once

// Menu, accelerators, program icon and caption string of the main frame.
#define IDR_MAINFRAME 128

#define IDD_ABOUTBOX 100
#define IDD_CONTROL_PANEL 130
#define IDD_SAVE_SETTINGS 131

#define IDS_SOCKETS_FAILED 104
#define IDS_APP_TITLE 57344

#define IDC_PAN_HAND 152

// Icons of the control panel's buttons and of the save settings dialog.
#define IDI_CHANNEL1 143
#define IDI_CHANNEL2 144
#define IDI_CHANNEL3 145
#define IDI_CHANNEL4 146
#define IDI_CHANNEL5 147
#define IDI_FULL_SCREEN 150
#define IDI_MEMO 166
#define IDI_SAVE 167
#define IDI_INTERVAL 169
#define IDI_FOLDER 170

// Buttons of the control panel.
#define IDC_CHANNEL1 1005
#define IDC_CHANNEL2 1006
#define IDC_CHANNEL3 1007
#define IDC_CHANNEL4 1008
#define IDC_CHANNEL5 1009
#define IDC_SAVE 1010
#define IDC_MEMO 1011
#define IDC_FULL_SCREEN 1013

// Controls of the save settings dialog.
#define IDC_SAVE_DIR_EDIT 1013
#define IDC_BROWSE 1014
#define IDC_SAVE_INTERVAL_EDIT 1015

// Commands: menu items, accelerator keys and panel buttons.
#define ID_VIEW_FULL_SCREEN 32772
#define ID_VIEW_FIXED_ASPECT 32773  // the view modes follow in their order
#define ID_VIEW_ACTUAL_SIZE 32774
#define ID_VIEW_FIT_TO_WINDOW 32775
#define ID_CHANNEL1 32777  // channels 1 to 5 follow in their order
#define ID_CHANNEL2 32778
#define ID_CHANNEL3 32779
#define ID_CHANNEL4 32780
#define ID_CHANNEL5 32781
#define ID_SAVE 32782
#define ID_CONTINUOUS_SAVE 32783
#define ID_SAVE_SETTINGS 32784
#define ID_CONTROL_PANEL 32785
#define ID_MEMO 32786
#define ID_HELP_TOPICS 32787
#define ID_APP_ABOUT 57664
#define ID_APP_EXIT 57665
