// The graph layer on a connected virtual card: filters and pins by name,
// connection with converters, remove-downstream, and the event source with
// its notifications.
#include "StrovaTestUtil.h"
#include "platform/Window.h"
#include "strova/core/Context.h"
#include "strova/graph/Branches.h"
#include "strova/graph/Events.h"
#include "support/TestEnv.h"

#include <gst/app/gstappsink.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <cmath>
#include <vector>

namespace {

namespace g = strova::graph;
using strova::core::CardContext;

constexpr unsigned kMessage = 0x5832;

struct Posted {
  unsigned code;
  uintptr_t wParam;
  int card;
};

// A window that records the notifications posted to it.
class NotifyWindow {
 public:
  NotifyWindow() : hwnd_(plat::CreateWindowHandle(nullptr)) {
    plat::SetMessageSink(
        hwnd_,
        [this](plat::UINT msg, plat::WPARAM wp, plat::LPARAM lp) -> plat::LRESULT {
          std::lock_guard lock(mu_);
          if (msg == kMessage) got_.push_back({static_cast<unsigned>(lp & 0xFFFF), wp, static_cast<int>((lp >> 16) & 0xFFFF)});
          return 0;
        },
        nullptr);
  }
  ~NotifyWindow() { plat::DestroyWindowHandle(hwnd_); }
  plat::HWND Handle() const { return hwnd_; }
  std::vector<Posted> Got() {
    std::lock_guard lock(mu_);
    return got_;
  }
  // The first notification with this code, if one came.
  std::optional<Posted> First(unsigned code) {
    std::lock_guard lock(mu_);
    for (const Posted& p : got_)
      if (p.code == code) return p;
    return std::nullopt;
  }
  bool WaitFor(unsigned code) {
    return strova_test::WaitFor([&] { return First(code).has_value(); });
  }
  void Clear() {
    std::lock_guard lock(mu_);
    got_.clear();
  }

 private:
  plat::HWND hwnd_;
  std::mutex mu_;
  std::vector<Posted> got_;
};

class GraphOps : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("DISPLAY");
    ASSERT_EQ(Strova_Initialize(), S_OK);
    card_ = strova_test::VirtualCard();
    ASSERT_EQ(Strova_ConnectDevice(card_, 0, nullptr), S_OK);
    c_ = strova::core::CardAt(card_);
  }
  void TearDown() override { Strova_Uninitialize(); }

  bool Has(const char* name) { return g::FindFilter(*c_, name) != nullptr; }

  // A sink filter "Probe" whose input pin "In" takes only grey pictures.
  GstElement* MakeGreyProbe() {
    GstElement* bin = gst_bin_new(nullptr);
    GstElement* caps = gst_element_factory_make("capsfilter", nullptr);
    GstElement* sink = gst_element_factory_make("fakesink", "sink");
    GstCaps* grey = gst_caps_from_string("video/x-raw,format=GRAY8");
    g_object_set(caps, "caps", grey, nullptr);
    g_object_set(sink, "signal-handoffs", TRUE, "sync", FALSE, nullptr);
    g_signal_connect(sink, "handoff", G_CALLBACK(+[](GstElement*, GstBuffer*, GstPad*, gpointer n) {
                       static_cast<std::atomic<int>*>(n)->fetch_add(1);
                     }),
                     &frames_);
    gst_caps_unref(grey);
    gst_bin_add_many(GST_BIN(bin), caps, sink, nullptr);
    gst_element_link(caps, sink);
    GstPad* pad = gst_element_get_static_pad(caps, "sink");
    gst_element_add_pad(bin, gst_ghost_pad_new("In", pad));
    gst_object_unref(pad);
    return bin;
  }

  tellura::test::ScopedHome home_;
  int card_ = -1;
  CardContext* c_ = nullptr;
  std::atomic<int> frames_{0};
};

