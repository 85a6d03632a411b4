// Resource and command identifiers of TelvoServer.
#pragma once

#define IDI_PROGRAM 108
#define IDI_IDLE 109
#define IDI_SENDING 110
#define IDI_CAPTURE 114
#define IDI_CHANNEL 116
#define IDI_ERROR 117

#define IDR_TRAY_MENU 111
#define IDD_SETTINGS 104

#define IDC_INTERVAL_EDIT 1011
#define IDC_INTERVAL_SPIN 1012
#define IDC_CHANNEL_EDIT 1013
#define IDC_CHANNEL_SPIN 1014
#define IDC_COMPRESS 1026
#define IDC_MONITOR 1027

#define ID_SETTINGS 40001
#define ID_EXIT 40002
#define ID_STOP 40006
#define ID_START 40008
#define ID_HELP_TOPICS 40010
