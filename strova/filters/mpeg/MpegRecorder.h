// Recording sink for the capture graph: a GStreamer bin with a raw video
// input "Input0" and a raw sound input "Input1" that encodes and multiplexes
// both into an MPEG program stream on its own thread, so the streaming
// threads (and the preview) never wait for the encoder.
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "strova/filters/mpeg/MpegWriter.h"

typedef struct _GstElement GstElement;

namespace strova::mpeg {

// Name and fields of the element message posted on the bus when a
// recording ends by itself: "status" is "disk-full" or "aborted".
inline constexpr const char* kRecordingMessage = "strova-recording";

class MpegRecorder {
 public:
  MpegRecorder();
  ~MpegRecorder();
  MpegRecorder(const MpegRecorder&) = delete;
  MpegRecorder& operator=(const MpegRecorder&) = delete;

  GstElement* Bin() const { return bin_; }
  bool Valid() const { return bin_ != nullptr; }

  // Opens the file and starts the encoder thread; call before the graph runs.
  bool Start(const VideoSettings& video, const AudioSettings& audio, const MuxSettings& mux, std::string* error);
  // Ends the thread and finalises the file (end codes).  Safe to repeat.
  WriteStatus Stop();
  bool Running() const { return thread_.joinable(); }

  int64_t FramesWritten() const { return frames_.load(); }
  int64_t FramesDropped() const { return dropped_.load(); }

 private:
  void Loop();
  bool PullVideo();
  bool PullAudio();
  void Post(const char* status);

  GstElement* bin_ = nullptr;
  GstElement* videoSink_ = nullptr;
  GstElement* audioSink_ = nullptr;
  MpegWriter writer_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<int64_t> frames_{0};
  std::atomic<int64_t> dropped_{0};
  WriteStatus status_ = WriteStatus::Ok;
  bool audio_ = true;
};

}  // namespace strova::mpeg