TEST_F(GraphOps, PreviewGraphHoldsTheNamedFiltersAndPins) {
  const auto names = g::FilterNames(*c_);
  for (const char* want : {g::kStreamingDevice, g::kCompanion, g::kOverlayMixer, g::kRenderer, g::kStillCapture,
                           g::kConverter})
    EXPECT_NE(std::find(names.begin(), names.end(), want), names.end()) << want;
  EXPECT_FALSE(Has(g::kBaseDevice));  // only used while the base graph is built
  // The graph lists the filters added last first.
  EXPECT_LT(std::find(names.begin(), names.end(), std::string(g::kConverter)) - names.begin(),
            std::find(names.begin(), names.end(), std::string(g::kCompanion)) - names.begin());

  const auto pins = g::Pins(g::FindFilter(*c_, g::kStreamingDevice));
  ASSERT_EQ(pins.size(), 2u);
  EXPECT_EQ(pins[0].name, "Capture");
  EXPECT_EQ(pins[1].name, "Preview");
  EXPECT_EQ(pins[0].direction, GST_PAD_SRC);
  EXPECT_FALSE(pins[0].connected);
  EXPECT_TRUE(pins[1].connected);
  EXPECT_TRUE(g::Pins(g::FindFilter(*c_, g::kOverlayMixer))[0].connected);   // overlay mode
  EXPECT_FALSE(g::Pins(g::FindFilter(*c_, g::kConverter))[0].connected);

  // Pin names match byte for byte only; a null name is the first pin.
  GstElement* device = g::FindFilter(*c_, g::kStreamingDevice);
  EXPECT_EQ(g::FindPin(device, "preview", GST_PAD_SRC), nullptr);
  EXPECT_EQ(g::FindPin(device, "Preview", GST_PAD_SINK), nullptr);
  EXPECT_NE(g::FindPin(device, nullptr, GST_PAD_SRC), nullptr);
  EXPECT_STREQ(GST_PAD_NAME(g::FindPin(device, nullptr, GST_PAD_SRC)), "Capture");
}

TEST_F(GraphOps, ConnectPlacesAConverterWhereFormatsDifferAndRemoveDownstreamClears) {
  ASSERT_EQ(g::Stop(*c_), S_OK);
  ASSERT_EQ(g::AddFilter(*c_, MakeGreyProbe(), "Probe"), S_OK);
  EXPECT_EQ(g::AddFilter(*c_, gst_bin_new(nullptr), "Probe"), E_FAIL);  // name taken
  EXPECT_FALSE(g::ConnectPins(*c_, g::kStreamingDevice, "capture", "Probe", "In"));
  EXPECT_FALSE(g::ConnectPins(*c_, g::kStreamingDevice, "Capture", "Nobody", "In"));

  // The capture pin gives packed 4:2:2: the grey input needs a converter.
  VideoInfo info{};
  ASSERT_EQ(Strova_GetVideoInfo(card_, &info, STROVA_PIN_CAPTURE), S_OK);
  info.colorCode = 2;
  ASSERT_EQ(Strova_SetVideoInfo(card_, info, STROVA_PIN_CAPTURE), S_OK);
  ASSERT_TRUE(g::ConnectPins(*c_, g::kStreamingDevice, "Capture", "Probe", "In"));
  EXPECT_TRUE(Has("Color Space Converter 0001"));  // the preview's own converter keeps its name
  EXPECT_FALSE(g::ConnectPins(*c_, g::kStreamingDevice, "Capture", "Probe", "In"));  // already connected
  ASSERT_EQ(g::Run(*c_), S_OK);
  EXPECT_TRUE(strova_test::WaitFor([&] { return frames_.load() > 3; }));

  // Disconnecting takes the placed converter away with the link.
  ASSERT_EQ(g::Stop(*c_), S_OK);
  EXPECT_TRUE(g::DisconnectPins(*c_, g::kStreamingDevice, "Capture", "Probe", "In"));
  EXPECT_FALSE(Has("Color Space Converter 0001"));
  EXPECT_TRUE(Has("Probe"));

  // Remove-downstream of the first pin takes converter and probe, and leaves
  // the preview (second pin) alone.
  ASSERT_TRUE(g::ConnectPins(*c_, g::kStreamingDevice, "Capture", "Probe", "In"));
  EXPECT_EQ(g::RemoveDownstream(*c_, g::kStreamingDevice, 1), S_OK);
  EXPECT_FALSE(Has("Probe"));
  EXPECT_FALSE(Has("Color Space Converter 0001"));
  EXPECT_TRUE(Has(g::kRenderer));
  EXPECT_TRUE(g::Pins(g::FindFilter(*c_, g::kStreamingDevice))[1].connected);
  EXPECT_EQ(g::RemoveDownstream(*c_, "Nobody", 0), E_FAIL);
  EXPECT_FALSE(g::RemoveFilter(*c_, "Nobody"));

  // Remove-downstream of every pin empties the preview path too.
  EXPECT_EQ(g::RemoveDownstream(*c_, g::kStreamingDevice, 0), S_OK);
  EXPECT_FALSE(Has(g::kStillCapture));
  EXPECT_FALSE(Has(g::kRenderer));
  EXPECT_EQ(c_->renderer, nullptr);  // the record forgets a removed filter
  EXPECT_TRUE(Has(g::kStreamingDevice));
}

