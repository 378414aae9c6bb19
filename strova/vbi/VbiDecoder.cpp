#include "strova/vbi/VbiDecoder.h"

#include "strova/vbi/ZvbiFormat.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace strova::vbi {

bool VbiFormat::Valid() const {
  auto inRange = [](long v, long lo, long hi) { return v >= lo && v <= hi; };
  return (scanning == 625 || scanning == 525) && inRange(samplingRate, 1000000, 100000000) &&
         inRange(samplesPerLine, 64, 8192) && inRange(offset, 0, 8192) &&
         inRange(count[0], 0, 64) && inRange(count[1], 0, 64) && Lines() > 0 &&
         inRange(start[0], 0, 700) && inRange(start[1], 0, 700);
}

void InitSamplingPar(const VbiFormat& f, vbi_sampling_par* sp) {
  vbi_raw_decoder_init(sp);
  sp->scanning = f.scanning;
  sp->sampling_format = VBI_PIXFMT_YUV420;  // 8-bit luma samples
  sp->sampling_rate = f.samplingRate;
  sp->bytes_per_line = f.samplesPerLine;
  sp->offset = f.offset;
  sp->start[0] = f.start[0];
  sp->start[1] = f.start[1];
  sp->count[0] = f.count[0];
  sp->count[1] = f.count[1];
  sp->interlaced = f.interlaced;
  sp->synchronous = f.synchronous;
}

