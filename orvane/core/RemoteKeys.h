// Remote-control codes: what the polling thread sends for each receiver word,
// the repeated-code filter of the main window, and the code-to-action table.
#pragma once
#include <vector>

namespace orvane {

constexpr int kNoKey = 0x1FF;
constexpr int kRepeatCode = 0xFF;
constexpr int kHeldBit = 0x400;

enum class RemoteAction {
    None, Digit, KeypadDash, PrevChannel, NextChannel, LastChannel, Close,
    Record, TogglePanel, FullScreen, NextInput, ColourDefaults, ColourUp,
    ColourDown, ColourCycle, Mute, Snapshot, VolumeDown, VolumeUp, Pause,
};

struct RemoteCommand {
    RemoteAction action = RemoteAction::None;
    int arg = 0;  // digit for Digit; repeat count for held keys
};

// Receiver side: turns one GetRemoteData word into the codes to send.
class RemotePoller {
public:
    std::vector<int> Codes(int word);
private:
    int last_ = 0;
};

// Main-window side: drops a code equal to the last handled one.
class KeyFilter {
public:
    bool Accept(int code);
private:
    int last_ = 256;
};

RemoteCommand MapRemoteCode(int code);

// Colour control raise/lower with the card model's step and range.
// control: 0 brightness, 1 contrast, 2 saturation, 3 hue (cycle order).
int ColourStep(int cardModel, int control, int value, bool up);
int ColourMax(int cardModel, int control);
int ColourProperty(int control);     // property number for the library
const char* ColourLabel(int control);
int ColourDefault(int cardModel, int control);

// Volume step of 1500 within 0..65530.
constexpr int kVolumeMax = 65530;
int VolumeStep(int volume, bool up);

}  // namespace orvane