TEST_F(GraphOps, FilterOwnersAndParametersLiveWithTheFilter) {
  ASSERT_EQ(g::Stop(*c_), S_OK);
  bool released = false;
  std::vector<std::pair<uint32_t, intptr_t>> params;
  GstElement* bin = g::MakeFilter(gst_element_factory_make("identity", nullptr), "In", "Out");
  ASSERT_NE(bin, nullptr);
  g::SetFilterOwner(bin, [&] { released = true; });
  g::AttachParams(bin, [&](uint32_t id, intptr_t v) {
    params.emplace_back(id, v);
    return true;
  });
  ASSERT_EQ(g::AddFilter(*c_, bin, "Owned"), S_OK);
  EXPECT_TRUE(g::SetFilterParam(g::FindFilter(*c_, "Owned"), 0x208, 1));
  EXPECT_FALSE(g::SetFilterParam(g::FindFilter(*c_, g::kOverlayMixer), 0x208, 1));  // no parameter interface
  EXPECT_FALSE(g::SetFilterParam(nullptr, 1, 1));
  ASSERT_EQ(params.size(), 1u);
  EXPECT_EQ(params[0].first, 0x208u);
  EXPECT_FALSE(released);
  EXPECT_TRUE(g::RemoveFilter(*c_, "Owned"));
  EXPECT_TRUE(released);

  // A filter that cannot be added is released at once.
  bool again = false;
  GstElement* dup = gst_bin_new(nullptr);
  g::SetFilterOwner(dup, [&] { again = true; });
  EXPECT_EQ(g::AddFilter(*c_, dup, g::kRenderer), E_FAIL);
  EXPECT_TRUE(again);
}

TEST_F(GraphOps, AbortsStopTheDrainAndLaterEventsWait) {
  NotifyWindow w;
  ASSERT_EQ(Strova_SetNotifyWindow(card_, w.Handle(), kMessage), S_OK);
  g::PostEvent(*c_, g::kEventAbort, static_cast<uint32_t>(STROVA_E_DISK_FULL));
  g::PostEvent(*c_, g::kEventPaused, 0);
  ASSERT_TRUE(w.WaitFor(NOTIFY_GRAPH_EVENT));  // the platform's "events waiting"
  w.Clear();
  Strova_ManageNotifyMessage(card_);
  ASSERT_TRUE(w.WaitFor(NOTIFY_DISK_FULL));
  const auto first = w.Got();
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(first[0].wParam, 0u);
  EXPECT_FALSE(w.First(NOTIFY_PAUSED));
  Strova_ManageNotifyMessage(card_);  // the queued pause comes with the next drain
  EXPECT_TRUE(w.WaitFor(NOTIFY_PAUSED));

  g::PostEvent(*c_, g::kEventVideoSizeChanged, 320 | (240 << 16));
  g::PostEvent(*c_, 99, 0);  // other codes post nothing
  w.Clear();
  Strova_ManageNotifyMessage(card_);
  ASSERT_TRUE(w.WaitFor(NOTIFY_VIDEO_SIZE));
  const auto size = w.First(NOTIFY_VIDEO_SIZE);
  ASSERT_TRUE(size);
  EXPECT_EQ(size->wParam, 320u | (240u << 16));
}

