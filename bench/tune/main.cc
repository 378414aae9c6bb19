// bench-tune: how fast the virtual card changes channel and answers the
// remote poll.
//
// 1. Channel change latency: a live preview (virtual source -> sink synced
//    to the clock) runs between stations; the tuner is set to a station and
//    the time to the first frame showing it is measured. Reference: the same
//    pipeline with a plain videotestsrc, timed from a pattern change to the
//    first changed frame. Target < 200 ms.
// 2. Remote poll cost: one remote-key read with acknowledge. Reference: one
//    bare non-blocking recv() on an empty socket. Target < 50 us.
#include "strova/card/CardControl.h"
#include "strova/card/RemoteProtocol.h"
#include "strova/card/VirtualCard.h"

#include <gst/gst.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace sc = strova::card;
using Clock = std::chrono::steady_clock;

namespace {

struct Probe {
  std::atomic<bool> armed{false};
  std::atomic<bool> seen{false};
  Clock::time_point seenAt;
  bool (*matches)(const uint8_t*, int, int) = nullptr;
};

// Luma roughness of the first rows: snow is rough, pictures are smooth.
bool LooksClean(const uint8_t* y, int w, int) {
  long sum = 0;
  for (int row = 0; row < 64; row += 4)
    for (int x = 1; x < w; ++x) sum += std::abs(int(y[row * w + x]) - y[row * w + x - 1]);
  return sum / (16 * (w - 1)) < 8;
}

// videotestsrc "black" vs the default bars: the first rows turn dark.
bool LooksBlack(const uint8_t* y, int w, int) {
  long sum = 0;
  for (int x = 0; x < w; ++x) sum += y[x];
  return sum / w < 40;
}

GstPadProbeReturn OnBuffer(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
  auto* p = static_cast<Probe*>(data);
  if (!p->armed || p->seen) return GST_PAD_PROBE_OK;
  GstBuffer* buf = GST_PAD_PROBE_INFO_BUFFER(info);
  GstCaps* caps = gst_pad_get_current_caps(pad);
  int w = 0, h = 0;
  gst_structure_get_int(gst_caps_get_structure(caps, 0), "width", &w);
  gst_structure_get_int(gst_caps_get_structure(caps, 0), "height", &h);
  gst_caps_unref(caps);
  GstMapInfo map;
  if (gst_buffer_map(buf, &map, GST_MAP_READ)) {
    if (p->matches(map.data, w, h)) {
      p->seenAt = Clock::now();
      p->seen = true;
    }
    gst_buffer_unmap(buf, &map);
  }
  return GST_PAD_PROBE_OK;
}

GstElement* Preview(GstElement* src, Probe* probe) {
  GstElement* pipe = gst_pipeline_new(nullptr);
  GstElement* sink = gst_element_factory_make("fakesink", nullptr);
  g_object_set(sink, "sync", TRUE, nullptr);
  gst_bin_add_many(GST_BIN(pipe), src, sink, nullptr);
  gst_element_link(src, sink);
  GstPad* pad = gst_element_get_static_pad(sink, "sink");
  gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, OnBuffer, probe, nullptr);
  gst_object_unref(pad);
  gst_element_set_state(pipe, GST_STATE_PLAYING);
  g_usleep(300000);
  return pipe;
}

template <typename Change>
double Latency(Probe& probe, Change change) {
  probe.seen = false;
  probe.armed = true;
  const auto start = Clock::now();
  change();
  while (!probe.seen && Clock::now() - start < std::chrono::seconds(2)) g_usleep(1000);
  probe.armed = false;
  return probe.seen ? std::chrono::duration<double, std::milli>(probe.seenAt - start).count() : -1;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? -1 : v[v.size() / 2];
}

void ChannelChange() {
  sc::VirtualCard card({sc::kVirtualCardName, "", true, "virtual"});
  const int station = card.Hardware().Stations()[1].kHz;
  Probe probe;
  probe.matches = LooksClean;
  GstElement* pipe = Preview(card.CreateVideoSource(), &probe);
  std::vector<double> ours;
  for (int i = 0; i < 10; ++i) {
    sc::TuneFrequency(&card, station + 4000);
    g_usleep(200000);
    ours.push_back(Latency(probe, [&] { sc::TuneFrequency(&card, station); }));
  }
  gst_element_set_state(pipe, GST_STATE_NULL);
  gst_object_unref(pipe);

  GstElement* test = gst_element_factory_make("videotestsrc", nullptr);
  g_object_set(test, "is-live", TRUE, nullptr);
  GstElement* capsed = gst_bin_new(nullptr);
  GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
  GstCaps* caps = gst_caps_from_string("video/x-raw,format=I420,width=720,height=576,framerate=25/1");
  g_object_set(filter, "caps", caps, nullptr);
  gst_caps_unref(caps);
  gst_bin_add_many(GST_BIN(capsed), test, filter, nullptr);
  gst_element_link(test, filter);
  GstPad* out = gst_element_get_static_pad(filter, "src");
  gst_element_add_pad(capsed, gst_ghost_pad_new("src", out));
  gst_object_unref(out);
  Probe ref;
  ref.matches = LooksBlack;
  pipe = Preview(capsed, &ref);
  std::vector<double> theirs;
  for (int i = 0; i < 10; ++i) {
    g_object_set(test, "pattern", 0, nullptr);
    g_usleep(200000);
    theirs.push_back(Latency(ref, [&] { g_object_set(test, "pattern", 2, nullptr); }));
  }
  gst_element_set_state(pipe, GST_STATE_NULL);
  gst_object_unref(pipe);

  const double a = Median(ours), b = Median(theirs);
  std::printf("channel change to first new frame: %.1f ms median (target < 200)\n", a);
  std::printf("reference videotestsrc pattern change: %.1f ms median\n", b);
  std::printf("ratio: %.2f\n", b > 0 ? a / b : 0.0);
}

void RemotePoll() {
  sc::VirtualCard card({sc::kVirtualCardName, "", true, "virtual"});
  constexpr int kCalls = 200000;
  auto t0 = Clock::now();
  for (int i = 0; i < kCalls; ++i) sc::ReadRemoteKey(&card);
  const double ours = std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / kCalls;
  int fds[2];
  socketpair(AF_UNIX, SOCK_DGRAM, 0, fds);
  char buf[32];
  t0 = Clock::now();
  for (int i = 0; i < kCalls; ++i) (void)!recv(fds[0], buf, sizeof buf, MSG_DONTWAIT);
  const double ref = std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / kCalls;
  close(fds[0]);
  close(fds[1]);
  std::printf("remote poll (read key + acknowledge): %.3f us (target < 50)\n", ours);
  std::printf("reference bare non-blocking recv(): %.3f us\n", ref);
  std::printf("ratio: %.2f\n", ref > 0 ? ours / ref : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  gst_init(&argc, &argv);
  ChannelChange();
  RemotePoll();
  return 0;
}
