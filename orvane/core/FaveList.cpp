#include "FaveList.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace orvane {

namespace {

void SetName(ChannelRecord& e, const std::string& name) {
    std::snprintf(e.name, sizeof e.name, "%s", name.c_str());
}

}  // namespace

FaveEditor::FaveEditor(const RunTime& rt, TuneHost& host) : host_(host) {
    std::memcpy(channels_, rt.channels, sizeof channels_);
    std::memcpy(faves_, rt.faves, sizeof faves_);
    // Stored counts are bounded at load; clamp again so no index leaves a table.
    totalTv_ = std::clamp(rt.totalTv, 0, kChannelCount);
    faveNum_ = std::clamp(rt.faveNum, 0, kChannelCount);
    curTune_ = std::clamp(rt.curTune, 0, kChannelCount - 1);
    furTune_ = std::clamp(rt.furTune, 0, kChannelCount - 1);
    useFave_ = rt.useFave != 0;
    active_ = useFave_ ? kFaves : kChannels;
}

void FaveEditor::Open() {
    name_[kChannels] = channels_[curTune_].name;
    name_[kFaves] = faves_[furTune_].name;
    slider_[kChannels] = slider_[kFaves] = 0;
    Refill(true, true);
    // The side in use is active with its row selected: its buttons work at
    // once, as after a click on that row ("Add >>" for the channel list,
    // "Up"/"Down" for the favourites).
    const Side on = useFave_ ? kFaves : kChannels;
    const bool empty = totalTv_ == 0;
    EnableSide(on);
    if (empty) addOn_ = upDownOn_ = false;
    if (Current(on) < Count(on)) host_.SetFrequency(Entry(on, Current(on)).freq);
}

std::string FaveEditor::RowText(Side s, int i) const {
    char num[16];
    std::snprintf(num, sizeof num, "%03d-", i);
    return num + std::string(Entry(s, i).name);
}

int FaveEditor::SelectedRow(Side s) const { return Current(s) < Count(s) ? Current(s) : 0; }

int FaveEditor::TakeDirty() { return std::exchange(dirty_, 0); }

int FaveEditor::FindFreq(Side s, int freq) const {
    for (int i = 0; i < Count(s); ++i)
        if (Entry(s, i).freq == freq) return i;
    return -1;
}

// Tuning an entry: line input held, tuner sound off, tune, the entry's name
// into the side's field, slider back to 0, tuner sound on.
void FaveEditor::TuneEntry(Side s, int index) {
    if (index < 0 || index >= Count(s)) return;  // nothing there to receive
    host_.HoldLineInput();
    host_.SetTunerSound(0);
    host_.SetFrequency(Entry(s, index).freq);
    name_[s] = Entry(s, index).name;
    slider_[s] = 0;
    host_.SetTunerSound(1);
}

void FaveEditor::RefillSide(Side s) {
    dirty_ |= 1 << s;
    TuneEntry(s, Current(s));
}

// Favourites first, so that with both the channel is tuned last. An empty
// channel table empties the favourites too and leaves nothing to add or move.
void FaveEditor::Refill(bool channels, bool faves) {
    if (totalTv_ == 0) {
        faveNum_ = 0;
        curTune_ = 0;
        addOn_ = upDownOn_ = false;
        dirty_ = 3;
        return;
    }
    if (faves) RefillSide(kFaves);
    if (channels) RefillSide(kChannels);
}

void FaveEditor::EnableSide(Side s) {
    sideOn_[s] = true;
    sideOn_[1 - s] = false;
    addOn_ = s == kChannels;
    upDownOn_ = s == kFaves;
}

void FaveEditor::SelectRow(Side s, int row) {
    if (row < 0 || row >= Count(s)) return;
    EnableSide(s);
    Cur(s) = row;
    TuneEntry(s, row);
    active_ = s;
}

