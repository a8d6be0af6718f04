// Resource ids of the launchers. The class file and splash ids differ per flavour.
#pragma once

// Icons
#define IDI_LAUNCHER 129

// Bitmaps
#define IDB_SPLASH_RST 130
#define IDB_SPLASH_BKP 132

// Strings
#define IDS_APP_TITLE 103
#define IDS_WINDOW_CLASS 109

// Class file of the monitor, resource type "IDR_BINARY"
#define IDC_CLASS_RST 131
#define IDC_CLASS_BKP 135

// Commands
#define CMD_CLOSE_SPLASH 105
