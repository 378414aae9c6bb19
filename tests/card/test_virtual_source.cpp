// The virtual card's sources really stream: frames at the standard's size,
// a station picture that differs from snow, colour controls and sound switch.
#include "strova/card/Tuner.h"
#include "strova/card/VirtualPicture.h"
#include "strova/card/VirtualCard.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "support/TestEnv.h"

namespace sc = strova::card;

namespace {

struct Grab {
  int width = 0, height = 0;
  std::string fieldOrder;  // of interleaved caps, else empty
  std::vector<uint8_t> data;
};

// Runs source -> fakesink, keeping the last buffer after `frames` buffers.
Grab Capture(GstElement* src, int frames) {
  Grab g;
  GstElement* pipe = gst_pipeline_new(nullptr);
  GstElement* sink = gst_element_factory_make("fakesink", nullptr);
  g_object_set(sink, "sync", FALSE, "signal-handoffs", FALSE, "enable-last-sample", TRUE, nullptr);
  gst_bin_add_many(GST_BIN(pipe), src, sink, nullptr);
  EXPECT_TRUE(gst_element_link(src, sink));
  gst_element_set_state(pipe, GST_STATE_PLAYING);
  for (int i = 0; i < 200; ++i) {
    g_usleep(20000);
    guint64 n = 0;
    GObject* s = G_OBJECT(sink);
    GstStructure* stats = nullptr;
    g_object_get(s, "stats", &stats, nullptr);
    if (stats) {
      gst_structure_get_uint64(stats, "rendered", &n);
      gst_structure_free(stats);
    }
    if (n >= guint64(frames)) break;
  }
  GstSample* sample = nullptr;
  g_object_get(sink, "last-sample", &sample, nullptr);
  if (sample) {
    GstStructure* st = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
    gst_structure_get_int(st, "width", &g.width);
    gst_structure_get_int(st, "height", &g.height);
    if (const char* mode = gst_structure_get_string(st, "interlace-mode");
        mode && std::string(mode) == "interleaved")
      if (const char* order = gst_structure_get_string(st, "field-order")) g.fieldOrder = order;
    GstMapInfo map;
    GstBuffer* buf = gst_sample_get_buffer(sample);
    if (gst_buffer_map(buf, &map, GST_MAP_READ)) {
      g.data.assign(map.data, map.data + map.size);
      gst_buffer_unmap(buf, &map);
    }
    gst_sample_unref(sample);
  }
  gst_element_set_state(pipe, GST_STATE_NULL);
  gst_object_unref(pipe);
  return g;
}

// Mean absolute difference between horizontally neighbouring luma pixels:
// high for snow, low for a drawn picture.
double Roughness(const Grab& g) {
  double sum = 0;
  for (int y = 0; y < g.height; y += 4)
    for (int x = 1; x < g.width; ++x)
      sum += std::abs(int(g.data[size_t(y) * g.width + x]) - g.data[size_t(y) * g.width + x - 1]);
  return sum / ((g.height / 4) * (g.width - 1));
}

double MeanLuma(const Grab& g) {
  double sum = 0;
  for (size_t i = 0; i < size_t(g.width) * g.height; ++i) sum += g.data[i];
  return sum / (double(g.width) * g.height);
}

void Tune(sc::Card& c, int kHz) {
  sc::TunerMessage m{};
  ASSERT_TRUE(sc::BuildTunerMessage(kHz, m));
  ASSERT_EQ(c.WriteBus(m.data(), 5), sc::kOk);
}

struct VirtualSourceTest : ::testing::Test {
  static void SetUpTestSuite() { gst_init(nullptr, nullptr); }
  tellura::test::ScopedHome home;
  sc::VirtualCard card{{sc::kVirtualCardName, "", true, "virtual"}};
};

}  // namespace

TEST_F(VirtualSourceTest, StationPictureDiffersFromSnow) {
  const int station = card.Hardware().Stations()[1].kHz;
  Tune(card, station);
  const Grab clean = Capture(card.CreateVideoSource(), 3);
  ASSERT_EQ(clean.width, 720);
  ASSERT_EQ(clean.height, 576);
  ASSERT_EQ(clean.data.size(), size_t(720 * 576 * 3 / 2));
  Tune(card, station + 3500);
  const Grab snow = Capture(card.CreateVideoSource(), 3);
  ASSERT_EQ(snow.data.size(), clean.data.size());
  EXPECT_GT(Roughness(snow), 4 * Roughness(clean));
  Tune(card, station + 1500);
  const Grab offTune = Capture(card.CreateVideoSource(), 3);
  EXPECT_GT(Roughness(offTune), Roughness(clean));
  EXPECT_LT(Roughness(offTune), Roughness(snow));
}

TEST_F(VirtualSourceTest, CameraInputsAndBrightnessChangeThePicture) {
  card.Route(0, 0);
  const Grab a = Capture(card.CreateVideoSource(), 2);
  card.Route(2, 0);
  const Grab b = Capture(card.CreateVideoSource(), 2);
  ASSERT_FALSE(a.data.empty());
  ASSERT_EQ(a.data.size(), b.data.size());
  EXPECT_NE(a.data, b.data);
  EXPECT_LT(Roughness(b) + Roughness(a), 60);  // scenes, not snow
  card.SetProperty(sc::ProcAmp::Brightness, 9000, 2);
  const Grab bright = Capture(card.CreateVideoSource(), 2);
  EXPECT_GT(MeanLuma(bright), MeanLuma(b) + 40);
}

