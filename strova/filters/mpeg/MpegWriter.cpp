#include "strova/filters/mpeg/MpegWriter.h"

#include "strova/filters/mpeg/Compressors.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace strova::mpeg {
namespace {

constexpr int kAvioBufferSize = 64 * 1024;
// A DVD's program stream runs at 10.08 Mbit/s; its navigation packs and
// pack headers take about 4 % of that, so the video stays at 9 Mbit/s or
// below to leave room for any sound rate.
constexpr int64_t kDvdMuxRate = 10080000;
constexpr int kDvdMaxVideoKbps = 9000;

AVPixelFormat ToAv(PixelFormat f) {
  switch (f) {
    case PixelFormat::Rgb24: return AV_PIX_FMT_RGB24;
    case PixelFormat::Bgr24: return AV_PIX_FMT_BGR24;
    case PixelFormat::Bgrx: return AV_PIX_FMT_BGR0;
    case PixelFormat::I420: return AV_PIX_FMT_YUV420P;
    case PixelFormat::Yuy2: return AV_PIX_FMT_YUYV422;
  }
  return AV_PIX_FMT_RGB24;
}

int DefaultStride(const Frame& f) {
  switch (f.format) {
    case PixelFormat::Rgb24:
    case PixelFormat::Bgr24: return f.width * 3;
    case PixelFormat::Bgrx: return f.width * 4;
    case PixelFormat::I420: return f.width;
    case PixelFormat::Yuy2: return f.width * 2;
  }
  return f.width * 3;
}

const char* MuxerName(MuxType t) {
  switch (t) {
    case MuxType::Vcd: return "vcd";
    case MuxType::Dvd: return "dvd";
    case MuxType::Mpeg: return "mpeg";
    case MuxType::Avi: return "avi";
    case MuxType::Matroska: return "matroska";
    case MuxType::Mp4: return "mp4";
  }
  return "mpeg";
}

// File sink writing straight to a descriptor so short writes and ENOSPC are
// seen exactly as the kernel reports them.
ByteSink MakeFileSink(int fd) {
  return [fd](const uint8_t* data, size_t size) -> long {
    size_t done = 0;
    while (done < size) {
      ssize_t n = ::write(fd, data + done, size - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return -errno;
      if (n == 0) return -ENOSPC;
      done += static_cast<size_t>(n);
    }
    return static_cast<long>(done);
  };
}

}  // namespace

struct MpegWriter::Impl {
  VideoSettings video;
  AudioSettings audio;
  MuxSettings mux;
  ByteSink sink;
  int fd = -1;
  bool sinkFull = false;
  bool sinkFailed = false;

  AVFormatContext* fmt = nullptr;
  AVIOContext* avio = nullptr;
  AVCodecContext* venc = nullptr;
  AVCodecContext* aenc = nullptr;
  AVStream* vst = nullptr;
  AVStream* ast = nullptr;
  AVFrame* vframe = nullptr;
  AVFrame* aframe = nullptr;
  AVPacket* pkt = nullptr;
  bool bottomUp = false;  // uncompressed AVI pictures, stored last row first
  SwsContext* sws = nullptr;
  SwrContext* swr = nullptr;
  int swrInRate = 0;
  int swrInChannels = 0;
  std::vector<int16_t> pending;  // resampled stereo PCM waiting for a full frame
  int64_t nextVideoPts = 0;
  int64_t firstVideoNs = -1;
  int64_t nextAudioPts = 0;
  int64_t dropped = 0;
  int64_t repeated = 0;
  bool haveFrame = false;
  bool open = false;
  FrameTap tap;

  // Files whose header is written last, in place, or whose multiplexer
  // needs to seek: AVI, Matroska, MP4.
  bool FileMux() const { return mux.type == MuxType::Avi || mux.type == MuxType::Matroska || mux.type == MuxType::Mp4; }

