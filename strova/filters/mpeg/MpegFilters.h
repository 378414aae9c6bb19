// The MPEG filters of one recording: "Vantrel MPEG Video Encoder" ("Video In"
// -> "Video Out"), "Vantrel MPEG Audio Encoder" ("Audio In" -> "Audio Out")
// and "Vantrel Multiplexer" ("Input0", "Input1"), which writes the file.
//
// The encoders bring the picture and the sound into the stream's own format
// (size, sample rate) on their streaming threads; the multiplexer's thread
// runs libavcodec and libavformat on them. The three share one parameter
// state, so the multiplexer opens the file with the settings all of them
// were given: multiplexer parameter 0x20A names the file (work name, ".mpg"
// is added), 0x208 = 1 opens it and 0x208 = 0 finishes it.
#pragma once

#include "strova/capture/RecordingProfile.h"
#include "strova/filters/mpeg/MpegRecorder.h"

#include <functional>
#include <memory>
#include <string>

typedef struct _GstElement GstElement;

namespace strova::mpeg {

class MpegFilterSet {
 public:
  // Null when GStreamer lacks an element the filters need.
  static std::shared_ptr<MpegFilterSet> Create();
  ~MpegFilterSet();
  MpegFilterSet(const MpegFilterSet&) = delete;
  MpegFilterSet& operator=(const MpegFilterSet&) = delete;

  // The bins (this object keeps a reference to each; a graph adds its own).
  GstElement* VideoEncoder() const { return video_; }
  GstElement* AudioEncoder() const { return audio_; }
  GstElement* Multiplexer() const { return recorder_.Bin(); }

  // The three filters' parameter interfaces; false for an unknown id, and
  // for 0x208 = 1 when the file cannot be opened.
  bool SetVideoParam(uint32_t id, int32_t value);
  bool SetAudioParam(uint32_t id, int32_t value);
  bool SetMuxParam(uint32_t id, intptr_t value);

  // Ends the file (also done by 0x208 = 0, without waiting): waits up to
  // timeoutMs for end-of-stream to pass the multiplexer first. Safe to repeat.
  WriteStatus Finish(int timeoutMs = 0);
  // See MpegRecorder::SetEndHandler.
  void SetEndHandler(std::function<void(WriteStatus)> handler) { recorder_.SetEndHandler(std::move(handler)); }
  bool Recording() const { return recorder_.Running(); }
  bool WithSound() const { return sound_; }
  const std::string& LastError() const { return error_; }
  int64_t FramesWritten() const { return recorder_.FramesWritten(); }
  int64_t FramesDropped() const { return recorder_.FramesDropped(); }
  // The settings the file is (or would be) written with.
  VideoSettings Video() const { return params_.Video(); }
  AudioSettings Audio() const { return params_.Audio(sound_); }
  MuxSettings Mux() const { return params_.Mux(); }

 private:
  MpegFilterSet() = default;
  bool Build();
  bool Start();
  void ApplyFormats();

  capture::MpegParams params_;
  MpegRecorder recorder_;
  GstElement* video_ = nullptr;
  GstElement* audio_ = nullptr;
  GstElement* videoCaps_ = nullptr;
  GstElement* audioCaps_ = nullptr;
  bool sound_ = false;
  std::string error_;
};

}  // namespace strova::mpeg
