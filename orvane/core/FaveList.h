// The favourite channel editor: copies of the channel and favourite tables
// that the "Favorite Channel Settings" dialog edits. Renaming, deleting,
// copying into the favourites, reordering and fine tuning work on the copies;
// CommitTo() hands them to the viewer, dropping the editor discards them.
// Selecting an entry tunes the card at once through TuneHost.
#pragma once
#include <string>

#include "Channels.h"
#include "Settings.h"

namespace orvane {

constexpr int kInchMin = -50, kInchMax = 50;
constexpr int kInchStep = 31;       // frequency units per slider position
constexpr std::size_t kMaxChannelName = 10;  // characters of a name field

class FaveEditor {
public:
    enum Side { kChannels = 0, kFaves = 1 };
    enum class AddResult { Added, Duplicate, Full };

    FaveEditor(const RunTime& rt, TuneHost& host);

    // Opening: name fields, sliders at 0, both lists refilled, the controls of
    // the side not in use disabled, the current entry tuned.
    void Open();

    // A row of a list chosen by the user: that side becomes active and is tuned.
    void SelectRow(Side side, int row);
    AddResult Add();       // "&Add >>": the current channel into the favourites
    void MoveUp();         // "&Up"
    void MoveDown();       // "&Down"
    void Rename(Side side, const std::string& name);
    void Delete(Side side);
    // Slider movement: tunes what is received only, on the active side.
    void Inch(Side side, int position);
    // "Apply": the side's slider offset becomes the entry's stored frequency.
    void Apply(Side side);

    // OK: tables, counts, indices and the use-favourites choice to the viewer;
    // the viewer's active entry is tuned and named on the panel.
    void CommitTo(RunTime& rt) const;
    // Cancel: the viewer's own active entry is tuned again.
    static void Retune(RunTime& rt, TuneHost& host);

    // What the dialog shows.
    int Count(Side s) const { return s == kChannels ? totalTv_ : faveNum_; }
    int Current(Side s) const { return s == kChannels ? curTune_ : furTune_; }
    const ChannelRecord& Entry(Side s, int i) const { return Table(s)[i]; }
    // "%03d-" and the name, for list row i.
    std::string RowText(Side s, int i) const;
    // The row a refilled list selects (the current one, else the first).
    int SelectedRow(Side s) const;
    const std::string& NameField(Side s) const { return name_[s]; }
    int Slider(Side s) const { return slider_[s]; }
    Side Active() const { return active_; }
    bool SideEnabled(Side s) const { return sideOn_[s]; }
    bool AddEnabled() const { return addOn_; }
    bool UpDownEnabled() const { return upDownOn_; }
    bool UseFave() const { return useFave_; }
    void SetUseFave(bool on) { useFave_ = on; }
    // Lists whose rows changed since the last call (bit per side).
    int TakeDirty();

private:
    ChannelRecord* Table(Side s) { return s == kChannels ? channels_ : faves_; }
    const ChannelRecord* Table(Side s) const { return s == kChannels ? channels_ : faves_; }
    int& Cur(Side s) { return s == kChannels ? curTune_ : furTune_; }
    int& Num(Side s) { return s == kChannels ? totalTv_ : faveNum_; }
    void Refill(bool channels, bool faves);
    void RefillSide(Side s);
    void TuneEntry(Side s, int index);
    void EnableSide(Side s);
    int FindFreq(Side s, int freq) const;

    TuneHost& host_;
    ChannelRecord channels_[kChannelCount];
    ChannelRecord faves_[kChannelCount];
    int totalTv_ = 0, curTune_ = 0, faveNum_ = 0, furTune_ = 0;
    bool useFave_ = false;
    Side active_ = kChannels;
    std::string name_[2];
    int slider_[2] = {0, 0};
    bool sideOn_[2] = {true, true};
    bool addOn_ = true, upDownOn_ = true;
    int dirty_ = 0;
};

}  // namespace orvane
