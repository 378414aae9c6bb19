// The control panel's and the keypad's buttons: command id, position, the four
// bitmaps (hover, normal, pressed, disabled), size, toggle, tooltip, and the
// pictogram the skin draws on them.
#pragma once

#include <array>
#include <span>

#include "orvane/ui/Resource.h"

enum class Glyph {
    About, Videos, Images, Record, SaveAs, Snapshot, HidePanel, Exit, Minimize, Pause, Help,
    OnTop, Config, Fullscreen, NormalSize, Mute, VolumeUp, VolumeDown, Scan, ChannelDown,
    ChannelUp, ChannelList, Keypad, FaveLed, RecLed, SingleLed, LineLed,
    Digit0, Digit1, Digit2, Digit3, Digit4, Digit5, Digit6, Digit7, Digit8, Digit9,
    SoundSource, DigitMode, Close
};

struct ButtonSpec {
    int id;
    int x, y;
    std::array<int, 4> bitmaps;  // hover, normal, pressed, disabled
    int w, h;
    bool toggle;
    bool indicator;              // shown/hidden by the viewer, never forwards clicks
    const char* tip;
    Glyph glyph;
};

// Off-panel position of buttons that exist but are never visible.
inline constexpr int kOffPanel = 3000;

inline constexpr ButtonSpec kPanelButtons[] = {
    {ID_APP_ABOUT, 142, 11, {135, 136, 137, 137}, 35, 25, false, false, "About...", Glyph::About},
    {IDC_OPEN_VIDEOS, 123, 202, {164, 148, 149, 146}, 21, 29, false, false, "Open Video Files", Glyph::Videos},
    {IDC_OPEN_IMAGES, 180, 202, {151, 152, 153, 150}, 23, 29, false, false, "Open Image Files", Glyph::Images},
    {IDC_RECORD, 152, 162, {159, 160, 161, 158}, 22, 17, true, false, "Start Recording", Glyph::Record},
    // Keeps its template position, 187 x 30 dialog units.
    {IDC_SAVE_IMAGE_AS, 280, 49, {180, 181, 165, 179}, 21, 21, false, false, "Save Current Image as...", Glyph::SaveAs},
    {IDC_SNAPSHOT, 144, 183, {155, 156, 157, 154}, 35, 35, false, false, "Snapshot", Glyph::Snapshot},
    {IDC_SHOW_CONTROL_PANEL, 123, 259, {172, 173, 174, 171}, 76, 20, false, false, "Hide Control Panel", Glyph::HidePanel},
    {ID_CLOSE, 284, 179, {143, 144, 145, 142}, 22, 22, false, false, "Exit", Glyph::Exit},
    {ID_MINIMIZE, 285, 122, {188, 189, 190, 187}, 22, 22, false, false, "Minimize", Glyph::Minimize},
    {IDC_PAUSE, 182, 176, {176, 177, 178, 175}, 16, 18, true, false, "Pause", Glyph::Pause},
    {IDC_HELP, 287, 150, {130, 131, 132, 129}, 22, 22, false, false, "Help", Glyph::Help},
    {ID_ALWAYS_ON_TOP, 13, 122, {184, 185, 186, 183}, 22, 22, true, false, "Always On Top", Glyph::OnTop},
    {IDC_CONFIGURATION, 151, 222, {167, 168, 169, 166}, 25, 20, false, false, "Configuration...", Glyph::Config},
    {ID_FULLSCREEN, 14, 179, {163, 147, 182, 162}, 22, 22, true, false, "Fullscreen", Glyph::Fullscreen},
    {ID_NORMAL_SIZE, 11, 150, {139, 140, 141, 138}, 22, 22, false, false, "Normal Size", Glyph::NormalSize},
    {ID_MUTE, 124, 171, {291, 293, 290, 290}, 19, 23, true, false, "Mute", Glyph::Mute},
    {ID_VOLUME_UP, 206, 157, {223, 225, 224, 222}, 61, 94, false, false, "Volume Up", Glyph::VolumeUp},
    {ID_VOLUME_DOWN, 54, 157, {227, 229, 228, 226}, 63, 94, false, false, "Volume Down", Glyph::VolumeDown},
    {IDC_SCAN_CHANNELS, kOffPanel, 128, {215, 214, 216, 217}, 22, 22, false, false, "Start/Stop Scanning Channels", Glyph::Scan},
    {IDC_CHANNEL_DOWN, kOffPanel, 200, {210, 212, 211, 209}, 61, 50, false, false, "Channel Down", Glyph::ChannelDown},
    {IDC_CHANNEL_UP, kOffPanel, 157, {206, 208, 207, 205}, 61, 44, false, false, "Channel Up", Glyph::ChannelUp},
    {ID_CHANNEL_LIST, kOffPanel, 252, {219, 221, 220, 218}, 44, 39, false, false, "Channel List", Glyph::ChannelList},
    {ID_KEYPAD_TOGGLE, kOffPanel, 252, {232, 234, 233, 231}, 44, 39, false, false, "On/Off Remote-Control Unit", Glyph::Keypad},
    {IDC_FAVE_INDICATOR, 74, 106, {288, 288, 288, 288}, 23, 17, false, true, "", Glyph::FaveLed},
    {IDC_REC_INDICATOR, 167, 63, {296, 296, 296, 296}, 17, 10, false, true, "", Glyph::RecLed},
    {IDC_SINGLE_DIGIT_INDICATOR, kOffPanel, 63, {289, 289, 289, 289}, 17, 10, false, true, "", Glyph::SingleLed},
    {IDC_LINE_SOUND_INDICATOR, kOffPanel, 104, {294, 294, 294, 294}, 24, 23, false, true, "", Glyph::LineLed},
};

