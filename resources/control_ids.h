// Resource ids of zt615_control. The ids of windows, dialogs, menus and controls are the ones
// the program has always used (dialog procedures and tests find controls by them); our own
// strings follow in a range of their own.
#pragma once

// Strings, icons, menu and accelerators of the main window.
#define IDS_APP_TITLE 103
#define IDC_ZT615_CONTROL 109  // class-name string, menu and accelerator table
#define IDI_ZT615_CONTROL 107
#define IDI_SMALL 140

// Menu and accelerator commands.
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDM_VIEWER_SETTINGS 32774
#define IDM_OPEN_TIMERS 32775  // ours: File > Open Timers...
#define IDM_CLOSE_DATA 32776   // ours: File > Close Data

// Dialog templates.
#define IDD_ABOUTBOX 103
#define IDD_ADD_TIMER 107
#define IDD_TIME_SYNC 132
#define IDD_DEFAULT_TIMER 134
#define IDD_UPLOAD_SETTINGS 135
#define IDD_EXPORT_FILE 136
#define IDD_VIEWER_SETTINGS 137
#define IDD_DEVICE_INFO 138
#define IDD_QUIT_EXPORT 139  // ours: leaving while an export is being written

// About box: the icon control.
#define IDC_ABOUT_ICON 140

// Device info: seven text lines.
#define IDC_INFO_LINE_FIRST 1059  // ... 1065
#define IDC_INFO_LINE_LAST 1065

// Time synchronize.
#define IDC_SYNC_HOST_DATE 1009
#define IDC_SYNC_HOST_TIME 1010
#define IDC_SYNC_DEVICE_DATE 1055
#define IDC_SYNC_DEVICE_TIME 1012
#define IDC_SYNC_SYNC 1000
#define IDC_SYNC_CANCEL 1014

// Upload settings.
#define IDC_UPLOAD_DEFAULT 1056
#define IDC_UPLOAD_ADDED 1057
#define IDC_UPLOAD_PROGRESS 1058

// Default Timer and Add Timer.
#define IDC_TIMER_NAME 1054
#define IDC_TIMER_START_DATE 1010
#define IDC_TIMER_START_TIME 1012
#define IDC_TIMER_STOP_DATE 1009
#define IDC_TIMER_STOP_TIME 1013
#define IDC_TIMER_RANGE 1002
#define IDC_TIMER_TX_LENGTH 1003
#define IDC_TIMER_PERIOD 1004
#define IDC_TIMER_PINGS 1031
#define IDC_TIMER_INTERVAL 1052
#define IDC_TIMER_INTERVAL_UNIT 1037
#define IDC_TIMER_THRESHOLD 1005
#define IDC_TIMER_DEADZONE 1030
#define IDC_TIMER_GAIN 1006
#define IDC_TIMER_TVG_SLOPE 1019
#define IDC_TIMER_SOUND_SPEED 1053
#define IDC_TIMER_FILE_SIZE 1007
#define IDC_TIMER_BLUETOOTH 1064
#define IDC_TIMER_SD_SAVE 1072
#define IDC_TIMER_OUTPUT_FORMAT 1067
#define IDC_TIMER_ALT_PRECISION 1073
#define IDC_TIMER_OUTPUT_TILT 1069
#define IDC_TIMER_OUTPUT_TIME 1070
#define IDC_TIMER_OUTPUT_WATER_TEMP 1071
#define IDC_TIMER_STORE 1014  // "Set" / "Add"
#define IDC_TIMER_CANCEL 1015

// Export file.
#define IDC_EXPORT_FORMAT 1002
#define IDC_EXPORT_OVERRIDE 1064
#define IDC_EXPORT_THRESHOLD 1005
#define IDC_EXPORT_DEADZONE 1030
#define IDC_EXPORT_AMPLITUDE 1006
#define IDC_EXPORT_SOUND_SPEED 1053
#define IDC_EXPORT_PROGRESS 1058

// Viewer settings.
#define IDC_VIEW_SPAN 1002
#define IDC_VIEW_MAX_ALTITUDE 1003
#define IDC_VIEW_GAMMA 1004
#define IDC_VIEW_RAINBOW 1056
#define IDC_VIEW_YELLOW 1057

// Leaving while an export is being written (ours).
#define IDC_QUIT_TEXT 1100
#define IDC_QUIT_WAIT 1101
#define IDC_QUIT_DISCARD 1102

// Our own strings.
#define IDS_CAPTION_ERROR 2001
#define IDS_NO_SERIAL_PORT 2002
#define IDS_TOO_MANY_TIMERS 2003
#define IDS_EXPORT_RUNNING 2004
#define IDS_FILTER_BIN 2005
#define IDS_FILTER_DAT 2006
#define IDS_FILTER_LOG 2007
#define IDS_DISCONNECTED 2008
#define IDS_CONNECTED 2009
#define IDS_SAVE_TIMERS 2010
#define IDS_TIMERS_DAT 2011
#define IDS_FILTER_CSV 2012
#define IDS_OPEN_TIMERS_CAPTION 2013