  static int WritePacket(void* opaque, uint8_t* buf, int size);
  static int64_t Seek(void* opaque, int64_t offset, int whence);
  bool OpenSink(std::string* error);
  bool OpenVideo(std::string* error);
  bool OpenAudio(std::string* error);
  bool OpenMux(std::string* error);
  WriteStatus Encode(AVCodecContext* enc, AVStream* st, AVFrame* frame);
  WriteStatus EncodeVideo();
  WriteStatus ConvertFrame(const Frame& f);
  WriteStatus FlushAudioFrames(bool final);
  WriteStatus AlignAudio(int64_t timeNs, bool* keep);
  bool EnsureResampler(int rate, int channels);
  // Samples per encoded sound frame; PCM has no frame size of its own.
  int AudioFrameSize() const { return aenc->frame_size > 0 ? aenc->frame_size : 1152; }
  WriteStatus StatusOf(int averr) const;
  int64_t MuxRate() const;
  void Release();
};

int MpegWriter::Impl::WritePacket(void* opaque, uint8_t* buf, int size) {
  auto* self = static_cast<Impl*>(opaque);
  if (self->sinkFull || self->sinkFailed) return AVERROR(ENOSPC);
  long n = self->sink(buf, static_cast<size_t>(size));
  // A file that may not grow any further (quota, size limit) is full too.
  if (n == -ENOSPC || n == -EDQUOT || n == -EFBIG) {
    self->sinkFull = true;
    return AVERROR(ENOSPC);
  }
  if (n < 0) {
    self->sinkFailed = true;
    return AVERROR(static_cast<int>(-n));
  }
  return static_cast<int>(n);
}

int64_t MpegWriter::Impl::Seek(void* opaque, int64_t offset, int whence) {
  auto* self = static_cast<Impl*>(opaque);
  if (whence == AVSEEK_SIZE) {
    struct stat st {};
    return ::fstat(self->fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : AVERROR(errno);
  }
  const off_t at = ::lseek(self->fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
  return at < 0 ? AVERROR(errno) : static_cast<int64_t>(at);
}

// The program stream's rate (bits per second). A DVD has its fixed rate.
// Otherwise the streams' rates with room for the headers, and at least
// enough to carry a picture as large as the video buffer within the
// multiplexer's half-second lead on top of the sound, or the SCR passes the
// picture's decoding time ("buffer underflow"). At a VCD's own rates the
// first term rules, which is the rate of that format.
int64_t MpegWriter::Impl::MuxRate() const {
  if (mux.type == MuxType::Dvd) return kDvdMuxRate;
  const int64_t sound = aenc ? aenc->bit_rate : 0;
  const int64_t streams = (venc->bit_rate + sound) * 21 / 20 + 10000;
  return std::max<int64_t>(streams, int64_t{venc->rc_buffer_size} * 2 + sound);
}

WriteStatus MpegWriter::Impl::StatusOf(int averr) const {
  if (averr >= 0) return WriteStatus::Ok;
  if (sinkFull || averr == AVERROR(ENOSPC)) return WriteStatus::DiskFull;
  return WriteStatus::Failed;
}

bool MpegWriter::Impl::OpenSink(std::string* error) {
  if (mux.sink) {
    sink = mux.sink;
    return true;
  }
  fd = ::open(mux.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = "cannot create " + mux.path + ": " + std::strerror(errno);
    return false;
  }
  sink = MakeFileSink(fd);
  return true;
}

// libavformat's mark for raw RGB pictures stored bottom-up.
static bool SetBottomUp(AVCodecParameters* par) {
  static const char kMark[] = "BottomUp";
  av_freep(&par->extradata);
  par->extradata = static_cast<uint8_t*>(av_mallocz(sizeof kMark + AV_INPUT_BUFFER_PADDING_SIZE));
  if (!par->extradata) return false;
  std::memcpy(par->extradata, kMark, sizeof kMark);
  par->extradata_size = sizeof kMark;
  return true;
}

// A television picture fills a 4:3 screen whatever its size: 1:1 at 320 x
// 240, 16:15 at 720 x 576, 8:9 at 720 x 480.
static AVRational FourThreePixels(int width, int height) {
  AVRational r{0, 1};
  av_reduce(&r.num, &r.den, int64_t(4) * height, int64_t(3) * width, 1 << 16);
  return r;
}

// The MPEG stream's rate control and picture structure.
void SetMpegVideo(AVCodecContext* venc, const VideoSettings& video) {
  const int64_t rate = static_cast<int64_t>(video.bitrateKbps) * 1000;
  venc->pix_fmt = AV_PIX_FMT_YUV420P;
  venc->gop_size = video.gopLength > 0 ? video.gopLength : 12;
  venc->max_b_frames = video.bFrameDistance > 1 ? video.bFrameDistance - 1 : 0;
  venc->bit_rate = rate;
  // Constant rate: the stream carries the rate its format promises.
  venc->rc_min_rate = rate;
  venc->rc_max_rate = rate;
  // The DVD buffer for MPEG-2; for MPEG-1 the VCD buffer (40 KiB), or half a
  // second at higher rates so the buffer delay still fits its 16-bit field.
  venc->rc_buffer_size = video.mpeg2 ? 224 * 1024 * 8
                                     : static_cast<int>(std::max<int64_t>(40 * 1024 * 8, rate / 2));
  venc->rc_initial_buffer_occupancy = venc->rc_buffer_size * 3 / 4;
  venc->sample_aspect_ratio = AVRational{video.height >= 480 ? 16 : 12, video.height >= 480 ? 15 : 11};
  // An MPEG-2 recording is full-height analogue video: interlaced, in the
  // field order a capture card delivers it (V4L2_FIELD_INTERLACED): top
  // field first at 625 lines / 25 Hz, bottom field first at 525 lines.
  if (video.mpeg2) {
    venc->flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
    venc->field_order = video.height == 480 ? AV_FIELD_BB : AV_FIELD_TT;
  }
  // MPEG-1's small buffer: snow at the VCD rate overflows it at the coarsest
  // quantiser unless trellis quantisation may trade more detail for bits;
  // otherwise the multiplexer falls behind the stream ("buffer underflow").
  if (!video.mpeg2) {
    av_opt_set_int(venc, "trellis", 1, AV_OPT_SEARCH_CHILDREN);
    av_opt_set_int(venc, "lmax", 100 * FF_QP2LAMBDA, AV_OPT_SEARCH_CHILDREN);
  }
}

bool MpegWriter::Impl::OpenVideo(std::string* error) {
  const AVCodec* codec = !video.codec.empty() ? FindCompressor(video.codec)
                         : avcodec_find_encoder(video.mpeg2 ? AV_CODEC_ID_MPEG2VIDEO : AV_CODEC_ID_MPEG1VIDEO);
  venc = codec ? avcodec_alloc_context3(codec) : nullptr;
  if (!venc) {
    *error = video.codec.empty() ? "no MPEG video encoder" : "no video compressor named " + video.codec;
    return false;
  }
  venc->width = video.width;
  venc->height = video.height;
  venc->time_base = AVRational{video.fpsDen, video.fpsNum};
  venc->framerate = AVRational{video.fpsNum, video.fpsDen};
  if (video.codec.empty()) {
    SetMpegVideo(venc, video);
  } else {
    ConfigureCompressor(venc, codec, video.quality);
    venc->sample_aspect_ratio = FourThreePixels(video.width, video.height);
  }
  if (video.interlaced) venc->field_order = video.topFieldFirst ? AV_FIELD_TT : AV_FIELD_BB;
  if (video.bt601) {
    const bool pal = video.height != 480;
    venc->color_range = AVCOL_RANGE_MPEG;
    venc->colorspace = pal ? AVCOL_SPC_BT470BG : AVCOL_SPC_SMPTE170M;
    venc->color_primaries = pal ? AVCOL_PRI_BT470BG : AVCOL_PRI_SMPTE170M;
    venc->color_trc = AVCOL_TRC_BT709;
  }
  venc->thread_count = 2;
  if (fmt->oformat->flags & AVFMT_GLOBALHEADER) venc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  AVDictionary* options = nullptr;
  for (const auto& [key, value] : video.codecOptions) av_dict_set(&options, key.c_str(), value.c_str(), 0);
  const int opened = avcodec_open2(venc, codec, &options);
  av_dict_free(&options);
  if (opened < 0) {
    *error = "the video encoder refused its settings";
    return false;
  }
  vst = avformat_new_stream(fmt, nullptr);
  if (!vst || avcodec_parameters_from_context(vst->codecpar, venc) < 0) return false;
  vst->time_base = venc->time_base;
  // The AVI header's picture properties (vprp) carry the display aspect.
  vst->sample_aspect_ratio = venc->sample_aspect_ratio;
  // Uncompressed pictures go bottom-up with a positive height in the header:
  // top-down (negative height) is not read right by every player.
  bottomUp = mux.type == MuxType::Avi && codec->id == AV_CODEC_ID_RAWVIDEO;
  if (bottomUp && !SetBottomUp(vst->codecpar)) return false;
  // MPEG-4 part 2 under the tag common players know it by.
  if (mux.type == MuxType::Avi && codec->id == AV_CODEC_ID_MPEG4)
    vst->codecpar->codec_tag = MKTAG('X', 'V', 'I', 'D');
  // The multiplexer sizes its buffers from the encoder's buffer properties.
  for (int i = 0; i < venc->nb_coded_side_data; ++i) {
    const AVPacketSideData& sd = venc->coded_side_data[i];
    uint8_t* copy = av_stream_new_side_data(vst, sd.type, sd.size);
    if (copy) std::memcpy(copy, sd.data, sd.size);
  }
  vframe = av_frame_alloc();
  if (!vframe) return false;
  vframe->format = venc->pix_fmt;
  vframe->interlaced_frame = venc->field_order == AV_FIELD_TT || venc->field_order == AV_FIELD_BB;
  vframe->top_field_first = venc->field_order == AV_FIELD_TT;
  vframe->width = video.width;
  vframe->height = video.height;
  return av_frame_get_buffer(vframe, 0) >= 0;
}

bool MpegWriter::Impl::OpenAudio(std::string* error) {
  const bool pcm = mux.type == MuxType::Avi || mux.type == MuxType::Matroska;
  const AVCodecID id = pcm ? AV_CODEC_ID_PCM_S16LE : mux.type == MuxType::Mp4 ? AV_CODEC_ID_AAC : AV_CODEC_ID_MP2;
  const AVCodec* codec = avcodec_find_encoder(id);
  aenc = codec ? avcodec_alloc_context3(codec) : nullptr;
  if (!aenc) {
    *error = std::string("no ") + avcodec_get_name(id) + " encoder";
    return false;
  }
  // AAC takes planar floats; the frames are converted from the PCM as they go.
  aenc->sample_fmt = id == AV_CODEC_ID_AAC ? AV_SAMPLE_FMT_FLTP : AV_SAMPLE_FMT_S16;
  if (fmt->oformat->flags & AVFMT_GLOBALHEADER) aenc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  aenc->sample_rate = audio.sampleRate;
  av_channel_layout_default(&aenc->ch_layout, 2);
  aenc->bit_rate = static_cast<int64_t>(audio.bitrateKbps) * 1000;
  aenc->time_base = AVRational{1, audio.sampleRate};
  if (avcodec_open2(aenc, codec, nullptr) < 0) {
    *error = "the audio encoder refused its settings";
    return false;
  }
  ast = avformat_new_stream(fmt, nullptr);
  if (!ast || avcodec_parameters_from_context(ast->codecpar, aenc) < 0) return false;
  ast->time_base = aenc->time_base;
  aframe = av_frame_alloc();
  if (!aframe) return false;
  aframe->format = aenc->sample_fmt;
  aframe->nb_samples = AudioFrameSize();
  aframe->sample_rate = audio.sampleRate;
  av_channel_layout_default(&aframe->ch_layout, 2);
  return av_frame_get_buffer(aframe, 0) >= 0;
}

bool MpegWriter::Impl::OpenMux(std::string* error) {
  if (avformat_alloc_output_context2(&fmt, nullptr, MuxerName(mux.type), nullptr) < 0 || !fmt) {
    *error = "no program-stream multiplexer";
    return false;
  }
  return true;
}

WriteStatus MpegWriter::Impl::Encode(AVCodecContext* enc, AVStream* st, AVFrame* frame) {
  int rc = avcodec_send_frame(enc, frame);
  if (rc < 0 && rc != AVERROR_EOF) return WriteStatus::Failed;
  for (;;) {
    rc = avcodec_receive_packet(enc, pkt);
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return WriteStatus::Ok;
    if (rc < 0) return WriteStatus::Failed;
    av_packet_rescale_ts(pkt, enc->time_base, st->time_base);
    pkt->stream_index = st->index;
    rc = av_interleaved_write_frame(fmt, pkt);
    if (rc < 0 || sinkFull || sinkFailed) return StatusOf(rc < 0 ? rc : AVERROR(EIO));
  }
}

WriteStatus MpegWriter::Impl::EncodeVideo() {
  if (av_frame_make_writable(vframe) < 0) return WriteStatus::Failed;
  vframe->pts = nextVideoPts++;
  if (tap.video)
    tap.video(vframe->data, vframe->linesize, vframe->width, vframe->height, vframe->pts);
  // A fixed-quantiser encoder takes its quantiser from each picture.
  vframe->quality = venc->global_quality;
  return Encode(venc, vst, vframe);
}

WriteStatus MpegWriter::Impl::ConvertFrame(const Frame& f) {
  const AVPixelFormat src = ToAv(f.format);
  sws = sws_getCachedContext(sws, f.width, f.height, src, video.width, video.height,
                             venc->pix_fmt, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!sws || av_frame_make_writable(vframe) < 0) return WriteStatus::Failed;
  const int stride = f.stride > 0 ? f.stride : DefaultStride(f);
  const uint8_t* planes[4] = {f.data, nullptr, nullptr, nullptr};
  int strides[4] = {stride, 0, 0, 0};
  if (f.format == PixelFormat::I420) {
    planes[1] = f.data + static_cast<size_t>(stride) * f.height;
    strides[1] = strides[2] = stride / 2;
    planes[2] = planes[1] + static_cast<size_t>(strides[1]) * ((f.height + 1) / 2);
  }
  if (bottomUp) {
    // Rows last to first, as a bottom-up BI_RGB picture stores them.
    uint8_t* last[4] = {vframe->data[0] + static_cast<ptrdiff_t>(vframe->linesize[0]) * (video.height - 1)};
    int up[4] = {-vframe->linesize[0]};
    sws_scale(sws, planes, strides, 0, f.height, last, up);
  } else {
    sws_scale(sws, planes, strides, 0, f.height, vframe->data, vframe->linesize);
  }
  return WriteStatus::Ok;
}

bool MpegWriter::Impl::EnsureResampler(int rate, int channels) {
  if (swr && rate == swrInRate && channels == swrInChannels) return true;
  swr_free(&swr);
  AVChannelLayout in{}, out{};
  av_channel_layout_default(&in, channels);
  av_channel_layout_default(&out, 2);
  int rc = swr_alloc_set_opts2(&swr, &out, AV_SAMPLE_FMT_S16, audio.sampleRate, &in,
                               AV_SAMPLE_FMT_S16, rate, 0, nullptr);
  if (rc < 0 || swr_init(swr) < 0) {
    swr_free(&swr);
    return false;
  }
  swrInRate = rate;
  swrInChannels = channels;
  return true;
}

WriteStatus MpegWriter::Impl::FlushAudioFrames(bool final) {
  const size_t frameSamples = static_cast<size_t>(AudioFrameSize()) * 2;
  if (final && !pending.empty()) pending.resize(((pending.size() + frameSamples - 1) / frameSamples) * frameSamples, 0);
  size_t offset = 0;
  WriteStatus st = WriteStatus::Ok;
  while (pending.size() - offset >= frameSamples && st == WriteStatus::Ok) {
    if (av_frame_make_writable(aframe) < 0) return WriteStatus::Failed;
    const int16_t* block = pending.data() + offset;
    if (aenc->sample_fmt == AV_SAMPLE_FMT_FLTP) {
      auto* left = reinterpret_cast<float*>(aframe->data[0]);
      auto* right = reinterpret_cast<float*>(aframe->data[1]);
      for (size_t i = 0; i < frameSamples / 2; ++i) {
        left[i] = block[2 * i] / 32768.0f;
        right[i] = block[2 * i + 1] / 32768.0f;
      }
    } else {
      std::memcpy(aframe->data[0], block, frameSamples * sizeof(int16_t));
    }
    if (tap.audio) tap.audio(reinterpret_cast<const uint8_t*>(block), frameSamples * sizeof(int16_t), nextAudioPts);
    aframe->pts = nextAudioPts;
    nextAudioPts += AudioFrameSize();
    offset += frameSamples;
    st = Encode(aenc, ast, aframe);
  }
  pending.erase(pending.begin(), pending.begin() + static_cast<long>(offset));
  return st;
}

// Places the next block at its time: a gap of more than 40 ms before it is
// filled with silence (up to two seconds; a longer one moves the time stamps
// on, which players play as silence); a block more than 40 ms behind what is
// written is not kept.
WriteStatus MpegWriter::Impl::AlignAudio(int64_t timeNs, bool* keep) {
  const int64_t rate = aenc->sample_rate;
  const int64_t at = av_rescale(timeNs, rate, 1000000000);
  const int64_t written = nextAudioPts + static_cast<int64_t>(pending.size() / 2);
  const int64_t slack = rate / 25;
  *keep = at >= written - slack;
  if (at <= written + slack) return WriteStatus::Ok;
  if (at - written <= 2 * rate) {
    pending.resize(pending.size() + static_cast<size_t>(at - written) * 2, 0);
    return FlushAudioFrames(false);
  }
  const WriteStatus st = FlushAudioFrames(true);
  nextAudioPts = std::max(nextAudioPts, at);
  return st;
}

void MpegWriter::Impl::Release() {
  avcodec_free_context(&venc);
  avcodec_free_context(&aenc);
  av_frame_free(&vframe);
  av_frame_free(&aframe);
  av_packet_free(&pkt);
  sws_freeContext(sws);
  sws = nullptr;
  swr_free(&swr);
  if (avio) {
    av_freep(&avio->buffer);
    avio_context_free(&avio);
  }
  if (fmt) {
    fmt->pb = nullptr;
    avformat_free_context(fmt);
    fmt = nullptr;
  }
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
    fd = -1;
  }
  open = false;
}

MpegWriter::MpegWriter() : impl_(std::make_unique<Impl>()) {}

MpegWriter::~MpegWriter() { Close(); }

bool MpegWriter::Open(const VideoSettings& video, const AudioSettings& audio,
                      const MuxSettings& mux, std::string* error) {
  std::string scratch;
  if (!error) error = &scratch;
  // The encoders' per-frame remarks (clipped coefficients, buffer notes) are
  // not the user's business; failures come back as results.
  av_log_set_level(AV_LOG_ERROR);
  Close();
  Impl& d = *impl_;
  FrameTap tap = std::move(d.tap);
  d = Impl{};
  d.tap = std::move(tap);
  d.video = video;
  d.audio = audio;
  d.mux = mux;
  if (mux.type == MuxType::Dvd) d.video.bitrateKbps = std::min(video.bitrateKbps, kDvdMaxVideoKbps);
  if (video.width < 16 || video.height < 16 || video.width > 4096 || video.height > 4096 ||
      video.fpsNum <= 0 || video.fpsDen <= 0 || video.bitrateKbps <= 0 || mux.packetSize < 512 ||
      (audio.enabled && (audio.sampleRate <= 0 || audio.bitrateKbps <= 0))) {
    *error = "invalid recording settings";
    return false;
  }
  d.pkt = av_packet_alloc();
  bool ok = d.pkt && d.OpenMux(error) && d.OpenVideo(error) &&
            (!audio.enabled || d.OpenAudio(error)) && d.OpenSink(error);
  if (ok) {
    auto* buffer = static_cast<uint8_t*>(av_malloc(kAvioBufferSize));
    // An AVI file's header and counts are written last, in place: the file
    // (not a sink) is seekable for it.
    const bool seekable = d.FileMux() && d.fd >= 0;
    d.avio = buffer ? avio_alloc_context(buffer, kAvioBufferSize, 1, &d, nullptr, &Impl::WritePacket,
                                         seekable ? &Impl::Seek : nullptr)
                    : nullptr;
    if (!d.avio) av_free(buffer);
    ok = d.avio != nullptr;
  }
  if (ok) {
    d.fmt->pb = d.avio;
    for (const auto& [key, value] : mux.metadata) av_dict_set(&d.fmt->metadata, key.c_str(), value.c_str(), 0);
    for (const auto& [key, value] : mux.options) av_opt_set(d.fmt->priv_data, key.c_str(), value.c_str(), 0);
    if (!d.FileMux()) {
      d.fmt->packet_size = mux.packetSize;
      av_opt_set_int(d.fmt->priv_data, "preload", 500000, 0);
      av_opt_set_int(d.fmt->priv_data, "muxrate", d.MuxRate(), 0);
    }
    ok = avformat_write_header(d.fmt, nullptr) >= 0;
    if (!ok && error->empty()) *error = "the multiplexer refused its settings";
  }
  if (!ok) {
    if (error->empty()) *error = "cannot set up the recording";
    d.Release();
    if (!mux.sink && !mux.path.empty()) ::unlink(mux.path.c_str());
    return false;
  }
  d.open = true;
  return true;
}

WriteStatus MpegWriter::WriteVideo(const Frame& frame, int64_t timeNs) {
  Impl& d = *impl_;
  if (!d.open || !frame.data || frame.width <= 0 || frame.height <= 0) return WriteStatus::Failed;
  int64_t slot = d.nextVideoPts;
  // An AVI file's streams start at zero: its sound is laid out from its
  // first sample, so the picture counts from its first frame too.
  if (timeNs >= 0 && d.FileMux()) {
    if (d.firstVideoNs < 0) d.firstVideoNs = timeNs;
    timeNs = std::max<int64_t>(0, timeNs - d.firstVideoNs);
  }
  if (timeNs >= 0) {
    slot = av_rescale_q_rnd(timeNs, AVRational{1, 1000000000}, d.venc->time_base,
                            static_cast<AVRounding>(AV_ROUND_NEAR_INF));
  }
  if (slot < d.nextVideoPts) {
    ++d.dropped;
    return WriteStatus::Ok;
  }
  // Fill a gap with the previous picture, at most one second of it.
  const int64_t gapLimit = d.nextVideoPts + d.video.fpsNum / d.video.fpsDen + 1;
  while (d.haveFrame && d.nextVideoPts < slot && d.nextVideoPts < gapLimit) {
    WriteStatus st = d.EncodeVideo();
    if (st != WriteStatus::Ok) return st;
    ++d.repeated;
  }
  d.nextVideoPts = std::max(d.nextVideoPts, slot);
  WriteStatus st = d.ConvertFrame(frame);
  if (st != WriteStatus::Ok) return st;
  d.haveFrame = true;
  return d.EncodeVideo();
}

WriteStatus MpegWriter::WriteAudio(const int16_t* pcm, int frames, int rate, int channels, int64_t timeNs) {
  Impl& d = *impl_;
  if (!d.open || !d.aenc) return d.open ? WriteStatus::Ok : WriteStatus::Failed;
  if (!pcm || frames <= 0 || rate <= 0 || channels < 1 || channels > 8) return WriteStatus::Failed;
  if (!d.EnsureResampler(rate, channels)) return WriteStatus::Failed;
  if (timeNs >= 0) {
    bool keep = true;
    const WriteStatus st = d.AlignAudio(timeNs, &keep);
    if (st != WriteStatus::Ok || !keep) return st;
  }
  const int outMax = swr_get_out_samples(d.swr, frames);
  if (outMax <= 0) return WriteStatus::Ok;
  const size_t base = d.pending.size();
  d.pending.resize(base + static_cast<size_t>(outMax) * 2);
  uint8_t* out[1] = {reinterpret_cast<uint8_t*>(d.pending.data() + base)};
  const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(pcm)};
  const int got = swr_convert(d.swr, out, outMax, in, frames);
  d.pending.resize(base + static_cast<size_t>(std::max(got, 0)) * 2);
  return d.FlushAudioFrames(false);
}

WriteStatus MpegWriter::Close() {
  Impl& d = *impl_;
  if (!d.open) return WriteStatus::Ok;
  WriteStatus st = WriteStatus::Ok;
  if (!d.sinkFull && !d.sinkFailed) {
    if (d.aenc) st = d.FlushAudioFrames(true);
    if (d.aenc && st == WriteStatus::Ok) st = d.Encode(d.aenc, d.ast, nullptr);
    WriteStatus vs = d.Encode(d.venc, d.vst, nullptr);
    if (st == WriteStatus::Ok) st = vs;
  }
  int rc = av_write_trailer(d.fmt);
  avio_flush(d.avio);
  if (st == WriteStatus::Ok) st = d.StatusOf(rc);
  if (d.sinkFull) st = WriteStatus::DiskFull;
  else if (d.sinkFailed && st == WriteStatus::Ok) st = WriteStatus::Failed;
  d.Release();
  return st;
}

void MpegWriter::SetFrameTap(FrameTap tap) { impl_->tap = std::move(tap); }

bool MpegWriter::IsOpen() const { return impl_->open; }
int64_t MpegWriter::VideoFramesWritten() const { return impl_->nextVideoPts; }
int64_t MpegWriter::FramesDropped() const { return impl_->dropped; }
int64_t MpegWriter::FramesRepeated() const { return impl_->repeated; }

}  // namespace strova::mpeg
