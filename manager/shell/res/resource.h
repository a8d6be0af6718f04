// Resource ids of quorvel9x. Plain numbers only: the status table and its native tests use
// the icon ids too, so this header must not need windows.h.
#pragma once

// Dialogs
#define IDD_ABOUTBOX 100
#define IDD_STARTING 102

// Strings
#define IDS_ABOUTBOX 101

// Icons, bitmaps, documents, menus
#define IDR_MAINFRAME 128
#define IDB_BANNER 129
#define IDR_CREDITS 130
#define IDR_TRAYMENU 131
#define IDI_TRAY_STARTED 134
#define IDI_TRAY_STARTING 135
#define IDI_TRAY_STOPPED 136
#define IDI_TRAY_WAITING 138

// Controls
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
#define IDC_BROWSER 3
#define IDC_CREDITS 1000
#define IDC_PROGRESS 1003
#define IDC_MINIMIZE 1005
#define IDC_STOP 1006
#define IDC_SITE 1007
#define IDC_STATUS_TEXT 1009

// Commands: system menu, notification menu, the framework's application exit
#define IDM_ABOUTBOX 0x0010
#define ID_TRAY_START 32775
#define ID_TRAY_STOP 32776
#define ID_TRAY_ABOUT 32780
#define ID_APP_EXIT 0xE141
