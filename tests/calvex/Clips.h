// Recordings for the video browser's tests, written by the capture library's
// own MPEG/AVI writer, and ffprobe's reading of them.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "strova/filters/mpeg/MpegWriter.h"

namespace calvex_test {

// seconds of moving pictures and a tone, as a VCD (MPEG-1), DVD (MPEG-2) or
// AVI (MPEG-4) recording.
inline bool MakeClip(const std::string& path, strova::mpeg::MuxType type, double seconds) {
    using namespace strova::mpeg;
    VideoSettings v;
    v.width = 352, v.height = 288;
    if (type == MuxType::Dvd) v.mpeg2 = true, v.bitrateKbps = 2000;
    if (type == MuxType::Avi) v.codec = "MPEG-4 part 2";
    AudioSettings a;
    a.sampleRate = 48000;
    MuxSettings m;
    m.type = type;
    m.packetSize = type == MuxType::Dvd ? 2048 : 2324;
    m.path = path;
    MpegWriter w;
    std::string err;
    if (!w.Open(v, a, m, &err)) return false;
    std::vector<uint8_t> rgb(size_t(v.width) * v.height * 3);
    std::vector<int16_t> pcm(1920 * 2);
    const int frames = int(seconds * 25);
    for (int n = 0; n < frames; ++n) {
        for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i / 3 % v.width + n * 6 + i % 3 * 70);
        w.WriteVideo({rgb.data(), v.width, v.height, 0, PixelFormat::Rgb24}, n * 40000000LL);
        w.WriteAudio(pcm.data(), 1920, 48000, 2, n * 40000000LL);
    }
    return w.Close() == WriteStatus::Ok;
}

// ffprobe's duration of the file in seconds; < 0 when it gives none.
inline double FfprobeDuration(const std::string& path) {
    const std::string cmd = "ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "' 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    double d = -1;
    if (p && std::fscanf(p, "%lf", &d) != 1) d = -1;
    if (p) pclose(p);
    return d;
}

}  // namespace calvex_test
