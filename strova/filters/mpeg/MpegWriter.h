// MPEG program-stream writer: encodes raw video frames (MPEG-1/MPEG-2) and
// interleaved 16-bit PCM (MP2) and multiplexes them into a VCD, DVD or
// generic MPEG program stream.  Plain C++ over libavcodec/libavformat, used by
// the encoder and multiplexer filters of the recording branch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace strova::mpeg {

// Multiplexer flavour; the numbers up to 2 are the multiplexer's mux-type
// parameter. Avi writes an AVI file with the video encoder named in
// VideoSettings::codec and 16-bit PCM sound; Matroska the same with its
// sound at the rate asked for; Mp4 the named encoder with AAC sound, in
// fragments behind a leading header, so a file cut off still plays.
enum class MuxType : int { Mpeg = 0, Dvd = 1, Vcd = 2, Avi = 3, Matroska = 4, Mp4 = 5 };

using Options = std::vector<std::pair<std::string, std::string>>;

enum class PixelFormat { Rgb24, Bgr24, Bgrx, I420, Yuy2 };

struct VideoSettings {
  int width = 352;
  int height = 288;
  int fpsNum = 25;
  int fpsDen = 1;
  bool mpeg2 = false;
  int bitrateKbps = 1150;
  int gopLength = 15;
  int bFrameDistance = 3;  // distance between reference frames; 1 = no B frames
  // A libavcodec encoder name (see Compressors.h); empty = MPEG-1 or MPEG-2
  // by the flag above, at the constant bit rate.
  std::string codec;
  double quality = 1.0;  // 0..1, for a named encoder: its quantiser or rate factor
  // Analogue video as it is: fields kept (in this order) and BT.601 colour,
  // limited range, flagged in the stream. Only for Matroska and Mp4.
  bool interlaced = false;
  bool topFieldFirst = true;
  bool bt601 = false;
  Options codecOptions = {};  // the named encoder's own options
};

struct AudioSettings {
  bool enabled = true;
  int sampleRate = 44100;
  int bitrateKbps = 224;
};

// Where the multiplexed bytes go.  Returns bytes written or a negative errno.
using ByteSink = std::function<long(const uint8_t* data, size_t size)>;

struct MuxSettings {
  MuxType type = MuxType::Vcd;
  int packetSize = 2324;
  std::string path;  // used when no sink is given
  ByteSink sink;     // optional replacement for the file (tests, pipes)
  Options options = {};   // the multiplexer's own options
  Options metadata = {};  // the file's tags
};

// Sees each picture and sound frame as it goes to its encoder (repeats
// included): planar pictures in the encoder's format, interleaved sound.
struct FrameTap {
  std::function<void(const uint8_t* const planes[4], const int strides[4], int width, int height, int64_t pts)> video;
  std::function<void(const uint8_t* pcm, size_t bytes, int64_t pts)> audio;
};

// Raw input frame description.
struct Frame {
  const uint8_t* data = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;  // bytes per row of the first plane; 0 = packed default
  PixelFormat format = PixelFormat::Rgb24;
};

enum class WriteStatus { Ok, DiskFull, Failed };

class MpegWriter {
 public:
  MpegWriter();
  ~MpegWriter();
  MpegWriter(const MpegWriter&) = delete;
  MpegWriter& operator=(const MpegWriter&) = delete;

  // Opens the output and both encoders.  False with a reason on failure;
  // nothing is left open then.
  bool Open(const VideoSettings& video, const AudioSettings& audio, const MuxSettings& mux,
            std::string* error);
  // Set before Open.
  void SetFrameTap(FrameTap tap);

  // Adds one video frame taken at timeNs (stream time).  Frames are placed on
  // the constant frame-rate grid: late duplicates are dropped, gaps repeat the
  // previous picture so sound and picture stay in step.  timeNs < 0 appends.
  WriteStatus WriteVideo(const Frame& frame, int64_t timeNs = -1);

  // Adds interleaved signed 16-bit PCM at its own rate and channel count,
  // taken at timeNs (stream time, the picture's clock).  Sound missing before
  // a block (dropped upstream) becomes silence, or a jump of the time stamps
  // beyond two seconds, so sound and picture stay in step; a block stamped
  // before the sound already written is dropped.  timeNs < 0 appends.
  WriteStatus WriteAudio(const int16_t* pcm, int frames, int rate, int channels, int64_t timeNs = -1);

  // Flushes the encoders and writes the end codes.  Also called by the
  // destructor.  After a disk-full error the stream written so far is closed
  // off as well as the space allows.
  WriteStatus Close();

  bool IsOpen() const;
  int64_t VideoFramesWritten() const;
  int64_t FramesDropped() const;
  int64_t FramesRepeated() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace strova::mpeg