TEST_F(VirtualSourceTest, NtscStandardGives480Lines) {
  ASSERT_EQ(card.SetStandard(sc::kStdNtscM), sc::kOk);
  const Grab g = Capture(card.CreateVideoSource(), 2);
  EXPECT_EQ(g.width, 720);
  EXPECT_EQ(g.height, 480);
}

// Each field is the scene at its own time: the first field's lines at the
// frame's time, the other field's a field period later; PAL delivers the top
// field first, 525-line standards the bottom field, and the caps say so.
TEST_F(VirtualSourceTest, FieldsAreAFieldPeriodApartInTheStandardsOrder) {
  for (long standard : {sc::kStdPalB, sc::kStdNtscM}) {
    const sc::VideoMode m = sc::ModeFor(standard);
    sc::VirtualView view;
    view.input = 0;  // the camera scene: its shape moves at every moment
    view.standard = standard;
    view.procAmp.fill(5000);
    const double t = 1.0;
    auto render = [&](double at, double gap) {
      std::vector<uint8_t> buf(sc::I420Frame::Size(m.width, m.height));
      sc::I420Frame f = sc::I420Frame::Over(buf.data(), m.width, m.height);
      sc::VirtualPicture().Render(view, {}, 0, at, f, gap, m.topFieldFirst);
      return buf;
    };
    const auto woven = render(t, m.FieldGap()), early = render(t, 0), late = render(t + m.FieldGap(), 0);
    ASSERT_NE(early, late);
    const int laterLine = m.topFieldFirst ? 1 : 0;
    for (int y = 0; y < m.height; ++y) {
      const auto& expected = (y % 2 == laterLine) ? late : early;
      const size_t at = size_t(y) * m.width;
      ASSERT_TRUE(std::equal(woven.begin() + at, woven.begin() + at + m.width, expected.begin() + at))
          << "standard " << standard << " line " << y;
    }
    ASSERT_EQ(card.SetStandard(standard), sc::kOk);
    EXPECT_EQ(Capture(card.CreateVideoSource(), 1).fieldOrder,
              m.topFieldFirst ? "top-field-first" : "bottom-field-first");
  }
  EXPECT_TRUE(sc::ModeFor(sc::kStdPalB).topFieldFirst);
  EXPECT_FALSE(sc::ModeFor(sc::kStdNtscM).topFieldFirst);
}

TEST_F(VirtualSourceTest, SoundSwitchMutesAndSelects) {
  auto level = [&](uint32_t soundBits) {
    card.WriteControlWord(sc::kNoKey | soundBits);
    const Grab g = Capture(card.CreateAudioSource(), 3);
    const auto* s = reinterpret_cast<const int16_t*>(g.data.data());
    double sum = 0;
    for (size_t i = 0; i < g.data.size() / 2; ++i) sum += std::abs(s[i]);
    return g.data.empty() ? -1.0 : sum / (g.data.size() / 2);
  };
  Tune(card, card.Hardware().Stations()[0].kHz);
  card.Route(0, 0);
  EXPECT_GT(level(sc::kSoundTuner), 500);
  EXPECT_EQ(level(sc::kSoundMute), 0);
  EXPECT_GT(level(sc::kSoundLine), 500);  // S-Video input's own sound
  card.Route(1, 0);
  EXPECT_EQ(level(sc::kSoundLine), 0);    // the tuner input has no line sound
}

TEST_F(VirtualSourceTest, RunningStreamFollowsRetuneAndStandardSwitch) {
  Tune(card, card.Hardware().Stations()[0].kHz);
  GstElement* pipe = gst_pipeline_new(nullptr);
  GstElement* src = card.CreateVideoSource();
  GstElement* sink = gst_element_factory_make("fakesink", nullptr);
  g_object_set(sink, "sync", TRUE, "enable-last-sample", TRUE, nullptr);
  gst_bin_add_many(GST_BIN(pipe), src, sink, nullptr);
  ASSERT_TRUE(gst_element_link(src, sink));
  gst_element_set_state(pipe, GST_STATE_PLAYING);
  auto last = [&] {
    Grab g;
    GstSample* sample = nullptr;
    g_object_get(sink, "last-sample", &sample, nullptr);
    if (!sample) return g;
    GstStructure* st = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
    gst_structure_get_int(st, "width", &g.width);
    gst_structure_get_int(st, "height", &g.height);
    GstMapInfo map;
    if (gst_buffer_map(gst_sample_get_buffer(sample), &map, GST_MAP_READ)) {
      g.data.assign(map.data, map.data + map.size);
      gst_buffer_unmap(gst_sample_get_buffer(sample), &map);
    }
    gst_sample_unref(sample);
    return g;
  };
  g_usleep(300000);
  const Grab a = last();
  g_usleep(200000);
  const Grab b = last();
  ASSERT_FALSE(a.data.empty());
  EXPECT_NE(a.data, b.data);  // the programme moves
  Tune(card, card.Hardware().Stations()[0].kHz + 4000);
  g_usleep(200000);
  EXPECT_GT(Roughness(last()), 4 * Roughness(b));  // snow after tuning away
  card.SetStandard(sc::kStdNtscM);
  g_usleep(300000);
  const Grab ntsc = last();
  EXPECT_EQ(ntsc.height, 480);
  EXPECT_EQ(ntsc.data.size(), size_t(720 * 480 * 3 / 2));
  gst_element_set_state(pipe, GST_STATE_NULL);
  gst_object_unref(pipe);
}
