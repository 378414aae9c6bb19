// libavformat/libavcodec reading for the video list.
#include "calvex/Probe.h"

#include "calvex/AvLog.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <memory>

namespace calvex {
namespace {

int Interrupted(void* opaque) {
    const auto* cancel = static_cast<const std::atomic<bool>*>(opaque);
    return cancel && cancel->load() ? 1 : 0;
}

// The largest picture a decoder may allocate for (8K UHD): a damaged or
// hostile header can declare any size, and a preview never needs more.
constexpr int64_t kMaxPixels = int64_t(7680) * 4320;

struct Input {
    AVFormatContext* fc = nullptr;
    ~Input() {
        if (fc) avformat_close_input(&fc);
    }
    bool Open(const std::string& path, const std::atomic<bool>* cancel) {
        RouteLibavLog();
        fc = avformat_alloc_context();
        if (!fc) return false;
        fc->interrupt_callback.callback = Interrupted;
        fc->interrupt_callback.opaque = const_cast<std::atomic<bool>*>(cancel);
        if (avformat_open_input(&fc, path.c_str(), nullptr, nullptr) < 0) {
            fc = nullptr;  // freed by the failed open
            return false;
        }
        // The decoders that read the first frames for the streams' formats
        // are held to the same picture size as the preview's.
        std::vector<AVDictionary*> options(fc->nb_streams, nullptr);
        for (AVDictionary*& o : options) av_dict_set_int(&o, "max_pixels", kMaxPixels, 0);
        const int found = avformat_find_stream_info(fc, options.empty() ? nullptr : options.data());
        for (AVDictionary*& o : options) av_dict_free(&o);
        return found >= 0 && !Interrupted(fc->interrupt_callback.opaque);
    }
};

struct CodecDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

std::string Upper(std::string s) {
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Scales the decoded frame into box x box, keeping the display aspect.
bool Convert(const AVFrame* f, AVRational sar, int box, Frame& out) {
    if (f->width <= 0 || f->height <= 0) return false;
    double aspect = double(f->width) / f->height;
    if (sar.num > 0 && sar.den > 0) aspect *= double(sar.num) / sar.den;
    int tw = box, th = int(std::lround(box / aspect));
    if (th > box) th = box, tw = int(std::lround(box * aspect));
    tw = std::max(tw, 1), th = std::max(th, 1);
    SwsContext* sws = sws_getContext(f->width, f->height, AVPixelFormat(f->format), tw, th, AV_PIX_FMT_RGB24,
                                     SWS_AREA, nullptr, nullptr, nullptr);
    if (!sws) return false;
    out.rgb.assign(size_t(tw) * th * 3, 0);
    uint8_t* dst[4] = {out.rgb.data(), nullptr, nullptr, nullptr};
    int stride[4] = {tw * 3, 0, 0, 0};
    const int rows = sws_scale(sws, f->data, f->linesize, 0, f->height, dst, stride);
    sws_freeContext(sws);
    out.width = tw, out.height = th;
    return rows > 0;
}

// Decodes from the current read position to the first whole picture.
bool FirstFrame(AVFormatContext* fc, int stream, AVCodecContext* dec, AVFrame* frame,
                const std::atomic<bool>* cancel) {
    std::unique_ptr<AVPacket, PacketDeleter> pkt(av_packet_alloc());
    for (int packets = 0; packets < 2000 && !Interrupted(const_cast<std::atomic<bool>*>(cancel)); ++packets) {
        const int r = av_read_frame(fc, pkt.get());
        if (r < 0) {
            avcodec_send_packet(dec, nullptr);  // drain what the decoder holds
            return avcodec_receive_frame(dec, frame) >= 0;
        }
        const bool ours = pkt->stream_index == stream;
        if (ours) avcodec_send_packet(dec, pkt.get());
        av_packet_unref(pkt.get());
        if (ours && avcodec_receive_frame(dec, frame) >= 0) return true;
    }
    return false;
}

}  // namespace

std::string ContainerLabel(const std::string& name) {
    static const std::map<std::string, std::string> labels = {
        {"mpeg", "MPEG-PS"}, {"mpegts", "MPEG-TS"}, {"mpegvideo", "MPEG video"}, {"avi", "AVI"},
        {"matroska,webm", "Matroska"}, {"mov,mp4,m4a,3gp,3g2,mj2", "MP4"}, {"ogg", "Ogg"},
        {"asf", "ASF"}, {"flv", "FLV"}, {"vob", "MPEG-PS"}};
    const auto it = labels.find(name);
    return it != labels.end() ? it->second : Upper(name);
}

std::string CodecLabel(const std::string& name) {
    static const std::map<std::string, std::string> labels = {
        {"mpeg1video", "MPEG-1"}, {"mpeg2video", "MPEG-2"}, {"mpeg4", "MPEG-4"}, {"h264", "H.264"},
        {"hevc", "H.265"},        {"mjpeg", "MJPEG"},        {"rawvideo", "raw"},  {"vp8", "VP8"},
        {"vp9", "VP9"},           {"av1", "AV1"},            {"msmpeg4v3", "DivX 3"}};
    const auto it = labels.find(name);
    return it != labels.end() ? it->second : Upper(name);
}

MediaInfo ProbeFile(const std::string& path, const std::atomic<bool>* cancel) {
    MediaInfo info;
    Input in;
    if (!in.Open(path, cancel)) return info;
    info.ok = true;
    if (in.fc->duration != AV_NOPTS_VALUE && in.fc->duration > 0)
        info.duration = double(in.fc->duration) / AV_TIME_BASE;
    info.format = ContainerLabel(in.fc->iformat->name);
    const int vs = av_find_best_stream(in.fc, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (vs >= 0) {
        const AVCodecParameters* par = in.fc->streams[vs]->codecpar;
        info.width = par->width, info.height = par->height;
        info.format += ", " + CodecLabel(avcodec_get_name(par->codec_id));
        if (par->width > 0 && par->height > 0)
            info.format += " " + std::to_string(par->width) + "×" + std::to_string(par->height);
    } else {
        info.format += ", sound only";
    }
    return info;
}

bool PreviewFrame(const std::string& path, double duration, int box, Frame& out,
                  const std::atomic<bool>* cancel) {
    Input in;
    if (!in.Open(path, cancel)) return false;
    const AVCodec* codec = nullptr;
    const int vs = av_find_best_stream(in.fc, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (vs < 0 || !codec) return false;
    AVStream* st = in.fc->streams[vs];
    std::unique_ptr<AVCodecContext, CodecDeleter> dec(avcodec_alloc_context3(codec));
    if (!dec || avcodec_parameters_to_context(dec.get(), st->codecpar) < 0) return false;
    dec->thread_count = 1;
    dec->max_pixels = kMaxPixels;
    if (avcodec_open2(dec.get(), codec, nullptr) < 0) return false;
    std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
    const double at = duration > 0 ? std::min(duration * 0.1, 30.0) : 0;
    bool got = false;
    if (at > 0.5 && av_seek_frame(in.fc, -1, int64_t(at * AV_TIME_BASE), AVSEEK_FLAG_BACKWARD) >= 0) {
        avcodec_flush_buffers(dec.get());
        got = FirstFrame(in.fc, vs, dec.get(), frame.get(), cancel);
    }
    if (!got) {
        // The seek found nothing (a damaged index, a short file): from the top.
        if (av_seek_frame(in.fc, -1, 0, AVSEEK_FLAG_BACKWARD) < 0) avformat_seek_file(in.fc, -1, 0, 0, 0, 0);
        avcodec_flush_buffers(dec.get());
        got = FirstFrame(in.fc, vs, dec.get(), frame.get(), cancel);
    }
    AVRational sar = frame->sample_aspect_ratio.num ? frame->sample_aspect_ratio : st->sample_aspect_ratio;
    return got && Convert(frame.get(), sar, box, out);
}

}  // namespace calvex
