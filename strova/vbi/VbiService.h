// Decodes one card's VBI on a thread of its own: frames from the card's
// VBI source into a VbiDecoder, until stopped or the source fails.
#pragma once

#include "strova/vbi/VbiDecoder.h"

#include <atomic>
#include <memory>
#include <thread>

namespace strova::vbi {

// Seconds on the clock the frames are stamped with (steady, monotonic).
double Now();

class VbiService {
 public:
  explicit VbiService(std::unique_ptr<VbiSource> source);
  ~VbiService();  // stops and joins the thread
  VbiService(const VbiService&) = delete;
  VbiService& operator=(const VbiService&) = delete;

  const VbiDecoder& Decoder() const { return decoder_; }
  // The decoder's state now; a source that gives no frame at all counts as
  // a channel without teletext after the same wait.
  int State() const;

 private:
  void Run();

  std::unique_ptr<VbiSource> source_;
  VbiDecoder decoder_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> anyFrame_{false};
  double startedAt_;
  std::thread thread_;
};

// The VBI device of a V4L2 card: the /dev/vbiN node on the same bus as the
// capture device, else the capture node itself when it captures raw VBI.
// Null when the card has neither.
std::unique_ptr<VbiSource> OpenV4l2Vbi(const std::string& devicePath, const std::string& busInfo);

}  // namespace strova::vbi
