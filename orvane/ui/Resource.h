// Numeric ids shared by the viewer's windows, menus, artwork and handlers.
// Every command id here is sent as a wxEVT_MENU event with that id to the main
// window, whether it comes from the context menu, the control panel, the tray
// menu or the remote control.
#pragma once

// ---------------------------------------------------------------- commands
// Control panel buttons, context menu 191 and tray menu 305.
inline constexpr int IDC_SHOW_CONTROL_PANEL = 1001;  // panel "Hide Control Panel", menu show/hide
inline constexpr int IDC_CONFIGURATION = 1002;       // System Settings dialog
inline constexpr int IDC_PAUSE = 1004;               // pause toggle
inline constexpr int IDC_HELP = 1005;
inline constexpr int IDC_OPEN_IMAGES = 1009;         // image browser
inline constexpr int IDC_RECORD = 1010;              // start/stop recording
inline constexpr int IDC_SAVE_IMAGE_AS = 1011;
inline constexpr int IDC_SNAPSHOT = 1012;
inline constexpr int IDC_OPEN_VIDEOS = 1014;         // video browser
inline constexpr int IDC_SCAN_CHANNELS = 1035;
inline constexpr int IDC_CHANNEL_DOWN = 1036;
inline constexpr int IDC_CHANNEL_UP = 1037;

inline constexpr int ID_CLOSE = 32771;               // close operation ("Exit" on the panel)
inline constexpr int ID_APP_ABOUT = 32772;
inline constexpr int ID_MINIMIZE = 32773;
inline constexpr int ID_CHANNEL_LIST = 32774;        // favourite channel dialog
inline constexpr int ID_NORMAL_SIZE = 32775;
inline constexpr int ID_ALWAYS_ON_TOP = 32776;
inline constexpr int ID_VOLUME_UP = 32777;
inline constexpr int ID_FULLSCREEN = 32778;
inline constexpr int ID_VOLUME_DOWN = 32779;
inline constexpr int ID_PROP_CAPTURE_DEVICE = 32780; // property dialog 0 "Video Capture Device"
inline constexpr int ID_PROP_DISPLAY_FORMAT = 32781; // property dialog 2 "Display Format"
inline constexpr int ID_PROP_RECORD_FORMAT = 32782;  // property dialog 1 "Recording Format"
inline constexpr int ID_PROP_INPUT_SELECT = 32783;   // property dialog 3 "Chunnel Selection"
inline constexpr int ID_FORCE_RATIO_43 = 32785;
inline constexpr int ID_STREAM_RUN = 32787;
inline constexpr int ID_STREAM_PAUSE = 32788;
inline constexpr int ID_STREAM_STOP = 32789;
inline constexpr int ID_KEYPAD_TOGGLE = 32790;       // "On/Off Remote-Control Unit"
inline constexpr int ID_OVERLAY_SETTINGS = 32791;
inline constexpr int ID_MUTE = 32795;
inline constexpr int ID_FORCE_SIZE_320 = 32797;      // "320 X 240"
inline constexpr int ID_FORCE_SIZE_640 = 32798;      // "640 X 480"
inline constexpr int ID_TRAY_EXIT = 32799;           // "&Exit Tellura"
inline constexpr int ID_TRAY_RUN = 32800;            // "&Run Tellura"

// Indicator buttons on the control panel (shown and hidden by the main window
// and the keypad). The recording indicator shares its id with "320 X 240";
// indicators therefore never forward clicks.
inline constexpr int IDC_FAVE_INDICATOR = 32792;
inline constexpr int IDC_SINGLE_DIGIT_INDICATOR = 32793;
inline constexpr int IDC_LINE_SOUND_INDICATOR = 32794;
inline constexpr int IDC_REC_INDICATOR = 32797;

