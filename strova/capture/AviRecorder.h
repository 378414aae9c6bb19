// AVI recording sink: uncompressed 24-bit RGB video at 320 x 240 ("Input 01")
// and optional PCM sound ("Input 02") multiplexed by avimux into a file.
// Stopping sends end-of-stream through the bin first, so the multiplexer
// writes its index and the file is complete before the graph is torn down.
#pragma once

#include <string>

typedef struct _GstElement GstElement;

namespace strova::capture {

class AviRecorder {
 public:
  explicit AviRecorder(bool withAudio);
  ~AviRecorder();
  AviRecorder(const AviRecorder&) = delete;
  AviRecorder& operator=(const AviRecorder&) = delete;

  GstElement* Bin() const { return bin_; }
  bool Valid() const { return bin_ != nullptr; }

  // Target file; refused (false) when its folder is missing or not writable.
  bool SetFileName(const std::string& path);
  // Ends the streams and waits (up to timeoutMs) until the file is finished.
  bool Finish(int timeoutMs);

 private:
  GstElement* bin_ = nullptr;
  GstElement* writer_ = nullptr;  // "File writer", owned by bin_
  bool audio_ = false;
  struct Done;
  Done* done_ = nullptr;
};

}  // namespace strova::capture
