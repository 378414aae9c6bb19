#include "strova/capture/KeepProfiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace strova::capture {
namespace {

// The tag's stand-in while recording: a mark the fill finds, then blanks.
constexpr char kLogMark[] = "Tellura capture log: recording";

std::string LongName(const char* encoder) {
  const AVCodec* codec = avcodec_find_encoder_by_name(encoder);
  return codec && codec->long_name ? std::string(codec->long_name).substr(0, 79) : std::string();
}

void FullSize(bool pal, mpeg::VideoSettings* v) {
  v->width = 720;
  v->height = pal ? 576 : 480;
  v->fpsNum = pal ? 25 : 30000;
  v->fpsDen = pal ? 1 : 1001;
  v->bt601 = true;
}

}  // namespace

KeepProfile LosslessProfile(bool pal, bool sound, const std::string& path) {
  KeepProfile p;
  FullSize(pal, &p.video);
  p.video.codec = LongName("ffv1");
  p.video.interlaced = true;
  // A card delivers 625-line fields top first, 525-line ones bottom first.
  p.video.topFieldFirst = pal;
  // Version 3, range coder, large contexts, 24 slices each with its CRC,
  // every frame a key frame: what tape archives keep.
  p.video.codecOptions = {{"level", "3"}, {"slicecrc", "1"}, {"coder", "1"}, {"context", "1"},
                          {"slices", "24"}, {"g", "1"}};
  p.audio.enabled = sound;
  p.audio.sampleRate = 48000;
  p.audio.bitrateKbps = 1536;
  p.mux.type = mpeg::MuxType::Matroska;
  p.mux.path = path;
  // Without element checksums the log's tag can be filled in place.
  p.mux.options = {{"write_crc32", "0"}};
  p.mux.metadata = {{"CAPTURE_LOG", std::string(kLogMark) + std::string(kLogTagRoom - sizeof kLogMark + 1, ' ')}};
  return p;
}

std::string H264EncoderName() { return "libx264"; }

KeepProfile H264Profile(bool pal, bool sound, double quality, const std::string& path) {
  KeepProfile p;
  FullSize(pal, &p.video);
  p.video.codec = LongName(H264EncoderName().c_str());
  p.video.quality = quality;
  // Two-second groups with B frames, the High profile every player decodes.
  p.video.codecOptions = {{"g", pal ? "50" : "60"}, {"bf", "2"}, {"profile", "high"}, {"preset", "veryfast"}};
  p.audio.enabled = sound;
  p.audio.sampleRate = 48000;
  p.audio.bitrateKbps = 192;
  p.mux.type = mpeg::MuxType::Mp4;
  p.mux.path = path;
  // The header first, then a fragment per group: plays while it downloads,
  // and a file cut off by a crash still plays up to its last fragment.
  p.mux.options = {{"movflags", "+empty_moov+frag_keyframe+default_base_moof"}};
  return p;
}

bool StoreLogInFile(const std::string& path, const std::string& log) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  // The tags sit in the file's head or after its last cluster.
  const off_t size = ::lseek(fd, 0, SEEK_END);
  const off_t window = 1 << 20;
  bool stored = false;
  for (off_t from : {off_t{0}, std::max<off_t>(0, size - window)}) {
    std::vector<char> bytes(static_cast<size_t>(std::min(window, size - from)));
    if (::pread(fd, bytes.data(), bytes.size(), from) != static_cast<ssize_t>(bytes.size())) continue;
    const auto at = std::search(bytes.begin(), bytes.end(), kLogMark, kLogMark + sizeof kLogMark - 1);
    if (at == bytes.end() || static_cast<size_t>(bytes.end() - at) < kLogTagRoom) continue;
    std::string text = log.substr(0, kLogTagRoom);
    text.resize(kLogTagRoom, ' ');
    stored = ::pwrite(fd, text.data(), text.size(), from + (at - bytes.begin())) == static_cast<ssize_t>(text.size()) &&
             ::fsync(fd) == 0;
    break;
  }
  ::close(fd);
  return stored;
}

}  // namespace strova::capture