// Keypad keys: digit d is IDC_KEY_0 + d.
inline constexpr int IDC_KEY_0 = 1044;
inline constexpr int IDC_KEY_1 = 1045;
inline constexpr int IDC_KEY_2 = 1046;
inline constexpr int IDC_KEY_3 = 1047;
inline constexpr int IDC_KEY_4 = 1048;
inline constexpr int IDC_KEY_5 = 1049;
inline constexpr int IDC_KEY_6 = 1050;
inline constexpr int IDC_KEY_7 = 1051;
inline constexpr int IDC_KEY_8 = 1052;
inline constexpr int IDC_KEY_9 = 1053;
inline constexpr int IDC_KEY_DIGITS = 1054;          // one/two-digit entry switch
inline constexpr int IDC_KEY_SOUND = 1055;           // tuner / line sound switch
inline constexpr int IDC_KEY_HIDE = 2;               // hide the keypad (also Escape)
inline constexpr int KEYPAD_SOUND_KEY = 11;          // PressKey(11) presses IDC_KEY_SOUND

// About box hyperlinks.
inline constexpr int IDC_WEB_LINK = 1019;
inline constexpr int IDC_MAIL_LINK = 1020;

// ---------------------------------------------------------------- menus
inline constexpr int IDR_CONTEXT_MENU = 191;         // main window context menu, popup "Pop"
inline constexpr int IDR_TRAY_MENU = 305;            // also the tray icon id

// ---------------------------------------------------------------- dialog templates
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_ORVANE_DIALOG = 102;
inline constexpr int IDD_CONTROL_PANEL = 192;
inline constexpr int IDD_SPLASH = 193;
inline constexpr int IDD_OVERLAY = 196;
inline constexpr int IDD_FAVOURITES = 204;
inline constexpr int IDD_OSD = 213;
inline constexpr int IDD_KEYPAD = 230;
inline constexpr int IDD_SYSTEM_SETTINGS = 297;

// ---------------------------------------------------------------- icons and bitmaps
inline constexpr int IDR_MAINFRAME = 128;            // program icon, tray icon
inline constexpr int IDI_RECORDING = 306;            // tray icon while recording
inline constexpr int IDB_PANEL = 133;                // control panel background, 320 x 320
inline constexpr int IDB_BORDER_STRIP = 134;         // 365 x 1 colour strip of the animated border
inline constexpr int IDB_KEYPAD = 235;               // keypad background, 135 x 177
inline constexpr int IDB_FIRST_BUTTON = 129;         // button bitmaps 129..296 (without 133, 134, 235)
inline constexpr int IDB_LAST_BUTTON = 296;

// ---------------------------------------------------------------- strings
inline constexpr int IDS_TRAY_TIP = 1;               // "Run Tellura"
inline constexpr const char* kTrayTipText = "Run Tellura";
inline constexpr const char* kNoChannelsHint = "No channels yet: right-click, Channels, Scan Channels";
inline constexpr const char* kFirstScanQuestion =
    "No TV channels are stored yet.\n\nScan for channels now? It takes about a minute.";

// ---------------------------------------------------------------- messages and timers
inline constexpr int WM_BROWSER_CLOSED = 0x901;      // from the image browser
inline constexpr int WM_VIDEO_BROWSER_CLOSED = 0x5831;
inline constexpr int WM_BROWSER_EXITED = 0x5840;       // the image browser's process ended
inline constexpr int WM_SHOW_VIEWER = 0x5841;          // a second start: come forward
inline constexpr int WM_STROVA_NOTIFY = 0x5832;
inline constexpr int WM_REMOTE_KEY = 0x5833;
inline constexpr int WM_TRAY_NOTIFY = 0x5834;        // 22580, the tray callback message
inline constexpr int TIMER_MAIN = 5;                 // main window, 500 ms
inline constexpr int TIMER_OSD = 2;                  // on-screen display, 1000 ms
inline constexpr int TIMER_KEYPAD = 2;               // keypad two-digit lapse, 3000 ms
inline constexpr int TIMER_HYPERLINK = 100;          // hyperlink hover check, 100 ms
