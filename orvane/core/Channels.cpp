#include "Channels.h"

#include <algorithm>
#include <cstdio>

namespace orvane {

bool TunerInputSelected(const RunTime& rt) {
    return rt.vidSource == (rt.cardModel == 1 ? 1 : 0);
}

int& ActiveIndex(RunTime& rt) { return rt.useFave ? rt.furTune : rt.curTune; }

ChannelRecord* ActiveTable(RunTime& rt) { return rt.useFave ? rt.faves : rt.channels; }

std::string ChannelLabel(int index, const char* name) {
    char num[16];
    std::snprintf(num, sizeof num, "%02d", index);
    std::string label(num);
    if (name) label += std::string("-") + name;
    return label;
}

namespace {

int StepLimit(const RunTime& rt) {
    return rt.useFave ? rt.faveNum : std::min(rt.totalTv, kStepLimit);
}

bool ValidIndex(int i) { return i >= 0 && i < kChannelCount; }

void TuneAndShow(RunTime& rt, TuneHost& host, int n) {
    const ChannelRecord& e = ActiveTable(rt)[n];
    host.SetFrequency(e.freq);
    host.ShowNumber(ChannelLabel(n, nullptr));
    host.SetDisplayText(ChannelLabel(n, e.name));
    ActiveIndex(rt) = n;
    host.SetTunerSound(1);
}

bool BeginStep(RunTime& rt, TuneHost& host) {
    if (!TunerInputSelected(rt) || rt.totalTv == 0) return false;
    if (StepLimit(rt) <= 0) return false;  // favourites on with none stored
    host.HoldLineInput();
    host.SetTunerSound(0);
    return true;
}

}  // namespace

void NextChannel(RunTime& rt, TuneHost& host) {
    if (!BeginStep(rt, host)) return;
    int limit = StepLimit(rt);
    int c = ActiveIndex(rt);
    rt.prevTune = c;
    int n = c + 1;
    if (n >= limit || n < 0) n = 0;
    TuneAndShow(rt, host, n);
}

void PreviousChannel(RunTime& rt, TuneHost& host) {
    if (!BeginStep(rt, host)) return;
    int c = std::min(ActiveIndex(rt), kStepLimit);
    rt.prevTune = c;
    int n = c - 1;
    if (n < 0 || n >= StepLimit(rt)) n = StepLimit(rt) - 1;
    TuneAndShow(rt, host, n);
}

void SelectChannel(RunTime& rt, TuneHost& host, int n) {
    if (!TunerInputSelected(rt)) return;
    host.HoldLineInput();
    host.SetTunerSound(0);
    host.ClearKeypadEntry();
    int count = rt.useFave ? rt.faveNum : rt.totalTv;
    int old = ActiveIndex(rt);
    // An out-of-table current index (damaged settings) does not block selection.
    bool blocked = ValidIndex(old) && ActiveTable(rt)[old].freq < kMinTunableFreq;
    if (n < 0 || n > count - 1 || !ValidIndex(n) || blocked) {
        host.SetTunerSound(1);
        return;
    }
    TuneAndShow(rt, host, n);
    if (n != old && ValidIndex(old)) rt.prevTune = old;
}

void TuneCurrent(RunTime& rt, TuneHost& host) {
    int n = ActiveIndex(rt);
    if (!ValidIndex(n)) n = ActiveIndex(rt) = 0;
    const ChannelRecord& e = ActiveTable(rt)[n];
    host.SetFrequency(e.freq);
    host.ShowNumber(ChannelLabel(n, nullptr));
    host.SetDisplayText(ChannelLabel(n, e.name));
}

}  // namespace orvane
