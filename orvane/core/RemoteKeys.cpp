#include "RemoteKeys.h"

#include <algorithm>

namespace orvane {

std::vector<int> RemotePoller::Codes(int word) {
    if (word & 0x100) return {kNoKey};
    int code = word & 0xFF;
    if (code == kRepeatCode) return {code, last_ | kHeldBit};
    last_ = code;
    return {code};
}

bool KeyFilter::Accept(int code) {
    if (code == last_) return false;
    last_ = code;
    return true;
}

namespace {

int DigitOf(int code) {
    static const int digits[10] = {18, 144, 184, 248, 152, 216, 136, 232, 72, 104};
    for (int d = 0; d < 10; ++d)
        if (digits[d] == code) return d;
    return -1;
}

}  // namespace

RemoteCommand MapRemoteCode(int code) {
    using A = RemoteAction;
    int digit = DigitOf(code);
    if (digit >= 0) return {A::Digit, digit};
    switch (code) {
    case 32: return {A::KeypadDash, 10};
    case 0: return {A::PrevChannel, 1};
    case 50: return {A::NextChannel, 1};
    case 2: return {A::LastChannel, 1};
    case 8: return {A::Close, 1};
    case 42: return {A::Record, 1};
    case 48: return {A::TogglePanel, 1};
    case 56: return {A::FullScreen, 1};
    case 64: return {A::NextInput, 1};
    case 80: return {A::ColourDefaults, 1};
    case 88: return {A::ColourUp, 1};
    case 112: return {A::ColourDown, 1};
    case 120: return {A::ColourCycle, 1};
    case 96: return {A::Mute, 1};
    case 160: return {A::Snapshot, 1};
    case 168: return {A::VolumeDown, 1};
    case 176: return {A::VolumeUp, 1};
    case 178: return {A::Pause, 1};
    case 88 | kHeldBit: return {A::ColourUp, 1};
    case 112 | kHeldBit: return {A::ColourDown, 1};
    case 168 | kHeldBit: return {A::VolumeDown, 2};
    case 176 | kHeldBit: return {A::VolumeUp, 2};
    default: return {};
    }
}

namespace {

bool ValidControl(int c) { return c >= 0 && c <= 3; }

}  // namespace

int ColourMax(int cardModel, int control) {
    if (cardModel == 1) return 10000;
    static const int max[4] = {255, 127, 127, 255};
    return ValidControl(control) ? max[control] : 0;
}

int ColourStep(int cardModel, int control, int value, bool up) {
    static const int step[4] = {6, 3, 3, 6};
    if (!ValidControl(control)) return value;
    int s = cardModel == 1 ? 200 : step[control];
    int v = up ? value + s : value - s;
    return std::clamp(v, 0, ColourMax(cardModel, control));
}

int ColourProperty(int control) {
    static const int prop[4] = {0, 1, 3, 2};
    return ValidControl(control) ? prop[control] : 0;
}

const char* ColourLabel(int control) {
    static const char* labels[4] = {"BRIGHT", "CONTRA", "SATURA", "SETHUE"};
    return ValidControl(control) ? labels[control] : "";
}

int ColourDefault(int cardModel, int control) {
    static const int defaults[4] = {128, 68, 64, 0};
    if (!ValidControl(control)) return 0;
    return cardModel == 1 ? 5000 : defaults[control];
}

int VolumeStep(int volume, bool up) {
    return std::clamp(up ? volume + 1500 : volume - 1500, 0, kVolumeMax);
}

}  // namespace orvane
