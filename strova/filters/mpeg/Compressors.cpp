#include "strova/filters/mpeg/Compressors.h"

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

namespace strova::mpeg {
namespace {

// Encoders fast enough for live capture, in the order they are offered.
// Only those present in this libavcodec build are listed.
constexpr const char* kCandidates[] = {
    "libx264", "libxvid", "mpeg4", "msmpeg4", "msmpeg4v2", "mjpeg", "h263p", "wmv2", "wmv1",
    "mpeg2video", "mpeg1video", "huffyuv", "ffvhuff", "ffv1", "utvideo", "magicyuv", "msvideo1"};

bool Lossless(const AVCodec* codec) {
  for (const char* n : {"huffyuv", "ffvhuff", "ffv1", "utvideo", "magicyuv"})
    if (!std::strcmp(codec->name, n)) return true;
  return false;
}

bool HasFormat(const AVCodec* codec, AVPixelFormat f) {
  for (const AVPixelFormat* p = codec->pix_fmts; p && *p != AV_PIX_FMT_NONE; ++p)
    if (*p == f) return true;
  return false;
}

// Planar 4:2:0 when the encoder takes it (least conversion from the card),
// else the encoder's own first format.
AVPixelFormat PictureFormat(const AVCodec* codec) {
  if (codec->id == AV_CODEC_ID_RAWVIDEO) return AV_PIX_FMT_BGR24;  // what a player expects of BI_RGB
  if (!codec->pix_fmts || HasFormat(codec, AV_PIX_FMT_YUV420P)) return AV_PIX_FMT_YUV420P;
  if (HasFormat(codec, AV_PIX_FMT_YUVJ420P)) return AV_PIX_FMT_YUVJ420P;
  return codec->pix_fmts[0];
}

// True when the encoder opens for a 320 x 240, 25 fps picture.
bool Opens(const AVCodec* codec) {
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  if (!ctx) return false;
  ctx->width = 320;
  ctx->height = 240;
  ctx->time_base = AVRational{1, 25};
  ctx->framerate = AVRational{25, 1};
  ConfigureCompressor(ctx, codec, 0.75);
  const bool ok = avcodec_open2(ctx, codec, nullptr) >= 0;
  avcodec_free_context(&ctx);
  return ok;
}

const AVCodec* Usable(const char* encoder) {
  const AVCodec* codec = avcodec_find_encoder_by_name(encoder);
  const AVOutputFormat* avi = av_guess_format("avi", nullptr, nullptr);
  if (!codec || !avi || !codec->long_name || codec->type != AVMEDIA_TYPE_VIDEO) return nullptr;
  if (avformat_query_codec(avi, codec->id, FF_COMPLIANCE_NORMAL) != 1) return nullptr;
  return codec;
}

}  // namespace

std::vector<std::string> ListVideoCompressors() {
  const int level = av_log_get_level();
  av_log_set_level(AV_LOG_QUIET);
  std::vector<std::string> names;
  for (const char* encoder : kCandidates) {
    const AVCodec* codec = Usable(encoder);
    if (!codec || !Opens(codec)) continue;
    // The name must fit the exported 80-byte field and be unique.
    std::string name = std::string(codec->long_name).substr(0, 79);
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  av_log_set_level(level);
  return names;
}

const AVCodec* FindCompressor(const std::string& name) {
  if (name.empty()) return nullptr;
  if (name == kUncompressedVideo) return avcodec_find_encoder(AV_CODEC_ID_RAWVIDEO);
  for (const char* encoder : kCandidates) {
    const AVCodec* codec = Usable(encoder);
    if (codec && std::string(codec->long_name).substr(0, 79) == name) return codec;
  }
  return nullptr;
}

void ConfigureCompressor(AVCodecContext* ctx, const AVCodec* codec, double quality) {
  ctx->pix_fmt = PictureFormat(codec);
  ctx->gop_size = 12;
  ctx->max_b_frames = 0;  // AVI stores frames in decoding order without reordering
  const double q = std::clamp(quality, 0.0, 1.0);
  if (Lossless(codec) || codec->id == AV_CODEC_ID_RAWVIDEO) return;
  if (!std::strcmp(codec->name, "libx264")) {
    av_opt_set_double(ctx->priv_data, "crf", 40.0 - 25.0 * q, 0);
    av_opt_set(ctx->priv_data, "preset", "veryfast", 0);
    return;
  }
  // Quantiser 2 (best) to 31 (smallest).
  ctx->flags |= AV_CODEC_FLAG_QSCALE;
  ctx->global_quality = static_cast<int>(std::lround(31.0 - 29.0 * q)) * FF_QP2LAMBDA;
}

}  // namespace strova::mpeg
