// The channel scan: walks the TV band, narrows each station down by
// bisection and fills the channel table. The tuner, the stop/continue gate
// and the progress bar come through ScanHost, so a model tuner can drive it.
//
// Where the tuner gives a signal reading, steps that cannot find a station
// are not probed: the band is read at coarse points first, and only the
// steps near a coarse point with signal are probed and bisected. The result
// is the one the full step-by-step walk gives, as long as every carrier's
// lock range is at least one coarse step wide (2 MHz on the virtual card, the
// AFC capture range of a real tuner).
#pragma once
#include "Channels.h"
#include "Settings.h"

namespace orvane {

constexpr int kScanFirst = 47750;
constexpr int kScanLast = 865250;  // inclusive
constexpr int kScanStep = 375;
constexpr int kScanRange = kScanLast - kScanFirst;
constexpr int kScanSkip = 6000;       // after a station, before the next step
constexpr int kScanStoreOffset = 446; // stored = found - offset
constexpr int kScanCoarseStep = 4 * kScanStep;  // 1500 kHz; the band is a whole number of them

class ScanHost {
public:
    virtual ~ScanHost() = default;
    virtual int Probe(int kHz) = 0;               // GetTvChannelOkay(0, kHz)
    virtual bool WaitContinue() = 0;              // false: stop requested
    virtual void EndProbe() = 0;                  // sets the continue gate again
    virtual void Progress(int done, int range) = 0;
    // The tuner's lock flag at kHz (1 or 0), or -1 without a signal reading:
    // then every step is probed.
    virtual int Signal(int) { return -1; }
};

// The table and counters the scan changes, kept to restore on "No".
struct ScanBackup {
    ChannelRecord channels[kChannelCount];
    int curTune, totalTv, faveNum, useFave, furTune;
};

void SaveForScan(const RunTime& rt, ScanBackup& b);
void RestoreAfterScan(RunTime& rt, const ScanBackup& b);
// Clears the counters and runs the band; returns the stations found.
// `skipQuiet` false probes every step, whatever the signal readings say.
int RunScan(RunTime& rt, ScanHost& host, bool skipQuiet = true);
// Keeps the result: the current index stays a valid index (0 when empty).
void KeepScanResult(RunTime& rt);
// After the question: keep or restore, then tune and show the current
// channel (name only on the panel) and switch the tuner sound on when it is
// the sound source. With nothing found and kept, nothing is tuned.
void FinishScan(RunTime& rt, const ScanBackup& backup, bool keep, TuneHost& host);

}  // namespace orvane
