// The browser's resource and command ids. wx menu and tool items cannot carry
// ids above 32767: the framework commands map to wx's stock ids and the
// browser's own commands to ItemId(command).
#pragma once

#include <wx/defs.h>

namespace lumora {

inline constexpr int IDR_MAINFRAME = 128;  // menu, toolbar, accelerators, icon
inline constexpr int IDR_IMGMENU = 131;    // holds the pop-up "_IMGPOP"
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_RENAME = 144;        // CImgrn "Rename"
inline constexpr int IDC_RENAME_NAME = 1011;
inline constexpr int IDD_SLIDE_DELAY = 262;   // CDImgTimer "Timed slide show"
inline constexpr int IDC_SLIDE_DELAY = 1055;
inline constexpr int ID_SLIDE_TIMER = 708;
inline constexpr int IDB_TILE_COLUMN0 = 266;  // 128 x 128
inline constexpr int IDB_TILE_COLUMN1 = 264;  // 160 x 160
inline constexpr int IDB_TILE_COLUMN2 = 265;  // 160 x 160

// Commands of menu 128 and toolbar 128.
inline constexpr int ID_ARRANGE_NAME = 32779;
inline constexpr int ID_ARRANGE_DATE = 32780;
inline constexpr int ID_ARRANGE_TYPE = 32781;
inline constexpr int ID_APP_EXIT_TO_VIDEO = 32782;
inline constexpr int ID_NEXT = 32783;
inline constexpr int ID_PREVIOUS = 32785;
inline constexpr int ID_SLIDE_SHOW = 32795;       // image commands
inline constexpr int ID_SLIDE_DELAY = 32797;      // image commands
inline constexpr int ID_USER_MANUAL = 32799;      // toolbar only, never enabled
inline constexpr int ID_FIRST = 32805;
inline constexpr int ID_LAST = 32806;
inline constexpr int ID_RENAME = 32814;           // image commands
inline constexpr int ID_SET_WALLPAPER = 32815;    // image commands
inline constexpr int ID_SET_STARTUP = 32816;      // image commands
inline constexpr int ID_REFRESH = 32831;
inline constexpr int ID_MULTI_IMAGE = 32836;
inline constexpr int ID_DELETE = 32847;           // image commands

// The framework's commands by their numbers, and the stock ids that carry them.
inline constexpr int ID_FILE_NEW = 57600;
inline constexpr int ID_FILE_OPEN = 57601;
inline constexpr int ID_FILE_SAVE_AS = 57604;   // image commands
inline constexpr int ID_FILE_PRINT_SETUP = 57606;
inline constexpr int ID_FILE_PRINT = 57607;
inline constexpr int ID_FILE_PRINT_PREVIEW = 57609;
inline constexpr int ID_APP_ABOUT = 57664;

inline constexpr unsigned WM_LUMORA_CLOSED = 0x901;  // WM_USER + 0x501, to the viewer

inline constexpr int ItemId(int command) {
    switch (command) {
    case ID_FILE_NEW: return wxID_NEW;
    case ID_FILE_OPEN: return wxID_OPEN;
    case ID_FILE_SAVE_AS: return wxID_SAVEAS;
    case ID_FILE_PRINT_SETUP: return wxID_PRINT_SETUP;
    case ID_FILE_PRINT: return wxID_PRINT;
    case ID_FILE_PRINT_PREVIEW: return wxID_PREVIEW;
    case ID_APP_ABOUT: return wxID_ABOUT;
    default: return command > 32767 ? command - 16384 : command;
    }
}

}  // namespace lumora
