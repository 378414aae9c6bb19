// Recording sink for the capture graph: a GStreamer bin with a raw video
// input "Input0" and a raw sound input "Input1" that encodes and multiplexes
// both into an MPEG program stream on its own thread, so the streaming
// threads (and the preview) never wait for the encoder.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "strova/filters/mpeg/MpegWriter.h"

typedef struct _GstElement GstElement;

namespace strova::mpeg {

class MpegRecorder {
 public:
  // The inputs are named by the filter that uses the recorder.
  explicit MpegRecorder(const char* videoPin = "Input0", const char* audioPin = "Input1");
  ~MpegRecorder();
  MpegRecorder(const MpegRecorder&) = delete;
  MpegRecorder& operator=(const MpegRecorder&) = delete;

  GstElement* Bin() const { return bin_; }
  bool Valid() const { return bin_ != nullptr; }

  // Opens the file and starts the encoder thread; call before the graph runs.
  bool Start(const VideoSettings& video, const AudioSettings& audio, const MuxSettings& mux, std::string* error);
  // Frames as they go to the encoders (see MpegWriter); set before Start.
  void SetFrameTap(FrameTap tap) { writer_.SetFrameTap(std::move(tap)); }
  // Ends the thread and finalises the file (end codes).  Safe to repeat.
  WriteStatus Stop();
  // Waits (up to timeoutMs) until end-of-stream has reached the inputs that
  // carry data and everything before it is written, then stops.
  WriteStatus Finish(int timeoutMs);
  // Called on the encoder thread when the recording ends by itself (disk
  // full, write error). Without one, the end is posted on the bus as an
  // error: resource error "no space left" for a full disk, stream error else.
  void SetEndHandler(std::function<void(WriteStatus)> handler) { onEnd_ = std::move(handler); }
  bool Running() const { return thread_.joinable(); }

  int64_t FramesWritten() const { return frames_.load(); }
  int64_t FramesDropped() const { return dropped_.load(); }

 private:
  void Loop();
  bool PullVideo();
  bool PullAudio();
  void Post(WriteStatus status);

  GstElement* bin_ = nullptr;
  GstElement* videoSink_ = nullptr;
  GstElement* audioSink_ = nullptr;
  MpegWriter writer_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> drained_{false};
  std::atomic<bool> videoEos_{false};
  std::atomic<bool> audioEos_{false};
  std::function<void(WriteStatus)> onEnd_;
  std::atomic<int64_t> frames_{0};
  std::atomic<int64_t> dropped_{0};
  WriteStatus status_ = WriteStatus::Ok;
  bool audio_ = true;
};

}  // namespace strova::mpeg
