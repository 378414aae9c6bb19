// Process-wide library context and the per-card records behind the exports.
// Internal to libstrova: every export module reads and writes these records.
#pragma once

#include "strova/Strova.h"

#include <gst/gst.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace strova::card { class Card; }
namespace strova::graph {
class EventQueue;
class VideoWindow;
}

namespace strova::core {

inline constexpr int kMaxCards = STROVA_MAX_CARDS;
inline constexpr int kNameLen = STROVA_NAME_LEN;
inline constexpr int kPathLen = 260;
inline constexpr int kDiagLen = 2000;
inline constexpr double kDefaultFrameRate = 14.99;

// One card slot. Reset() gives exactly the initial values.
struct CardContext {
  char captureFile[kPathLen] = {};  // path the next recording writes; "" = none
  GstElement* pipeline = nullptr;   // the card's graph; null when not built
  // The card's streaming device bin; a reference is held, so it stays set
  // while a rebuild has taken it out of the graph.
  GstElement* captureFilter = nullptr;
  GstElement* cardFilter = nullptr;     // "Quorvel Zento Filter" bin in the graph
  GstElement* renderer = nullptr;       // "Video Renderer" bin in the graph
  std::unique_ptr<card::Card> device;   // the card backend this slot streams
  std::unique_ptr<graph::EventQueue> events;      // the graph's event source
  std::unique_ptr<graph::VideoWindow> videoWindow;  // while a preview branch exists
  // Last format written to the capture (0) and preview (1) pin, as caps text;
  // applied again when the streaming device is made anew.
  std::string pinFormat[2];
  int captureBuilt = 0;
  int previewBuilt = 0;
  int capturing = 0;
  int graphState = STROVA_STATE_STOPPED;  // 0 running, 1 paused, 2 stopped
  int captureAudio = 0;
  int captureIsVideo = 0;
  double frameRate = kDefaultFrameRate;
  int useFrameRate = 0;
  STROVA_HWND ownerWindow = nullptr;
  STROVA_HWND messageDrain = nullptr;
  StrovaRect windowRect = {};
  STROVA_HWND notifyWindow = nullptr;
  unsigned int notifyMessage = 0;
  int yuvMode = 0;

  CardContext();
  ~CardContext();
  void Reset();
  bool HasGraph() const { return pipeline != nullptr; }
};

struct LibraryContext {
  int cardCount = -1;  // -1 until the first enumeration
  std::vector<std::string> compressorNames;
  int selectedCompressor = -1;
  double compressorQuality = 1.0;
  int displayMode = 1;  // 1 Overlay Mixer, 0 Color Space Converter
  int deinterlace = 1;  // the preview deinterlaces interlaced sources
  std::string capturePinName;
  std::string previewPinName;
  int lastConnectedCard = -1;  // card whose graph was built last (card control)
  char diagnosticText[kDiagLen] = {};
  std::array<CardContext, kMaxCards> cards;
};

// The one context of the process.
LibraryContext& Context();

// True when 0 <= card < 32 and card < cardCount.
bool ValidCard(int card);

// The record of a valid card, else null.
CardContext* CardAt(int card);

// Posts a notification to the card's notify window (the platform's
// PostMessage, safe from any thread): lParam = (card << 16) | code.
void Notify(int card, unsigned int code, uintptr_t wParam);

// Replaces the diagnostic text (printf-style).
void SetDiagnostic(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Copies text into a fixed field of size bytes, always zero-terminated.
void CopyField(char* dst, size_t size, const std::string& text);

}  // namespace strova::core
