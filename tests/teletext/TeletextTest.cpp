// The virtual card's VBI broadcast decoded back through libzvbi, the path a
// real card's samples take, and the decoder's handling of damaged input.
#include "strova/card/VirtualVbi.h"
#include "strova/vbi/VbiDecoder.h"

#include <gtest/gtest.h>

#include <ctime>

namespace strova {
namespace {

using card::VirtualView;
using vbi::VbiDecoder;
using vbi::VbiFrame;

constexpr double kWallClock = 1800000000;  // the header's clock

struct Broadcast {
  card::VirtualVbi gen{7};
  std::vector<card::Station> stations = card::BuiltinStations();
  VbiDecoder decoder;
  double now = 100;
  VirtualView view;

  Broadcast() {
    view.input = card::VirtualHardware::kTunerInput;
    Tune(0, 1.0);
  }
  void Tune(int station, double quality) {
    view.station = station;
    view.quality = quality;
    view.tunedHz = int64_t(stations[size_t(station)].kHz) * 1000;
  }
  // Runs `seconds` of frames through the decoder; each frame may be damaged first.
  template <typename Damage>
  void Run(double seconds, Damage damage) {
    const double period = card::Is525Line(view.standard) ? 1001.0 / 30000 : 0.04;
    for (double end = now + seconds; now < end; now += period) {
      VbiFrame f;
      gen.Render(view, stations, now, kWallClock + now, f);
      damage(f);
      decoder.Decode(f);
    }
  }
  void Run(double seconds) { Run(seconds, [](VbiFrame&) {}); }

