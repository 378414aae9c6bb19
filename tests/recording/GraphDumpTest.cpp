// Graph dumps compared line by line with the expected text.
#include "strova/dump/GraphDump.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

using namespace strova::dump;

namespace {

class FakeFilter : public DumpFilter {
 public:
  explicit FakeFilter(std::string name) : name_(std::move(name)) {}
  std::string Name() const override { return name_; }
  std::vector<DumpPin> Pins() const override { return pins_; }
  std::vector<DumpPin> pins_;

 private:
  std::string name_;
};

// Links out (an output pin of a) to in (an input pin of b).
void Link(FakeFilter& a, const std::string& out, FakeFilter& b, const std::string& in, const Guid& major,
          const Guid& sub) {
  a.pins_.push_back({out, true, true, major, sub, true, &b, in, false});
  b.pins_.push_back({in, false, true, major, sub, true, &a, out, true});
}

const Guid kOdd{0x1234ABCD, 0x00EF, 0x0A0B, {1, 2, 3, 4, 0xA5, 0xB6, 0xC7, 0xD8}};

}  // namespace

TEST(GraphDump, WalksDownstreamAndUpstreamWithPinsAndTypes) {
  FakeFilter crossbar("Crossbar"), capture("Quorvel Tellura Capture"), still("Vantrel Still Capture"),
      renderer("Video Renderer");
  Link(crossbar, "Video Decoder Out", capture, "Analog Video In", types::kAnalogVideo, kOdd);
  Link(capture, "Preview", still, "Input", types::kVideo, types::kRgb24);
  capture.pins_.push_back({"Capture", true, false, {}, {}, true, nullptr, "", false});  // unconnected
  Link(still, "Output", renderer, "Input", types::kVideo, kOdd);
  std::vector<std::string> names = {"Video Renderer", "Vantrel Still Capture", "Quorvel Tellura Capture", "Crossbar"};

  const std::string expected =
      "/**** The 1th Way Card ****/\n"
      "==============================================\n"
      "Filter: 'Video Renderer'\n"
      "Filter: 'Vantrel Still Capture'\n"
      "Filter: 'Quorvel Tellura Capture'\n"
      "Filter: 'Crossbar'\n"
      "=============================================\n"
      "Filter: 'Quorvel Tellura Capture'\n"
      "{\n"
      "    Pin: 'Analog Video In' (Dir:In , MainType:Analog Video , SubType:1234ABCD-00EF-0A0B-01020304A5B6C7D8)\n"
      "    Pin: 'Preview' (Dir:Out , MainType:Video , SubType:RGB24)\n"
      "        ---->Filter: 'Vantrel Still Capture' , Pin: 'Input'\n"
      "        Filter: 'Vantrel Still Capture'\n"
      "        {\n"
      "            Pin: 'Input' (Dir:In , MainType:Video , SubType:RGB24)\n"
      "            Pin: 'Output' (Dir:Out , MainType:Video , SubType:1234ABCD-00EF-0A0B-01020304A5B6C7D8)\n"
      "                ---->Filter: 'Video Renderer' , Pin: 'Input'\n"
      "                Filter: 'Video Renderer'\n"
      "                {\n"
      "                    Pin: 'Input' (Dir:In , MainType:Video , SubType:1234ABCD-00EF-0A0B-01020304A5B6C7D8)\n"
      "                }\n"
      "        }\n"
      "    Pin: 'Capture' (Dir:Out , )\n"
      "}\n"
      "Filter: 'Quorvel Tellura Capture'\n"
      "{\n"
      "    Pin: 'Analog Video In' (Dir:In , MainType:Analog Video , SubType:1234ABCD-00EF-0A0B-01020304A5B6C7D8)\n"
      "        <----Filter: 'Crossbar' , Pin: 'Video Decoder Out'\n"
      "        Filter: 'Crossbar'\n"
      "        {\n"
      "            Pin: 'Video Decoder Out' (Dir:Out , MainType:Analog Video , SubType:1234ABCD-00EF-0A0B-01020304A5B6C7D8)\n"
      "        }\n"
      "    Pin: 'Preview' (Dir:Out , MainType:Video , SubType:RGB24)\n"
      "    Pin: 'Capture' (Dir:Out , )\n"
      "}\n";
  EXPECT_EQ(FormatGraphDump(1, &capture, &names), expected);
  EXPECT_EQ(GuidText(kOdd).size(), 35u);

  // Without a graph the flat list becomes an upstream walk.
  std::string noGraph = FormatGraphDump(0, &capture, nullptr);
  const std::string upstream = expected.substr(expected.rfind("Filter: 'Quorvel Tellura Capture'\n{"));
  EXPECT_EQ(noGraph.rfind("/**** The 0th Way Card ****/\n" + upstream, 0), 0u);
  EXPECT_EQ(noGraph.find("====="), std::string::npos);

  // No capture filter: the heading alone.
  EXPECT_EQ(FormatGraphDump(2, nullptr, &names), "/**** The 2th Way Card ****/\n");
}

TEST(GraphDump, StopsOnUnreadablePeersAndLoopsAndClipsNames) {
  FakeFilter a(std::string(150, 'a')), b("b");
  Link(a, "out", b, "in", types::kAudio, types::kPcm);
  Link(b, "out", a, "in", types::kAudio, types::kPcm);  // a loop
  a.pins_.insert(a.pins_.begin(), DumpPin{"broken", true, true, types::kVideo, types::kYuy2, false, nullptr, "", false});
  std::string text = FormatGraphDump(0, &a, nullptr);
  EXPECT_EQ(text.find(std::string(101, 'a')), std::string::npos) << "names are clipped to 100 bytes";
  EXPECT_NE(text.find("Pin: 'broken' (Dir:Out , MainType:Video , SubType:YUY2)\n}"), std::string::npos)
      << "an unreadable peer ends the pin loop";

  FakeFilter c("c"), d("d");
  Link(c, "out", d, "in", types::kAudio, types::kPcm);
  Link(d, "out", c, "in", types::kAudio, types::kPcm);
  text = FormatGraphDump(0, &c, nullptr);  // must terminate
  EXPECT_GT(text.size(), 1000u);
}

TEST(GraphDump, CapsMapToTheNamedTypesAndFilesAreReplaced) {
  Guid major, sub;
  MediaTypeFromCaps("video/x-raw", "BGRx", &major, &sub);
  EXPECT_EQ(MediaTypeText(major, sub), "MainType:Video , SubType:RGB32");
  MediaTypeFromCaps("video/x-raw", "YUY2", &major, &sub);
  EXPECT_EQ(MediaTypeText(major, sub), "MainType:Video , SubType:YUY2");
  MediaTypeFromCaps("video/x-raw", "I420", &major, &sub);
  EXPECT_EQ(MediaTypeText(major, sub), "MainType:Video , SubType:30323449-0000-0010-800000AA00389B71");
  MediaTypeFromCaps("audio/x-raw", "S16LE", &major, &sub);
  EXPECT_EQ(MediaTypeText(major, sub).substr(0, 15), "MainType:Audio ");

  tellura::test::ScopedHome home;
  const std::string path = home.path("filter01.txt");
  ASSERT_TRUE(WriteDumpFile(path, "first text that is long\n"));
  ASSERT_TRUE(WriteDumpFile(path, "second\n"));
  EXPECT_EQ(tellura::test::ReadFile(path), "second\n");
  EXPECT_FALSE(WriteDumpFile(home.path("none/x.txt"), "x"));
}
