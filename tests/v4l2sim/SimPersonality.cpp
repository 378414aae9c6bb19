// The chip families the simulated card can be, and the fault words.
#include "SimDevice.h"

#include <sstream>

namespace v4l2sim {
namespace {

const std::vector<Personality>& All() {
  static const std::vector<Personality> kAll = [] {
    std::vector<Personality> v;
    // PCI card with a tuner (Brooktree 878): scales freely, gives every
    // field order, changes standard and input while streaming, has no AFC,
    // and loses horizontal lock between stations.
    Personality bttv;
    bttv.name = "bttv";
    bttv.driver = "bttv";
    bttv.card = "BT878 video (simulated)";
    bttv.bus = "PCI:0000:03:00.0";
    bttv.formats = {V4L2_PIX_FMT_YUYV, V4L2_PIX_FMT_UYVY, V4L2_PIX_FMT_GREY, V4L2_PIX_FMT_BGR24};
    bttv.fields = {V4L2_FIELD_INTERLACED, V4L2_FIELD_ALTERNATE, V4L2_FIELD_TOP, V4L2_FIELD_BOTTOM};
    bttv.afc = false;
    bttv.inputs = {"Television", "Composite1", "S-Video"};
    v.push_back(bttv);
    // PCI card with a tuner (Philips SAA7134): refuses a new standard or
    // input while it streams (EBUSY), reports AFC and no signal off station.
    Personality saa = bttv;
    saa.name = "saa7134";
    saa.driver = "saa7134";
    saa.card = "SAA7134 TV card (simulated)";
    saa.bus = "PCI:0000:04:01.0";
    saa.fields = {V4L2_FIELD_INTERLACED, V4L2_FIELD_TOP, V4L2_FIELD_BOTTOM};
    saa.stdBusyWhileStreaming = true;
    saa.afc = true;
    saa.inputs = {"Television", "Composite1", "S-Video"};
    v.push_back(saa);
    // USB stick with a tuner (Empia 28xx): packed YUV only, interlaced
    // only, a few discrete sizes, and no format, standard or input change
    // while streaming (EBUSY).
    Personality em = saa;
    em.name = "em28xx";
    em.driver = "em28xx";
    em.card = "EM28xx USB TV stick (simulated)";
    em.bus = "usb-0000:00:14.0-2";
    em.formats = {V4L2_PIX_FMT_YUYV, V4L2_PIX_FMT_UYVY};
    em.fields = {V4L2_FIELD_INTERLACED};
    em.enumFrameSizes = true;
    v.push_back(em);
    // USB grabber without a tuner (Syntek 1160): composite and S-Video only.
    Personality stk = em;
    stk.name = "stk1160";
    stk.driver = "stk1160";
    stk.card = "STK1160 grabber (simulated)";
    stk.bus = "usb-0000:00:14.0-3";
    stk.formats = {V4L2_PIX_FMT_UYVY};
    stk.tuner = false;
    stk.inputs = {"Composite0", "S-Video"};
    v.push_back(stk);
    return v;
  }();
  return kAll;
}

}  // namespace

const Personality* FindPersonality(const std::string& name) {
  for (const auto& p : All())
    if (p.name == name) return &p;
  return nullptr;
}

std::string PersonalityNames() {
  std::string s;
  for (const auto& p : All()) s += (s.empty() ? "" : ", ") + p.name;
  return s;
}

bool ApplyFaultWords(const std::string& words, Faults& f, int64_t frames, bool* unplug, bool* replug) {
  std::string text = words;
  for (char& c : text)
    if (c == ',') c = ' ';
  std::istringstream in(text);
  std::string w;
  bool ok = true;
  while (in >> w) {
    const size_t at = w.find('@');
    const std::string name = w.substr(0, at);
    int64_t n = frames;
    if (at != std::string::npos) {
      try {
        n = std::stoll(w.substr(at + 1));
      } catch (...) {
        ok = false;
        continue;
      }
    }
    if (name == "unplug") {
      if (at == std::string::npos && unplug) *unplug = true;
      else f.unplugAt = n;
    } else if (name == "replug") {
      if (replug) *replug = true;
    } else if (name == "stall") {
      f.stallAt = n;
    } else if (name == "resume") {
      f.stallAt = -1;
    } else if (name == "drop") {
      f.dropAt = n + (at == std::string::npos);
    } else if (name == "repeat") {
      f.repeatAt = n + (at == std::string::npos);
    } else if (name == "tsjump") {
      f.jumpAt = n + (at == std::string::npos);
    } else if (name == "zerosize") {
      f.zeroSize = true;
    } else if (name == "badlength") {
      f.badLength = true;
    } else if (name == "badfield") {
      f.badField = true;
    } else if (name == "sane") {
      f = Faults{};
    } else {
      ok = false;
    }
  }
  return ok;
}

}  // namespace v4l2sim
