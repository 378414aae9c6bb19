// Channel stepping and number selection on the active table (channel or
// favourite table). The window-side effects go through TuneHost so the rules
// run the same against the card and against a test model.
#pragma once
#include "Settings.h"

#include <string>

namespace orvane {

constexpr int kMinTunableFreq = 47750;  // below this an entry cannot be tuned
constexpr int kStepLimit = 100;         // stepping never reaches 100..299

class TuneHost {
public:
    virtual ~TuneHost() = default;
    virtual void SetFrequency(int kHz) = 0;     // SetTvChannelFreg(0, kHz)
    virtual void SetTunerSound(int on) = 0;     // SetTVSoundData(0, on)
    virtual void HoldLineInput() = 0;           // line input muted, countdown 2
    virtual void ShowNumber(const std::string& text) = 0;   // on-screen display
    virtual void SetDisplayText(const std::string& text) = 0;  // panel display
    virtual void ClearKeypadEntry() = 0;
};

bool TunerInputSelected(const RunTime& rt);
int& ActiveIndex(RunTime& rt);
ChannelRecord* ActiveTable(RunTime& rt);
// "%02d" of the index, then "-" and the name when withName.
std::string ChannelLabel(int index, const char* name);

void NextChannel(RunTime& rt, TuneHost& host);
void PreviousChannel(RunTime& rt, TuneHost& host);
void SelectChannel(RunTime& rt, TuneHost& host, int n);
// Tunes and shows the active entry without changing any index.
void TuneCurrent(RunTime& rt, TuneHost& host);

}  // namespace orvane
