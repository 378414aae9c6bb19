#include "Scan.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace orvane {

namespace {

// RunTime and ScanBackup name the saved values alike.
template <class To, class From>
void CopyScanState(To& to, const From& from) {
    std::memcpy(to.channels, from.channels, sizeof from.channels);
    to.curTune = from.curTune;
    to.totalTv = from.totalTv;
    to.faveNum = from.faveNum;
    to.useFave = from.useFave;
    to.furTune = from.furTune;
}

}  // namespace

void SaveForScan(const RunTime& rt, ScanBackup& b) { CopyScanState(b, rt); }

void RestoreAfterScan(RunTime& rt, const ScanBackup& b) { CopyScanState(rt, b); }

namespace {

// Narrows [f-375, f+62] while wider than 62 kHz. Returns the last answer and
// leaves the last probed frequency in m.
int Bisect(ScanHost& host, int f, int& m) {
    int hi = f + 62, lo = f - kScanStep, r = -1;
    while (hi - lo > 62) {
        m = (hi + lo) / 2;
        r = host.Probe(m);
        if (r == 2) break;
        if (r == 0 || r == 1)
            hi = m;
        else
            lo = m;
    }
    return r;
}

void Store(RunTime& rt, int m) {
    ChannelRecord& e = rt.channels[rt.totalTv];
    std::snprintf(e.name, sizeof e.name, "%s", "TVChannal");
    e.freq = m - kScanStoreOffset;
    ++rt.totalTv;
}

// The signal at the coarse points kScanFirst + k * kScanCoarseStep, read
// once each when first needed.
class CoarseMap {
public:
    explicit CoarseMap(ScanHost& host) : host_(host), read_(kScanRange / kScanCoarseStep + 1, -2) {}

    // Whether a carrier can lock anywhere in [lo, hi]. A lock range at least
    // one coarse step wide that reaches x holds a coarse point within one
    // step of x, so no signal there means no lock in [lo, hi]. Points outside
    // the band read no signal, as the tuner refuses them.
    bool MayLock(int lo, int hi) {
        const int first = std::max(0, CeilDiv(lo - kScanCoarseStep - kScanFirst));
        const int last = std::min(int(read_.size()) - 1, (hi + kScanCoarseStep - kScanFirst) / kScanCoarseStep);
        for (int k = first; k <= last; ++k) {
            if (read_[size_t(k)] == -2) read_[size_t(k)] = host_.Signal(kScanFirst + k * kScanCoarseStep);
            if (read_[size_t(k)] != 0) return true;  // signal, or no reading at all
        }
        return false;
    }

private:
    static int CeilDiv(int v) { return v <= 0 ? 0 : (v + kScanCoarseStep - 1) / kScanCoarseStep; }
    ScanHost& host_;
    std::vector<int> read_;  // -2: not read yet
};

}  // namespace

int RunScan(RunTime& rt, ScanHost& host, bool skipQuiet) {
    rt.curTune = rt.furTune = rt.totalTv = rt.useFave = rt.faveNum = 0;
    CoarseMap coarse(host);
    for (int f = kScanFirst; f <= kScanLast; f += kScanStep) {
        host.Progress(f - kScanFirst, kScanRange);
        if (!host.WaitContinue()) break;
        // The whole step, bisection included, stays in [f - 375, f + 62].
        if (skipQuiet && !coarse.MayLock(f - kScanStep, f + 62)) {
            host.EndProbe();
            continue;
        }
        int m = f;
        int r = host.Probe(f);
        if (r == 0 || r == 1 || r == 3) r = Bisect(host, f, m);
        if ((r >= 1 && r <= 3) && rt.totalTv < kChannelCount) {
            Store(rt, m);
            f = m + kScanSkip;
        }
        host.EndProbe();
    }
    return rt.totalTv;
}

void KeepScanResult(RunTime& rt) {
    if (rt.curTune >= rt.totalTv - 1) rt.curTune = rt.totalTv - 1;
    if (rt.curTune < 0) rt.curTune = 0;
}

void FinishScan(RunTime& rt, const ScanBackup& backup, bool keep, TuneHost& host) {
    if (keep)
        KeepScanResult(rt);
    else
        RestoreAfterScan(rt, backup);
    if (rt.curTune < 0 || rt.curTune >= kChannelCount) rt.curTune = 0;
    const ChannelRecord& e = rt.channels[rt.curTune];
    if (rt.totalTv > 0) host.SetFrequency(e.freq);
    host.ShowNumber(ChannelLabel(rt.curTune, nullptr));
    host.SetDisplayText(e.name);
    if (rt.tvSound) host.SetTunerSound(1);
}

}  // namespace orvane