namespace {

// What a capture device's source reports when it is unplugged while streaming.
bool PostDeviceGone(strova::core::CardContext& c) {
  GstElement* device = g::FindFilter(c, g::kStreamingDevice);
  GstElement* source = device ? gst_bin_get_by_name(GST_BIN(device), "source") : nullptr;
  if (!source) return false;
  GError* err = g_error_new(GST_STREAM_ERROR, GST_STREAM_ERROR_FAILED, "Internal data stream error.");
  const std::string details = std::string("dequeue failed: ") + std::strerror(ENODEV);
  gst_element_post_message(source, gst_message_new_error(GST_OBJECT(source), err, details.c_str()));
  g_error_free(err);
  gst_object_unref(source);
  return true;
}

}  // namespace

TEST_F(GraphOps, DeviceThatGoesAwayAbortsAndDisconnectStillWorks) {
  NotifyWindow w;
  ASSERT_EQ(Strova_SetNotifyWindow(card_, w.Handle(), kMessage), S_OK);
  ASSERT_TRUE(PostDeviceGone(*c_));
  ASSERT_TRUE(strova_test::WaitFor([&] {
    Strova_ManageNotifyMessage(card_);
    return w.First(NOTIFY_ABORTED).has_value();
  }));
  const auto abort = w.First(NOTIFY_ABORTED);
  ASSERT_TRUE(abort);
  EXPECT_EQ(abort->wParam, g::kDeviceGone);
  EXPECT_EQ(Strova_DisconnectDevice(card_), S_OK);
  int connected = 1;
  EXPECT_EQ(Strova_IsConnected(card_, &connected), S_OK);
  EXPECT_EQ(connected, 0);
}

// Unplugged while recording: the recording stops as the viewer stops it on
// the notification, the file plays, and a card can be connected again.
TEST_F(GraphOps, DeviceThatGoesAwayWhileRecordingLeavesAPlayableFile) {
  NotifyWindow w;
  ASSERT_EQ(Strova_SetNotifyWindow(card_, w.Handle(), kMessage), S_OK);
  const std::string file = home_.path("unplugged.mpg");
  Strova_SetCaptureFile(card_, file.c_str());
  ASSERT_EQ(Strova_StartCapture(card_), 1);
  ASSERT_TRUE(strova_test::WaitFor([&] {
    std::error_code ec;
    return std::filesystem::file_size(file, ec) > 200000;  // about a second of pictures
  }, 20000));
  ASSERT_TRUE(PostDeviceGone(*c_));
  ASSERT_TRUE(strova_test::WaitFor([&] {
    Strova_ManageNotifyMessage(card_);
    return w.First(NOTIFY_ABORTED).has_value();
  }));
  EXPECT_EQ(Strova_StopCapture(card_), 1);
  std::string probe;
  if (FILE* p = popen(("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + file + "'").c_str(), "r")) {
    char line[128] = {};
    if (fgets(line, sizeof line, p)) probe = line;
    pclose(p);
  }
  EXPECT_GT(std::atof(probe.c_str()), 0.5) << probe;
  EXPECT_EQ(Strova_DisconnectDevice(card_), S_OK);
  ASSERT_EQ(Strova_ConnectDevice(card_, 0, nullptr), S_OK);
  EXPECT_EQ(Strova_SetStreamStatus(card_, STROVA_STATE_RUNNING), S_OK);
}

TEST_F(GraphOps, PausingTheGraphNotifiesPaused) {
  NotifyWindow w;
  ASSERT_EQ(Strova_SetNotifyWindow(card_, w.Handle(), kMessage), S_OK);
  ASSERT_EQ(Strova_SetStreamStatus(card_, STROVA_STATE_PAUSED), S_OK);
  EXPECT_TRUE(strova_test::WaitFor([&] {
    Strova_ManageNotifyMessage(card_);
    return w.First(NOTIFY_PAUSED).has_value();
  }));
  for (const Posted& p : w.Got()) EXPECT_EQ(p.card, card_);  // the high word carries the card
  EXPECT_EQ(Strova_SetNotifyWindow(card_, nullptr, 0), S_OK);
}

TEST_F(GraphOps, NewPreviewSizeIsReportedWithWidthAndHeight) {
  NotifyWindow w;
  ASSERT_EQ(Strova_SetNotifyWindow(card_, w.Handle(), kMessage), S_OK);
  // Pictures of the first size are on their way to the renderer.
  const std::string still = home_.path("still.bmp");
  ASSERT_TRUE(strova_test::WaitFor([&] {
    Strova_SaveToBmpFile(card_, still.c_str());
    return tellura::test::ReadFile(still).size() > 54;
  }));
  VideoInfo info{};
  ASSERT_EQ(Strova_GetVideoInfo(card_, &info, STROVA_PIN_PREVIEW), S_OK);
  info.bmi.width = 352;
  info.bmi.height = 288;
  ASSERT_EQ(Strova_SetVideoInfo(card_, info, STROVA_PIN_PREVIEW), S_OK);
  ASSERT_TRUE(strova_test::WaitFor([&] {
    Strova_ManageNotifyMessage(card_);
    return w.First(NOTIFY_VIDEO_SIZE).has_value();
  }));
  const auto size = w.First(NOTIFY_VIDEO_SIZE);
  ASSERT_TRUE(size);
  EXPECT_EQ(size->wParam, 352u | (288u << 16));
}

// Mean step between neighbouring samples against the mean level: small for
// a tone, near 1 for noise.
double AudioRoughness(GstElement* sink) {
  double steps = 0, level = 0;
  for (int n = 0; n < 10; ++n) {  // 200 ms of sound
    GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), GST_SECOND);
    if (!sample) return -1;
    GstMapInfo map;
    GstBuffer* buf = gst_sample_get_buffer(sample);
    if (gst_buffer_map(buf, &map, GST_MAP_READ)) {
      const auto* v = reinterpret_cast<const int16_t*>(map.data);
      const size_t count = map.size / sizeof(int16_t);
      for (size_t i = 2; i < count; i += 2) {  // left channel
        steps += std::abs(double(v[i]) - double(v[i - 2]));
        level += std::abs(double(v[i]));
      }
      gst_buffer_unmap(buf, &map);
    }
    gst_sample_unref(sample);
  }
  return level > 0 ? steps / level : -1;
}

