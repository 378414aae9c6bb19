// Recording profile: turns the recording settings read from the registry into
// the parameter lists the recording branch gives its encoder and multiplexer
// filters, and those filters turn the parameters back into stream settings.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "strova/filters/mpeg/MpegWriter.h"

namespace strova::capture {

// Values read from the settings key each time a recording branch is built.
struct RecordingValues {
  int captureMode = 1;
  int vidStandard = 16;  // 16 = PAL-B: 576-line sizes
  int audioRate = 7;
  int bitstream = 1120;
  int mpgMode = 0;
  int halfPic = 1;
  int h264Quality = 70;  // 0..100, the H.264 profile's rate factor

  bool Pal() const { return vidStandard == 16; }
  // Beyond the MPEG and AVI formats: lossless FFV1 + PCM in Matroska, and
  // H.264 + AAC in MP4. Any other number past 2 is AVI.
  bool Lossless() const { return captureMode == 4; }
  bool H264() const { return captureMode == 5; }
  bool Avi() const { return captureMode >= 3 && !Lossless() && !H264(); }
  // Written by the file writer, not the MPEG encoder and multiplexer filters.
  bool FileWriter() const { return captureMode >= 3; }
  // Full-width capture through Smart Tee with a down-scaled preview.
  bool FullWidth() const { return captureMode != 1 && mpgMode != 0; }
};

// Reads the values from "Software\Quorvel\Tellura" under HKEY_LOCAL_MACHINE
// (creating the key when missing); missing or unreadable values keep their
// defaults.
RecordingValues ReadRecordingValues();

using ParamList = std::vector<std::pair<uint32_t, int32_t>>;

// Audio bit rate in kbit/s for an audiorate index; out of range gives the
// default index 7 (224 kbit/s).
int AudioRateKbps(int index);

// Capture-pin picture size for MPEG recording.
void CapturePinSize(const RecordingValues& v, int* width, int* height);

// Parameters in the order they are set.
ParamList VideoEncoderParams(const RecordingValues& v);
// True when the recording is MPEG-2, which keeps the card's fields; every
// other format is progressive and gets a deinterlaced picture.
bool InterlacedRecording(const RecordingValues& v);
int32_t AudioEncoderBitrate(const RecordingValues& v);
ParamList MultiplexerParams(const RecordingValues& v);  // without 0x20A / 0x208

// The file a recording writes for the capture path: AVI the path itself,
// the others the path with their own extension (".mpg", ".mkv", ".mp4").
std::string RecordedFile(const RecordingValues& v, const std::string& capturePath);

// Capture file name checks: MPEG names need their 4-character extension,
// every name fits the 259-character field.
bool ValidCaptureName(const std::string& path, bool mpeg);
// True when the file's folder exists and may be written to.
bool CaptureFolderWritable(const std::string& path);
// The multiplexer's work name: the capture path without its last 4 characters.
std::string WorkName(const std::string& path);

// Parameter state of the encoder and multiplexer filters.  Each Set() takes a
// parameter id and value; unknown ids are refused.
class MpegParams {
 public:
  bool SetVideo(uint32_t id, int32_t value);
  bool SetAudio(uint32_t id, int32_t value);
  bool SetMux(uint32_t id, int32_t value);
  void SetFileName(const std::string& workName) { workName_ = workName; }

  mpeg::VideoSettings Video() const;
  mpeg::AudioSettings Audio(bool enabled) const;
  mpeg::MuxSettings Mux() const;  // path = work name + ".mpg"

 private:
  int frameRateCode_ = 3;
  int sizeCode_ = 1;
  int mpeg2_ = 0;
  int searchX_ = 8;
  int searchY_ = 8;
  int gop_ = 15;
  int bDistance_ = 3;
  int bitrate_ = 1120;
  int audioKbps_ = 224;
  int muxType_ = 2;
  int packetSize_ = 2324;
  std::string workName_;
};

}  // namespace strova::capture
