// The virtual card's teletext pages and captions, and their packet coding.
#include "strova/card/VirtualVbi.h"

#include <libzvbi.h>

#include <cstdio>
#include <ctime>

namespace strova::card {
namespace {

uint8_t Ham(unsigned nibble) { return uint8_t(vbi_ham8(nibble & 15)); }
uint8_t Par(unsigned c) { return uint8_t(vbi_par8(c & 0x7F)); }

// Magazine and row address; magazine 8 is sent as 0.
void Address(TeletextPacket& p, int magazine, int row) {
  p[0] = Ham(unsigned(magazine & 7) | unsigned(row & 1) << 3);
  p[1] = Ham(unsigned(row) >> 1);
}

void Text(TeletextPacket& p, size_t at, const std::string& text, size_t width) {
  for (size_t i = 0; i < width; ++i) p[at + i] = Par(i < text.size() ? uint8_t(text[i]) : ' ');
}

// Teletext control codes used on the pages.
constexpr char kRed = 0x01, kGreen = 0x02, kYellow = 0x03, kBlue = 0x04, kCyan = 0x06,
               kWhite = 0x07, kEndBox = 0x0A, kStartBox = 0x0B, kDouble = 0x0D,
               kMosaicCyan = 0x16, kConceal = 0x18, kNewBackground = 0x1D;

constexpr int kNoPage = -1;

struct Page {
  int number = 100;
  int subpage = 0;
  unsigned control = 0;
  std::vector<std::pair<int, std::string>> rows;
  std::array<int, 6> links{};
};

std::string Str(char code) { return std::string(1, code); }

std::string HeaderText(const std::string& station, int page, double now) {
  const time_t t = time_t(now);
  struct tm tm {};
  localtime_r(&t, &tm);
  char date[16], clock[16], text[64];
  strftime(date, sizeof date, "%a %d %b", &tm);
  strftime(clock, sizeof clock, "%H:%M:%S", &tm);
  std::snprintf(text, sizeof text, "%-9.9s%3d %-10.10s %s", station.c_str(), page, date, clock);
  return text;
}

Page IndexPage(const std::string& station) {
  Page p{100, 0, 0, {}, {101, 200, 150, 888, kNoPage, 100}};
  p.rows = {
      {1, Str(kBlue) + Str(kNewBackground) + Str(kDouble) + Str(kYellow) + station + " TEXT"},
      {4, Str(kCyan) + "101" + Str(kWhite) + "News"},
      {6, Str(kCyan) + "150" + Str(kWhite) + "Quiz of the day"},
      {8, Str(kCyan) + "200" + Str(kWhite) + "Programme guide"},
      {10, Str(kCyan) + "888" + Str(kWhite) + "Subtitles"},
      {20, Str(kMosaicCyan) + std::string(38, 0x7F)},
      {24, Str(kRed) + "News    " + Str(kGreen) + "Guide    " + Str(kYellow) + "Quiz    " +
               Str(kCyan) + "Subtitles"},
  };
  return p;
}

Page NewsPage(const std::string& station, int subpage) {
  static const char* kNews[] = {"Tuner prices fall again", "Weather: sunny spells",
                                "Local team wins the cup"};
  Page p{101, subpage, 0, {}, {100, 200, 150, 888, kNoPage, 100}};
  char count[16];
  std::snprintf(count, sizeof count, "%d/3", subpage);
  p.rows = {
      {1, Str(kDouble) + Str(kYellow) + station + " NEWS" + std::string(12, ' ') + count},
      {5, Str(kWhite) + kNews[(subpage - 1) % 3]},
      {24, Str(kRed) + "Index   " + Str(kGreen) + "Guide"},
  };
  return p;
}

Page QuizPage() {
  Page p{150, 0, 0, {}, {100, 200, 101, 888, kNoPage, 100}};
  p.rows = {
      {1, Str(kDouble) + Str(kYellow) + "QUIZ OF THE DAY"},
      {5, Str(kWhite) + "How many lines has a PAL frame?"},
      {8, Str(kGreen) + "Answer:" + Str(kConceal) + "625"},
  };
  return p;
}

Page GuidePage(const std::string& station) {
  Page p{200, 0, 0, {}, {100, 101, 150, 888, kNoPage, 100}};
  p.rows = {
      {1, Str(kDouble) + Str(kCyan) + station + " TONIGHT"},
      {4, Str(kYellow) + "18:00" + Str(kWhite) + "News"},
      {5, Str(kYellow) + "19:30" + Str(kWhite) + "Film: The Long Signal"},
      {6, Str(kYellow) + "21:15" + Str(kWhite) + "Sport"},
  };
  return p;
}

// Page 888: a boxed, double-height subtitle that changes every 4 seconds.
Page SubtitlePage(const std::string& station, double now) {
  static const char* kLines[] = {"Good evening.", "You are watching ", "Here is the news."};
  const auto n = uint64_t(now / 4) % 3;
  std::string line = kLines[n];
  if (n == 1) line += station;
  Page p{888, 0, kEraseC4 | kSubtitleC6, {}, {}};
  p.rows = {{22, Str(kDouble) + Str(kStartBox) + Str(kStartBox) + line + Str(kEndBox) + Str(kEndBox)}};
  return p;
}

void AppendPage(const Page& p, const std::string& station, double now,
                std::vector<TeletextPacket>& out) {
  const int magazine = p.number / 100;
  out.push_back(TeletextCoder::Header(p.number, p.subpage, p.control | kSerialC11,
                                      HeaderText(station, p.number, now)));
  for (const auto& [row, text] : p.rows) out.push_back(TeletextCoder::Row(magazine, row, text));
  if (p.links[0] != 0) out.push_back(TeletextCoder::Links(magazine, p.links));
}

}  // namespace

TeletextPacket TeletextCoder::Header(int page, int subpage, unsigned control, const std::string& text) {
  TeletextPacket p{};
  Address(p, page / 100, 0);
  p[2] = Ham(unsigned(page % 10));
  p[3] = Ham(unsigned(page / 10 % 10));
  p[4] = Ham(unsigned(subpage % 10));
  p[5] = Ham(unsigned(subpage / 10) | (control & 1u) << 3);  // C4
  p[6] = Ham(0);
  p[7] = Ham((control >> 1 & 1u) << 2 | (control >> 2 & 1u) << 3);  // C5, C6
  p[8] = Ham(control >> 3);
  p[9] = Ham(control >> 7);
  Text(p, 10, text, 32);
  return p;
}

TeletextPacket TeletextCoder::Row(int magazine, int row, const std::string& text) {
  TeletextPacket p{};
  Address(p, magazine, row);
  Text(p, 2, text, 40);
  return p;
}

TeletextPacket TeletextCoder::Links(int magazine, const std::array<int, 6>& pages) {
  TeletextPacket p{};
  Address(p, magazine, 27);
  p[2] = Ham(0);
  for (size_t i = 0; i < 6; ++i) {
    // No page is sent as page FF of the same magazine; the magazine bits
    // are relative to the page's own.
    const int page = pages[i];
    const bool none = page == kNoPage;
    const unsigned units = none ? 0xF : unsigned(page % 10);
    const unsigned tens = none ? 0xF : unsigned(page / 10 % 10);
    const unsigned rel = none ? 0u : unsigned((page / 100 & 7) ^ (magazine & 7));
    uint8_t* l = &p[3 + i * 6];
    l[0] = Ham(units);
    l[1] = Ham(tens);
    l[2] = Ham(0xF);
    l[3] = Ham(0x7 | (rel & 1) << 3);
    l[4] = Ham(0xF);
    l[5] = Ham(0x3 | (rel >> 1 & 3) << 2);
  }
  p[39] = Ham(0x8);  // link control: row 24 shown
  p[40] = p[41] = 0;
  return p;
}

std::vector<TeletextPacket> TeletextCycle(const std::string& station, double now, uint64_t cycle) {
  std::vector<TeletextPacket> out;
  AppendPage(IndexPage(station), station, now, out);
  AppendPage(NewsPage(station, int(cycle % 3) + 1), station, now, out);
  AppendPage(QuizPage(), station, now, out);
  AppendPage(GuidePage(station), station, now, out);
  AppendPage(SubtitlePage(station, now), station, now, out);
  return out;
}

std::vector<std::array<uint8_t, 2>> CaptionBytes(const std::string& station, uint64_t index) {
  static const char* kCaptions[] = {"GOOD EVENING FROM", "HERE IS THE NEWS.", "AND NOW THE WEATHER."};
  const std::string top = kCaptions[index % 3];
  const std::string bottom = index % 3 == 0 ? station : "";
  std::vector<std::array<uint8_t, 2>> out;
  auto pair = [&out](unsigned a, unsigned b) { out.push_back({Par(a), Par(b)}); };
  auto twice = [&pair](unsigned a, unsigned b) { pair(a, b), pair(a, b); };
  auto text = [&pair](const std::string& s) {
    for (size_t i = 0; i < s.size(); i += 2) pair(uint8_t(s[i]), i + 1 < s.size() ? uint8_t(s[i + 1]) : 0);
  };
  twice(0x14, 0x20);  // resume caption loading (pop-on)
  twice(0x14, 0x2E);  // erase the caption being loaded
  twice(0x14, 0x40);  // row 14, white
  text(top);
  if (!bottom.empty()) {
    twice(0x14, 0x60);  // row 15, white
    text(bottom);
  }
  twice(0x14, 0x2F);  // end of caption: show it
  return out;
}

}  // namespace strova::card