TEST_F(GraphOps, CardSoundFollowsTheTuner) {
  ASSERT_EQ(g::Stop(*c_), S_OK);
  // The preview carries the card's audio device; its pin is free for a listener.
  ASSERT_NE(g::FindFilter(*c_, g::kAudioDevice), nullptr);
  GstElement* appsink = gst_element_factory_make("appsink", "sink");
  g_object_set(appsink, "sync", FALSE, "max-buffers", 4u, "drop", TRUE, nullptr);
  ASSERT_EQ(g::AddFilter(*c_, g::MakeFilter(appsink, "In", nullptr), "Listener"), S_OK);
  ASSERT_TRUE(g::ConnectPins(*c_, g::kAudioDevice, "Capture", "Listener", "In"));
  ASSERT_EQ(g::Run(*c_), S_OK);
  ASSERT_EQ(Strova_RouteInPinToOutPin(card_, 1, 0), S_OK);
  SetTVSoundData(0, 1);
  ASSERT_EQ(SetTvChannelFreg(0, 189250), 1);
  double tone = -1, noise = -1;
  EXPECT_TRUE(strova_test::WaitFor([&] { return (tone = AudioRoughness(appsink)) >= 0 && tone < 0.3; }))
      << "station " << tone;
  ASSERT_EQ(SetTvChannelFreg(0, 300000), 1);
  EXPECT_TRUE(strova_test::WaitFor([&] { return (noise = AudioRoughness(appsink)) > 0.6; })) << "between " << noise;
}

TEST(GraphErrors, ResultsOfErrorsAsTheNotificationsReadThem) {
  GError* full = g_error_new(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NO_SPACE_LEFT, "full");
  GError* gone = g_error_new(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_FOUND, "gone");
  GError* other = g_error_new(GST_STREAM_ERROR, GST_STREAM_ERROR_FAILED, "failed");
  EXPECT_EQ(g::ErrorResult(full), static_cast<uint32_t>(STROVA_E_DISK_FULL));
  EXPECT_EQ(g::ErrorResult(gone), g::kDeviceGone);
  EXPECT_EQ(g::ErrorResult(other), static_cast<uint32_t>(E_FAIL));
  EXPECT_EQ(g::ErrorResult(nullptr), static_cast<uint32_t>(E_FAIL));
  for (GError* e : {full, gone, other}) g_error_free(e);
}

}  // namespace