void AppendUtf8(std::string& out, unsigned c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xE0 | ((c >> 12) & 0x0F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

namespace {

// libzvbi numbers pages and subpages in BCD (0x100, 0x0001).
int Bcd(int dec) { return int(vbi_dec2bcd(unsigned(dec))); }
int Dec(int bcd) { return int(vbi_bcd2dec(unsigned(bcd))); }

uint32_t Rgb(vbi_rgba c) { return (c & 0xFFu) << 16 | (c & 0xFF00u) | ((c >> 16) & 0xFFu); }

uint8_t CellFlags(const vbi_char& ch) {
  uint8_t f = 0;
  if (ch.conceal) f |= STROVA_TTX_CONCEAL;
  if (ch.flash) f |= STROVA_TTX_FLASH;
  switch (ch.size) {
    case VBI_DOUBLE_HEIGHT: f |= STROVA_TTX_DOUBLE_HEIGHT; break;
    case VBI_DOUBLE_WIDTH: f |= STROVA_TTX_DOUBLE_WIDTH; break;
    case VBI_DOUBLE_SIZE: f |= STROVA_TTX_DOUBLE_HEIGHT | STROVA_TTX_DOUBLE_WIDTH; break;
    case VBI_NORMAL_SIZE: break;
    default: f |= STROVA_TTX_COVERED; break;
  }
  if (ch.opacity == VBI_TRANSPARENT_SPACE || ch.opacity == VBI_TRANSPARENT_FULL)
    f |= STROVA_TTX_TRANSPARENT;
  return f;
}

}  // namespace

// The raw decoder for one sampling format, made anew when the format changes.
struct VbiDecoder::Slicer {
  VbiFormat format;
  vbi_raw_decoder rd;
  std::vector<vbi_sliced> sliced;
  explicit Slicer(const VbiFormat& f) : format(f) {
    InitSamplingPar(f, &rd);
    sliced.resize(size_t(f.Lines()));
  }
  ~Slicer() { vbi_raw_decoder_destroy(&rd); }
  unsigned Add() {
    const unsigned wanted = format.scanning == 625
                                ? VBI_SLICED_TELETEXT_B | VBI_SLICED_WSS_625 | VBI_SLICED_CAPTION_625
                                : VBI_SLICED_CAPTION_525;
    return vbi_raw_decoder_add_services(&rd, wanted, 0);
  }
};

struct VbiDecoder::Channel {
  vbi_decoder* vbi = nullptr;
  double selectedAt = 0;       // when the card came to this channel
  double teletextAt = -1;      // the last teletext page or header received
  uint64_t lastUsed = 0;
  std::map<int, std::set<int>> subpages;  // page -> subpages (decimal)
  std::set<int> subtitlePages;           // pages whose header has C5 or C6 set
  std::string header;                    // 32 characters, UTF-8
  bool haveHeader = false;
  int aspect = STROVA_WSS_UNKNOWN;
  double now = 0;              // the time of the frame being decoded

  Channel() : vbi(vbi_decoder_new()) {
    if (vbi) vbi_event_handler_register(vbi, VBI_EVENT_TTX_PAGE | VBI_EVENT_ASPECT, &Event, this);
  }
  ~Channel() {
    if (vbi) vbi_decoder_delete(vbi);
  }

  static void Event(vbi_event* ev, void* user) {
    auto* self = static_cast<Channel*>(user);
    if (ev->type == VBI_EVENT_TTX_PAGE) self->OnPage(*ev);
    if (ev->type == VBI_EVENT_ASPECT)
      // libzvbi gives the pixels' aspect: 3:4 for an anamorphic 16:9 picture.
      self->aspect = ev->ev.aspect.ratio <= 0   ? STROVA_WSS_UNKNOWN
                     : ev->ev.aspect.ratio < 0.9 ? STROVA_WSS_16_9
                                                 : STROVA_WSS_4_3;
  }

  void OnPage(const vbi_event& ev) {
    teletextAt = now;
    const int page = Dec(ev.ev.ttx_page.pgno), sub = ev.ev.ttx_page.subno;
    if (page >= 100 && page <= 899) {
      auto& subs = subpages[page];
      if (sub > 0 && sub <= 0x79 && vbi_is_bcd(unsigned(sub))) subs.insert(Dec(sub));
    }
    if (ev.ev.ttx_page.raw_header) TakeHeader(ev.ev.ttx_page.raw_header);
  }

  // The header's display columns 8..39 with odd parity; a character that
  // fails the check keeps the one received before.
  void TakeHeader(const uint8_t* raw) {
    std::string text;
    for (int col = 8; col < 40; ++col) {
      int c = vbi_unpar8(raw[col]);
      if (c < 0x20) c = ' ';
      text += char(c);
    }
    if (haveHeader && text.size() == rawHeader.size())
      for (size_t i = 0; i < text.size(); ++i)
        if (vbi_unpar8(raw[8 + i]) < 0) text[i] = rawHeader[i];
    rawHeader = text;
    header.clear();
    for (char c : text) AppendUtf8(header, static_cast<unsigned char>(c));
    haveHeader = true;
  }
  std::string rawHeader;
};

VbiDecoder::VbiDecoder() = default;
VbiDecoder::~VbiDecoder() = default;

bool VbiDecoder::PrepareSlicer(const VbiFormat& format) {
  if (slicer_ && slicer_->format == format) return true;
  slicer_.reset();
  if (!format.Valid()) return false;
  auto s = std::make_unique<Slicer>(format);
  if (s->Add() == 0) return false;
  slicer_ = std::move(s);
  return true;
}

VbiDecoder::Channel& VbiDecoder::Select(uint64_t key, double time) {
  auto it = channels_.find(key);
  if (it == channels_.end()) {
    if (channels_.size() >= kCachedChannels) {
      auto oldest = std::min_element(channels_.begin(), channels_.end(), [](auto& a, auto& b) {
        return a.second->lastUsed < b.second->lastUsed;
      });
      if (oldest->second.get() == current_) current_ = nullptr;
      channels_.erase(oldest);
    }
    it = channels_.emplace(key, std::make_unique<Channel>()).first;
  }
  Channel& ch = *it->second;
  if (&ch != current_) ch.selectedAt = time;
  ch.lastUsed = ++use_;
  current_ = &ch;
  return ch;
}

namespace {

// Keeps the teletext packets worth decoding: a display row with a character
// failing its parity check is dropped whole (the row received before stays),
// and headers note whether their page is a subtitle or newsflash page.
bool ParityGood(const uint8_t* p, int n) {
  for (int i = 0; i < n; ++i)
    if (vbi_unpar8(p[i]) < 0) return false;
  return true;
}

int Screen(vbi_sliced* lines, int n, std::set<int>& subtitlePages) {
  int kept = 0;
  for (int i = 0; i < n; ++i) {
    vbi_sliced& s = lines[i];
    if (s.id & VBI_SLICED_TELETEXT_B) {
      const int mrag = vbi_unham16p(s.data);
      if (mrag < 0) continue;
      const int magazine = (mrag & 7) == 0 ? 8 : mrag & 7, row = mrag >> 3;
      if (row >= 1 && row <= 24 && !ParityGood(s.data + 2, 40)) continue;
      if (row == 0) {
        const int units = vbi_unham8(s.data[2]), tens = vbi_unham8(s.data[3]);
        const int c56 = vbi_unham8(s.data[7]);
        if (units >= 0 && tens >= 0 && units < 10 && tens < 10 && c56 >= 0) {
          const int page = magazine * 100 + tens * 10 + units;
          if (c56 & 0xC) subtitlePages.insert(page);
          else subtitlePages.erase(page);
        }
      }
    }
    lines[kept++] = s;
  }
  return kept;
}

}  // namespace

bool VbiDecoder::Decode(const VbiFrame& frame) {
  std::lock_guard lock(mu_);
  if (!PrepareSlicer(frame.format) || frame.samples.size() < frame.format.FrameBytes()) return false;
  Channel& ch = Select(frame.channel, frame.time);
  if (ch.vbi == nullptr) return false;
  const int n = vbi_raw_decode(&slicer_->rd, const_cast<uint8_t*>(frame.samples.data()),
                               slicer_->sliced.data());
  ch.now = frame.time;
  const int kept = Screen(slicer_->sliced.data(), n, ch.subtitlePages);
  if (kept > 0) vbi_decode(ch.vbi, slicer_->sliced.data(), kept, frame.time);
  return true;
}

int VbiDecoder::State(double now) const {
  std::lock_guard lock(mu_);
  if (current_ == nullptr) return STROVA_VBI_WAITING;
  if (current_->teletextAt >= 0 && now - current_->teletextAt < kTeletextWaitSeconds)
    return STROVA_VBI_TELETEXT;
  const double since = std::max(current_->selectedAt, current_->teletextAt);
  return now - since < kTeletextWaitSeconds ? STROVA_VBI_WAITING : STROVA_VBI_NO_TELETEXT;
}

namespace {

void CopyPage(const vbi_page& pg, int page, StrovaTeletextPage* out) {
  std::memset(out, 0, sizeof *out);
  out->page = page;
  out->subpage = (pg.subno > 0 && pg.subno <= 0x79) ? Dec(pg.subno) : 0;
  for (int i = 0; i < 40; ++i) out->colours[i] = Rgb(pg.color_map[i]);
  for (int i = 0; i < 4; ++i) {
    const int link = pg.nav_link[i].pgno;
    out->links[i] = (link >= 0x100 && link <= 0x899 && vbi_is_bcd(unsigned(link))) ? Dec(link) : 0;
  }
  for (int r = 0; r < STROVA_TTX_ROWS && r < pg.rows; ++r)
    for (int c = 0; c < STROVA_TTX_COLUMNS && c < pg.columns; ++c) {
      const vbi_char& ch = pg.text[r * pg.columns + c];
      StrovaTeletextCell& cell = out->cells[r][c];
      cell.unicode = uint16_t(ch.unicode ? ch.unicode : 0x20);
      cell.foreground = uint8_t(ch.foreground < 40 ? ch.foreground : unsigned(VBI_WHITE));
      cell.background = uint8_t(ch.background < 40 ? ch.background : unsigned(VBI_BLACK));
      cell.flags = CellFlags(ch);
    }
}

}  // namespace

bool VbiDecoder::FetchPage(int page, int subpage, StrovaTeletextPage* out) const {
  std::lock_guard lock(mu_);
  if (current_ == nullptr || current_->vbi == nullptr || out == nullptr) return false;
  if (page < 100 || page > 899 || subpage < 0 || subpage > 79) return false;
  vbi_page pg;
  const int sub = subpage == 0 ? VBI_ANY_SUBNO : Bcd(subpage);
  if (!vbi_fetch_vt_page(current_->vbi, &pg, Bcd(page), sub, VBI_WST_LEVEL_2p5, 25, TRUE))
    return false;
  CopyPage(pg, page, out);
  out->subtitle = current_->subtitlePages.count(page) ? 1 : 0;
  vbi_unref_page(&pg);
  return true;
}

std::vector<int> VbiDecoder::Subpages(int page) const {
  std::lock_guard lock(mu_);
  if (current_ == nullptr) return {};
  auto it = current_->subpages.find(page);
  if (it == current_->subpages.end()) return {};
  return {it->second.begin(), it->second.end()};
}

bool VbiDecoder::Header(std::string* text, std::string* clock) const {
  std::lock_guard lock(mu_);
  if (current_ == nullptr || !current_->haveHeader) return false;
  if (text) *text = current_->header;
  if (clock) *clock = current_->rawHeader.substr(current_->rawHeader.size() - 8);
  return true;
}

std::string VbiDecoder::Caption() const {
  std::lock_guard lock(mu_);
  if (current_ == nullptr || current_->vbi == nullptr) return {};
  vbi_page pg;
  if (!vbi_fetch_cc_page(current_->vbi, &pg, 1, FALSE)) return {};
  std::string text;
  for (int r = 0; r < pg.rows; ++r) {
    std::string row;
    for (int c = 0; c < pg.columns; ++c) {
      const vbi_char& ch = pg.text[r * pg.columns + c];
      const bool shown = ch.opacity != VBI_TRANSPARENT_SPACE;
      AppendUtf8(row, shown && ch.unicode >= 0x20 ? ch.unicode : 0x20);
    }
    row.erase(row.find_last_not_of(' ') + 1);
    row.erase(0, row.find_first_not_of(' '));
    if (row.empty()) continue;
    if (!text.empty()) text += '\n';
    text += row;
  }
  vbi_unref_page(&pg);
  return text;
}

int VbiDecoder::Aspect() const {
  std::lock_guard lock(mu_);
  return current_ ? current_->aspect : STROVA_WSS_UNKNOWN;
}

}  // namespace strova::vbi