  std::string Row(const StrovaTeletextPage& p, int row) const {
    std::string s;
    for (const auto& c : p.cells[row]) vbi::AppendUtf8(s, c.unicode);
    return s;
  }
};

TEST(Teletext, VirtualCardPagesDecodeBack) {
  Broadcast b;
  b.Run(2.0);
  EXPECT_EQ(b.decoder.State(b.now), STROVA_VBI_TELETEXT);
  StrovaTeletextPage p;
  ASSERT_TRUE(b.decoder.FetchPage(100, 0, &p));
  EXPECT_NE(b.Row(p, 1).find("ALPENTV TEXT"), std::string::npos) << b.Row(p, 1);
  EXPECT_NE(b.Row(p, 4).find("101 News"), std::string::npos) << b.Row(p, 4);
  // Yellow double-height title on blue; the coloured links from the page's row 27.
  const auto& title = p.cells[1][5];
  EXPECT_EQ(title.unicode, 'L');
  EXPECT_EQ(p.colours[title.foreground], 0xFFFF00u);
  EXPECT_EQ(p.colours[title.background], 0x0000FFu);
  EXPECT_TRUE(title.flags & STROVA_TTX_DOUBLE_HEIGHT);
  EXPECT_EQ(p.links[0], 101);
  EXPECT_EQ(p.links[1], 200);
  EXPECT_EQ(p.links[2], 150);
  EXPECT_EQ(p.links[3], 888);
  EXPECT_EQ(p.subtitle, 0);

  EXPECT_EQ(b.decoder.Subpages(101), (std::vector<int>{1, 2, 3}));
  ASSERT_TRUE(b.decoder.FetchPage(101, 2, &p));
  EXPECT_EQ(p.subpage, 2);
  EXPECT_NE(b.Row(p, 5).find("Weather"), std::string::npos) << b.Row(p, 5);
  EXPECT_FALSE(b.decoder.FetchPage(101, 4, &p));
  EXPECT_FALSE(b.decoder.FetchPage(300, 0, &p));

  ASSERT_TRUE(b.decoder.FetchPage(150, 0, &p));
  EXPECT_NE(b.Row(p, 8).find("625"), std::string::npos);
  EXPECT_TRUE(p.cells[8][10].flags & STROVA_TTX_CONCEAL) << b.Row(p, 8);
  ASSERT_TRUE(b.decoder.FetchPage(888, 0, &p));
  EXPECT_EQ(p.subtitle, 1);

  std::string header, clock;
  ASSERT_TRUE(b.decoder.Header(&header, &clock));
  const time_t t = time_t(kWallClock + b.now);
  struct tm tm {};
  localtime_r(&t, &tm);
  char expected[16];
  strftime(expected, sizeof expected, "%H:%M", &tm);
  EXPECT_EQ(clock.substr(0, 5), expected) << header;
  EXPECT_EQ(header.substr(0, 7), "ALPENTV");
  EXPECT_EQ(b.decoder.Aspect(), STROVA_WSS_4_3);
}

TEST(Teletext, WideStationSignals16by9AndCaptionsOnNtsc) {
  Broadcast b;
  b.Tune(1, 1.0);
  b.Run(0.5);
  EXPECT_EQ(b.decoder.Aspect(), STROVA_WSS_16_9);

  b.view.standard = card::kStdNtscM;
  b.Tune(0, 1.0);
  b.Run(2.5);
  EXPECT_EQ(b.decoder.Caption(), "GOOD EVENING FROM\nALPENTV");
  b.Run(3.0);
  EXPECT_EQ(b.decoder.Caption(), "HERE IS THE NEWS.");
}

TEST(Teletext, NoisyVbiStillGivesThePage) {
  Broadcast b;
  b.Tune(0, 0.9175);  // a bit-error rate of 1e-3, with the tuner's noise
  b.Run(4.0);
  StrovaTeletextPage p;
  ASSERT_TRUE(b.decoder.FetchPage(100, 0, &p));
  EXPECT_NE(b.Row(p, 1).find("ALPENTV TEXT"), std::string::npos) << b.Row(p, 1);
  EXPECT_NE(b.Row(p, 10).find("888 Subtitles"), std::string::npos) << b.Row(p, 10);
}

TEST(Teletext, SnowAndSilentStationsSayNoTeletext) {
  Broadcast b;
  b.Tune(0, 0.0);  // snow between stations
  b.Run(4.0);
  StrovaTeletextPage p;
  EXPECT_EQ(b.decoder.State(b.now), STROVA_VBI_NO_TELETEXT);
  EXPECT_FALSE(b.decoder.FetchPage(100, 0, &p));

  b.Tune(3, 1.0);  // a station without teletext still signals its aspect
  b.Run(1.0);
  EXPECT_EQ(b.decoder.State(b.now), STROVA_VBI_WAITING);
  b.Run(3.0);
  EXPECT_EQ(b.decoder.State(b.now), STROVA_VBI_NO_TELETEXT);
  EXPECT_EQ(b.decoder.Aspect(), STROVA_WSS_16_9);
}

TEST(Teletext, PagesAreCachedPerChannel) {
  Broadcast b;
  b.Run(1.0);
  b.Tune(2, 1.0);
  b.Run(1.0);
  StrovaTeletextPage p;
  ASSERT_TRUE(b.decoder.FetchPage(100, 0, &p));
  EXPECT_NE(b.Row(p, 1).find("RADIANT 1"), std::string::npos);
  b.Tune(0, 1.0);
  b.Run(0.04);  // one frame: the channel's cache is back at once
  ASSERT_TRUE(b.decoder.FetchPage(100, 0, &p));
  EXPECT_NE(b.Row(p, 1).find("ALPENTV"), std::string::npos) << b.Row(p, 1);
}

TEST(Teletext, DamagedLinesAreDropped) {
  Broadcast b;
  const int spl = card::VirtualVbiFormat(false).samplesPerLine;
  // Every other frame loses its clock run-in on each line.
  int frame = 0;
  b.Run(3.0, [&](VbiFrame& f) {
    if (++frame % 2 == 0)
      for (int line = 0; line < f.format.Lines(); ++line)
        std::fill_n(f.samples.begin() + line * spl, 200, uint8_t(16));
  });
  StrovaTeletextPage p;
  ASSERT_TRUE(b.decoder.FetchPage(100, 0, &p));
  EXPECT_NE(b.Row(p, 1).find("ALPENTV TEXT"), std::string::npos);

  VbiDecoder d;
  VbiFrame f;
  f.format = card::VirtualVbiFormat(false);
  f.samples.assign(f.format.FrameBytes() - 1, 0);
  EXPECT_FALSE(d.Decode(f));  // shorter than its format
  f.samples.resize(f.format.FrameBytes());
  f.format.samplingRate = 0;
  EXPECT_FALSE(d.Decode(f));
  f.format = card::VirtualVbiFormat(false);
  f.format.samplesPerLine = 100;  // too short a line for any service
  EXPECT_FALSE(d.Decode(f));
  EXPECT_FALSE(d.FetchPage(100, 0, &p));
}

}  // namespace
}  // namespace strova