FaveEditor::AddResult FaveEditor::Add() {
    if (curTune_ >= totalTv_) return AddResult::Duplicate;
    const ChannelRecord& ch = channels_[curTune_];
    if (FindFreq(kFaves, ch.freq) >= 0) return AddResult::Duplicate;
    if (faveNum_ >= kChannelCount) return AddResult::Full;
    // Inserted at the current favourite's place; a stale position beyond the
    // list appends instead of leaving a gap.
    const int pos = std::min(furTune_, faveNum_);
    std::memmove(&faves_[pos + 1], &faves_[pos], sizeof(ChannelRecord) * (faveNum_ - pos));
    faves_[pos] = ch;
    furTune_ = pos;
    ++faveNum_;
    RefillSide(kFaves);
    return AddResult::Added;
}

void FaveEditor::MoveUp() {
    if (furTune_ <= 0 || faveNum_ < 2 || furTune_ >= faveNum_) return;
    std::swap(faves_[furTune_], faves_[furTune_ - 1]);
    --furTune_;
    RefillSide(kFaves);
}

void FaveEditor::MoveDown() {
    if (faveNum_ < 2 || furTune_ >= faveNum_ - 1) return;
    std::swap(faves_[furTune_], faves_[furTune_ + 1]);
    ++furTune_;
    RefillSide(kFaves);
}

// A renamed entry passes its name to the first entry of the other table
// with the same frequency.
void FaveEditor::Rename(Side s, const std::string& name) {
    if (Current(s) >= Count(s)) return;
    ChannelRecord& e = Table(s)[Current(s)];
    if (s == kChannels && name == e.name) return;
    SetName(e, name.substr(0, std::min(name.size(), sizeof e.name - 1)));
    const Side other = s == kChannels ? kFaves : kChannels;
    const int twin = FindFreq(other, e.freq);
    if (twin >= 0) SetName(Table(other)[twin], e.name);
    if (s == kChannels) {
        Refill(true, twin >= 0);
    } else {
        if (twin >= 0) RefillSide(kChannels);
        RefillSide(kFaves);
    }
}

void FaveEditor::Delete(Side s) {
    if (Count(s) == 0 || Current(s) >= Count(s)) return;
    int& num = Num(s);
    int& cur = Cur(s);
    --num;
    if (cur == num) {
        if (s == kFaves) Table(s)[cur] = ChannelRecord{};
        cur = std::max(cur - 1, 0);  // the only entry gone: index 0, not -1
    } else {
        ChannelRecord* t = Table(s);
        std::memmove(&t[cur], &t[cur + 1], sizeof(ChannelRecord) * (num - cur));
        t[num] = ChannelRecord{};
    }
    if (s == kChannels)
        Refill(true, false);
    else
        RefillSide(kFaves);
}

void FaveEditor::Inch(Side s, int position) {
    slider_[s] = std::clamp(position, kInchMin, kInchMax);
    if (s != active_ || Current(s) >= Count(s)) return;
    host_.SetFrequency(Entry(s, Current(s)).freq + slider_[s] * kInchStep);
}

void FaveEditor::Apply(Side s) {
    if (Current(s) >= Count(s)) return;
    ChannelRecord& e = Table(s)[Current(s)];
    const int old = e.freq;
    const int now = old + slider_[s] * kInchStep;
    const Side other = s == kChannels ? kFaves : kChannels;
    if (const int twin = FindFreq(other, old); twin >= 0) Table(other)[twin].freq = now;
    e.freq = now;
    slider_[s] = 0;
}

void FaveEditor::CommitTo(RunTime& rt) const {
    std::memcpy(rt.channels, channels_, sizeof channels_);
    std::memcpy(rt.faves, faves_, sizeof faves_);
    rt.totalTv = totalTv_, rt.faveNum = faveNum_;
    rt.curTune = curTune_, rt.furTune = furTune_;
    rt.useFave = useFave_ ? 1 : 0;
    const Side s = useFave_ ? kFaves : kChannels;
    if (Current(s) >= Count(s)) return;
    host_.SetFrequency(Entry(s, Current(s)).freq);
    host_.SetDisplayText(ChannelLabel(Current(s), Entry(s, Current(s)).name));
}

void FaveEditor::Retune(RunTime& rt, TuneHost& host) {
    const int count = rt.useFave ? rt.faveNum : rt.totalTv;
    const int i = ActiveIndex(rt);
    if (i >= 0 && i < count && i < kChannelCount) host.SetFrequency(ActiveTable(rt)[i].freq);
}

}  // namespace orvane
