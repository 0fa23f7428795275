// Numeric ids of the program's resources, of the controls in its dialogs and of
// the commands of its menus. The resource script (res/swipetype.resources) names
// them; swipetype-rc takes their values from this file, so each id is written
// once. It reads lines of the form "constexpr int NAME = NUMBER;" only.
#pragma once

// Strings.
constexpr int IDS_TITLE = 1;            // window title and tray tip
constexpr int IDS_PAINTED = 2;          // painted in the main window
constexpr int IDS_CLASS_NAME = 3;       // the main window's class
constexpr int IDS_OPTIONS_BUTTON = 104; // the menu bar button's caption

// Menus, the menu bar and the accelerator table.
constexpr int IDR_MENU_BAR = 102;   // the menu bar, and the menu its button opens
constexpr int IDR_TRAY_POPUP = 105; // the menu whose first popup a tray tap opens
constexpr int IDR_ACCELERATORS = 3;

// Commands of the menu bar's menu and the tray's popup menu.
constexpr int IDM_ABOUT = 40003;
constexpr int IDM_EXIT = 40004;
constexpr int IDM_RESET_DEFAULTS = 40013;
constexpr int IDM_POPUP_SHOW = 40019;
constexpr int IDM_POPUP_ABOUT = 40020;
constexpr int IDM_POPUP_EXIT = 40021;
// The menu bar's button, and the command Ctrl+Q gives.
constexpr int IDM_MENU_BAR_BUTTON = 40001;
constexpr int IDM_QUIT_KEY = 1;

// Dialog templates.
constexpr int IDD_OPTIONS = 102;
constexpr int IDD_ABOUT = 103;

// Controls of the options dialog (template 102).
constexpr int IDC_READING_LABEL = 1002;
constexpr int IDC_READING_ENABLE = 1003;
constexpr int IDC_READING_DISABLE = 1004;
constexpr int IDC_BEEP_LABEL = 1005;
constexpr int IDC_BEEP_ENABLE = 1006;
constexpr int IDC_BEEP_DISABLE = 1007;
constexpr int IDC_INPUT_LABEL = 1008;
constexpr int IDC_INPUT_MSR = 1009;
constexpr int IDC_INPUT_RFID = 1010;
constexpr int IDC_AUTOSTART_ENABLE = 1011;
constexpr int IDC_AUTOSTART_DISABLE = 1012;
constexpr int IDC_PREFIX_LABEL = 1013;
constexpr int IDC_PREFIX = 1014;
constexpr int IDC_SUFFIX_LABEL = 1015;
constexpr int IDC_SUFFIX = 1016;
constexpr int IDC_SEND_ENTER = 1017;
constexpr int IDC_SEND_TAB = 1018;
constexpr int IDC_TRACKS_LABEL = 1019;
constexpr int IDC_SEPARATOR_LABEL = 1023;
constexpr int IDC_TRACK_SEPARATOR = 1024;
constexpr int IDC_TRACK1 = 1025;
constexpr int IDC_TRACK2 = 1026;
constexpr int IDC_TRACK3 = 1027;
constexpr int IDC_SEND_AFTER_LABEL = 1028;
constexpr int IDC_AUTOSTART_LABEL = 1030;
constexpr int IDC_OK = 1031;
constexpr int IDC_QUIT = 1032;
constexpr int IDC_INPUT_LINE = 1033;

// Controls of the About dialog (template 103).
constexpr int IDC_ABOUT_MAKER = 1009;
constexpr int IDC_ABOUT_OK = 1032;

// Icons.
constexpr int IDI_SWIPETYPE = 101;
constexpr int IDI_READING_ENABLED = 102;
constexpr int IDI_READING_DISABLED = 103;
