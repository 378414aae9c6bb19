// bench-scan: how long a whole channel scan takes on the virtual card.
//
// Ours: the scan as the viewer runs it, with the tuner's own settle times
// (loop lock 20 ms for a signal reading, lock + AFC 50 ms for a probe) and
// coarse steps that skip the quiet band.
// Reference: the step-by-step walk with GetTvChannelOkay's fixed 150 ms:
// its probe count (the same walk on a tuner that settles at once) times the
// time of one such probe, measured here. --full times that walk for real
// (about 20 minutes).
// Both must store the same stations at the same frequencies.
#include "Scan.h"
#include "strova/card/CardControl.h"
#include "strova/card/VirtualCard.h"

#include <gst/gst.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace sc = strova::card;
using Clock = std::chrono::steady_clock;

namespace {

struct CardHost : orvane::ScanHost {
  explicit CardHost(sc::Card* c, bool quick) : card(c), quick(quick) {}
  sc::Card* card;
  bool quick;
  int probes = 0, signals = 0;
  int Probe(int kHz) override {
    ++probes;
    return quick ? sc::TuneAndReadLockQuick(card, kHz) : sc::TuneAndReadLock(card, kHz);
  }
  int Signal(int kHz) override {
    if (!quick) return -1;
    ++signals;
    return sc::TuneAndReadSignal(card, kHz);
  }
  bool WaitContinue() override { return true; }
  void EndProbe() override {}
  void Progress(int, int) override {}
};

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

std::vector<int> Table(const orvane::RunTime& rt) {
  std::vector<int> t;
  for (int i = 0; i < rt.totalTv; ++i) t.push_back(rt.channels[i].freq);
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  gst_init(&argc, &argv);
  const bool full = argc > 1 && std::strcmp(argv[1], "--full") == 0;
  sc::VirtualCard card({sc::kVirtualCardName, "", true, "virtual"});
  auto rt = std::make_unique<orvane::RunTime>();

  sc::SetTunerSettleMsForTesting(-1);  // the real settle times
  CardHost ours(&card, true);
  auto t0 = Clock::now();
  orvane::RunScan(*rt, ours);
  const double oursSeconds = Seconds(t0);
  const std::vector<int> found = Table(*rt);

  // The step-by-step walk: its probes on a tuner that settles at once, then
  // the time of one probe with the fixed settle.
  sc::SetTunerSettleMsForTesting(0);
  CardHost count(&card, false);
  orvane::RunScan(*rt, count, false);
  const std::vector<int> reference = Table(*rt);
  sc::SetTunerSettleMsForTesting(-1);
  double refSeconds = 0;
  if (full) {
    CardHost walk(&card, false);
    t0 = Clock::now();
    orvane::RunScan(*rt, walk, false);
    refSeconds = Seconds(t0);
  } else {
    constexpr int kSample = 20;
    t0 = Clock::now();
    for (int i = 0; i < kSample; ++i) sc::TuneAndReadLock(&card, 300000 + 375 * i);
    refSeconds = Seconds(t0) / kSample * count.probes;
  }

  std::printf("scan, coarse steps and the tuner's settle times: %.1f s (%d signal readings, %d probes, %zu stations)\n",
              oursSeconds, ours.signals, ours.probes, found.size());
  std::printf("reference step-by-step walk, 150 ms per probe: %.1f s (%d probes%s)\n", refSeconds, count.probes,
              full ? ", timed" : ", times one probe measured");
  std::printf("ratio: %.3f\n", refSeconds > 0 ? oursSeconds / refSeconds : 0.0);
  std::printf("same stations at the same frequencies: %s\n", found == reference ? "yes" : "NO");
  return found == reference && oursSeconds < 120 ? 0 : 1;
}
