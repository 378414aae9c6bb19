#include "strova/capture/FrameChecksums.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/md5.h>
}

namespace strova::capture {
namespace {

constexpr int kVideo = 0;
constexpr int kAudio = 1;

bool SyncAndRename(const std::string& from, const std::string& to) {
  const int fd = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  ::close(fd);
  return synced && ::rename(from.c_str(), to.c_str()) == 0;
}

std::string Md5Hex(const uint8_t* data, size_t size) {
  uint8_t digest[16];
  av_md5_sum(digest, data, size);
  char hex[33];
  for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
  return hex;
}

// The framemd5 file's hashes, stream by stream.
std::vector<std::vector<std::string>> ReadChecksums(const std::string& path) {
  std::vector<std::vector<std::string>> hashes(2);
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const auto comma = line.rfind(',');
    const int stream = std::atoi(line.c_str());
    if (comma == std::string::npos || stream < 0 || stream > 1) continue;
    size_t at = comma + 1;
    while (at < line.size() && line[at] == ' ') ++at;
    hashes[static_cast<size_t>(stream)].push_back(line.substr(at));
  }
  return hashes;
}

}  // namespace

struct FrameChecksums::Impl {
  AVFormatContext* fmt = nullptr;
  AVPacket* pkt = nullptr;
  std::string path, temp;
  int width = 0, height = 0;
  bool sound = false;

  void Write(int stream, const uint8_t* data, size_t size, int64_t pts, int64_t duration) {
    if (!fmt || av_new_packet(pkt, static_cast<int>(size)) < 0) return;
    std::copy(data, data + size, pkt->data);
    pkt->stream_index = stream;
    pkt->pts = pkt->dts = pts;
    pkt->duration = duration;
    av_write_frame(fmt, pkt);
    av_packet_unref(pkt);
  }
  void Release() {
    if (fmt) {
      avio_closep(&fmt->pb);
      avformat_free_context(fmt);
      fmt = nullptr;
    }
    av_packet_free(&pkt);
  }
};

FrameChecksums::FrameChecksums() : impl_(std::make_unique<Impl>()) {}
FrameChecksums::~FrameChecksums() { Close(); }

bool FrameChecksums::Open(const std::string& path, int width, int height, int sarNum, int sarDen, int fpsNum,
                          int fpsDen, int sampleRate, bool sound) {
  Impl& d = *impl_;
  d.path = path;
  d.temp = path + ".part";
  d.width = width;
  d.height = height;
  d.sound = sound;
  d.pkt = av_packet_alloc();
  if (!d.pkt || avformat_alloc_output_context2(&d.fmt, nullptr, "framemd5", d.temp.c_str()) < 0) {
    d.Release();
    return false;
  }
  AVStream* v = avformat_new_stream(d.fmt, nullptr);
  AVStream* a = sound ? avformat_new_stream(d.fmt, nullptr) : nullptr;
  bool ok = v && (!sound || a);
  if (ok) {
    v->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    v->codecpar->codec_id = AV_CODEC_ID_RAWVIDEO;
    v->codecpar->format = AV_PIX_FMT_YUV420P;
    v->codecpar->width = width;
    v->codecpar->height = height;
    v->codecpar->sample_aspect_ratio = AVRational{sarNum, sarDen};
    v->sample_aspect_ratio = v->codecpar->sample_aspect_ratio;
    v->time_base = AVRational{fpsDen, fpsNum};
  }
  if (ok && a) {
    a->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
    a->codecpar->codec_id = AV_CODEC_ID_PCM_S16LE;
    a->codecpar->format = AV_SAMPLE_FMT_S16;
    a->codecpar->sample_rate = sampleRate;
    av_channel_layout_default(&a->codecpar->ch_layout, 2);
    a->time_base = AVRational{1, sampleRate};
  }
  ok = ok && avio_open(&d.fmt->pb, d.temp.c_str(), AVIO_FLAG_WRITE) >= 0 && avformat_write_header(d.fmt, nullptr) >= 0;
  if (!ok) {
    d.Release();
    ::unlink(d.temp.c_str());
  }
  return ok;
}

void FrameChecksums::Video(const uint8_t* const planes[4], const int strides[4], int64_t pts) {
  Impl& d = *impl_;
  if (!d.fmt) return;
  const int size = av_image_get_buffer_size(AV_PIX_FMT_YUV420P, d.width, d.height, 1);
  std::vector<uint8_t> packed(static_cast<size_t>(size));
  av_image_copy_to_buffer(packed.data(), size, planes, strides, AV_PIX_FMT_YUV420P, d.width, d.height, 1);
  d.Write(kVideo, packed.data(), packed.size(), pts, 1);
}

