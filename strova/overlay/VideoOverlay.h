// On-video logo, time and date: a GStreamer bin placed in the card's video
// path that draws a logo picture and the current time and date (in the
// desktop locale's formats) into every frame, so the preview, stills and
// recordings all carry them.
#pragma once

#include <string>

typedef struct _GstElement GstElement;

namespace strova::overlay {

class VideoOverlay {
 public:
  VideoOverlay();
  ~VideoOverlay();
  VideoOverlay(const VideoOverlay&) = delete;
  VideoOverlay& operator=(const VideoOverlay&) = delete;

  // The bin with "sink" and "src" pads; owned by this object until added to a
  // pipeline (the pipeline then holds its own reference).
  GstElement* Bin() const { return bin_; }
  bool Valid() const { return bin_ != nullptr; }
  // Whether the bin sits in a device's video path (it draws into frames).
  bool InVideoPath() const;

  // Loads the logo picture (any format GStreamer decodes).  A missing file or
  // one that is not a picture keeps the logo off and returns false.
  bool SetLogoFile(const std::string& path);
  // Each item: show = 0 hides it; x, y = top-left corner in picture pixels.
  bool ShowLogo(int show, int x, int y);
  bool ShowTime(int show, int x, int y);
  bool ShowDate(int show, int x, int y);
  // Non-zero: draw the items also on the user stream; kept for the caller.
  bool DrawOnUserStream(int value);
  int UserStream() const { return userStream_; }
  bool LogoLoaded() const { return !logoPath_.empty(); }

 private:
  bool ShowText(GstElement* text, int show, int x, int y);
  void ApplyLogo();

  GstElement* bin_ = nullptr;
  GstElement* logo_ = nullptr;
  GstElement* time_ = nullptr;
  GstElement* date_ = nullptr;
  std::string logoPath_;
  bool logoShown_ = false;
  int logoX_ = 0, logoY_ = 0;
  int userStream_ = 0;
};

// The companion filter bin carries its overlay: Attach() is called when the
// filter is built, Find() by the exports (null when none is attached).  The
// overlay must outlive the bin's use of it or be detached with nullptr.
void AttachOverlay(GstElement* companion, VideoOverlay* overlay);
VideoOverlay* FindOverlay(GstElement* companion);

// True when path decodes as a still picture.
bool IsPicture(const std::string& path);

}  // namespace strova::overlay