inline constexpr ButtonSpec kKeypadButtons[] = {
    {IDC_KEY_1, 21, 31, {241, 243, 242, 240}, 27, 27, false, false, "Select channel 1", Glyph::Digit1},
    {IDC_KEY_2, 54, 31, {245, 246, 244, 247}, 27, 27, false, false, "Select channel 2", Glyph::Digit2},
    {IDC_KEY_3, 86, 31, {249, 251, 250, 248}, 27, 27, false, false, "Select channel 3", Glyph::Digit3},
    {IDC_KEY_4, 21, 65, {253, 255, 254, 252}, 27, 27, false, false, "Select channel 4", Glyph::Digit4},
    {IDC_KEY_5, 54, 65, {257, 259, 258, 256}, 27, 27, false, false, "Select channel 5", Glyph::Digit5},
    {IDC_KEY_6, 86, 65, {261, 263, 262, 260}, 27, 27, false, false, "Select channel 6", Glyph::Digit6},
    {IDC_KEY_7, 21, 99, {265, 267, 266, 264}, 27, 27, false, false, "Select channel 7", Glyph::Digit7},
    {IDC_KEY_8, 54, 99, {269, 271, 270, 268}, 27, 27, false, false, "Select channel 8", Glyph::Digit8},
    {IDC_KEY_9, 86, 99, {273, 275, 274, 272}, 27, 27, false, false, "Select channel 9", Glyph::Digit9},
    {IDC_KEY_0, 54, 133, {237, 239, 238, 236}, 27, 27, false, false, "Select channel 0", Glyph::Digit0},
    {IDC_KEY_SOUND, 21, 133, {277, 279, 278, 276}, 27, 27, false, false, "Off/On TV Sound", Glyph::SoundSource},
    {IDC_KEY_DIGITS, 86, 133, {285, 287, 286, 284}, 27, 27, false, false, "Channel key-press selection", Glyph::DigitMode},
    {IDC_KEY_HIDE, 58, 5, {281, 283, 282, 280}, 20, 20, false, false, "Hide remote-control unit panel", Glyph::Close},
};

// The panel's window shape: 65 vertices around (160, 160), radius about 152.
inline constexpr int kPanelShape[65][2] = {
    {8, 179}, {8, 146}, {11, 123}, {15, 110}, {17, 103}, {21, 95}, {23, 90}, {29, 79}, {38, 67},
    {45, 59}, {45, 58}, {58, 45}, {59, 45}, {67, 38}, {78, 31}, {95, 21}, {118, 12}, {140, 8},
    {179, 8}, {195, 11}, {215, 17}, {230, 24}, {248, 35}, {260, 45}, {261, 45}, {275, 59},
    {275, 60}, {285, 72}, {293, 85}, {301, 101}, {305, 113}, {308, 124}, {311, 141}, {311, 179},
    {308, 197}, {302, 216}, {294, 233}, {286, 246}, {280, 254}, {275, 260}, {260, 275},
    {254, 280}, {247, 285}, {238, 291}, {227, 297}, {216, 302}, {200, 307}, {183, 310},
    {178, 311}, {141, 311}, {127, 309}, {113, 305}, {97, 299}, {87, 294}, {77, 288}, {67, 281},
    {59, 275}, {44, 260}, {38, 252}, {30, 242}, {23, 229}, {18, 218}, {13, 204}, {9, 186},
    {8, 179}};

inline constexpr int kPanelSize = 320;
inline constexpr int kKeypadWidth = 135, kKeypadHeight = 177;
inline constexpr int kKeypadDockX = 311, kKeypadDockY = 70;   // keypad offset from the panel