void FrameChecksums::Audio(const uint8_t* pcm, size_t bytes, int64_t pts) {
  Impl& d = *impl_;
  if (d.fmt && d.sound) d.Write(kAudio, pcm, bytes, pts, static_cast<int64_t>(bytes / 4));
}

bool FrameChecksums::Close() {
  Impl& d = *impl_;
  if (!d.fmt) return false;
  const bool written = av_write_trailer(d.fmt) >= 0;
  d.Release();
  return written && SyncAndRename(d.temp, d.path);
}

namespace {

struct Decoder {
  AVCodecContext* ctx = nullptr;
  int stream = -1;  // the checksum file's stream
  size_t next = 0;
  ~Decoder() { avcodec_free_context(&ctx); }
};

std::string FrameHash(const AVFrame* f, int stream) {
  if (stream == kVideo) {
    const auto format = static_cast<AVPixelFormat>(f->format);
    const int size = av_image_get_buffer_size(format, f->width, f->height, 1);
    if (size <= 0) return {};
    std::vector<uint8_t> packed(static_cast<size_t>(size));
    av_image_copy_to_buffer(packed.data(), size, f->data, f->linesize, format, f->width, f->height, 1);
    return Md5Hex(packed.data(), packed.size());
  }
  const size_t bytes = static_cast<size_t>(f->nb_samples) * static_cast<size_t>(f->ch_layout.nb_channels) *
                       static_cast<size_t>(av_get_bytes_per_sample(static_cast<AVSampleFormat>(f->format)));
  return Md5Hex(f->data[0], bytes);
}

void Compare(Decoder& d, AVFrame* frame, const std::vector<std::vector<std::string>>& hashes, CheckResult& r) {
  while (avcodec_receive_frame(d.ctx, frame) >= 0) {
    const auto& list = hashes[static_cast<size_t>(d.stream)];
    if (d.next >= list.size() || FrameHash(frame, d.stream) != list[d.next]) ++r.mismatches;
    ++d.next;
    ++r.frames;
    av_frame_unref(frame);
  }
}

}  // namespace

CheckResult CheckRecording(const std::string& file, const std::string& checksums) {
  CheckResult r;
  const auto hashes = ReadChecksums(checksums);
  AVFormatContext* in = nullptr;
  if (avformat_open_input(&in, file.c_str(), nullptr, nullptr) < 0 || avformat_find_stream_info(in, nullptr) < 0) {
    if (in) avformat_close_input(&in);
    r.error = "the recording cannot be read";
    return r;
  }
  std::vector<Decoder> decoders(in->nb_streams);
  for (unsigned i = 0; i < in->nb_streams; ++i) {
    const AVCodecParameters* par = in->streams[i]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    const int stream = par->codec_type == AVMEDIA_TYPE_VIDEO ? kVideo : par->codec_type == AVMEDIA_TYPE_AUDIO ? kAudio : -1;
    if (!codec || stream < 0) continue;
    Decoder& d = decoders[i];
    d.ctx = avcodec_alloc_context3(codec);
    if (d.ctx) d.ctx->thread_count = 2;
    if (!d.ctx || avcodec_parameters_to_context(d.ctx, par) < 0 || avcodec_open2(d.ctx, codec, nullptr) < 0) {
      r.error = "the recording's streams cannot be decoded";
      avformat_close_input(&in);
      return r;
    }
    d.stream = stream;
  }
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  while (pkt && frame && av_read_frame(in, pkt) >= 0) {
    Decoder& d = decoders[static_cast<size_t>(pkt->stream_index)];
    if (d.ctx && avcodec_send_packet(d.ctx, pkt) >= 0) Compare(d, frame, hashes, r);
    av_packet_unref(pkt);
  }
  for (Decoder& d : decoders) {
    if (!d.ctx) continue;
    avcodec_send_packet(d.ctx, nullptr);
    Compare(d, frame, hashes, r);
    // Frames the file lacks count as differing too.
    const size_t listed = hashes[static_cast<size_t>(d.stream)].size();
    if (listed > d.next) r.mismatches += static_cast<int64_t>(listed - d.next);
  }
  av_frame_free(&frame);
  av_packet_free(&pkt);
  avformat_close_input(&in);
  return r;
}

}  // namespace strova::capture
