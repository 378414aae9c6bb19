// What a video file holds, read in-process with libavformat (the same reading
// ffprobe does, without a process per file), and its preview frame decoded
// with libavcodec. Damaged, truncated and still-growing files give what can
// be read; nothing here throws or crashes on bad input. Thread-safe: every
// call works on its own contexts.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace calvex {

struct MediaInfo {
    bool ok = false;         // libavformat recognised the file
    double duration = -1;    // seconds; < 0 when unknown
    int width = 0, height = 0;
    std::string format;      // "MPEG-PS, MPEG-2 720×576"; "" when not ok
};

struct Frame {
    int width = 0, height = 0;   // size of rgb, the picture's display shape
    std::vector<uint8_t> rgb;    // top-down R, G, B
};

// Reads the container and stream headers. cancel, when given and set,
// ends the reading early (the result is then not ok).
MediaInfo ProbeFile(const std::string& path, const std::atomic<bool>* cancel = nullptr);

// A frame a tenth into the file (at most 30 s in), or the first one when that
// gives none, scaled to fit box x box at its display aspect ratio.
bool PreviewFrame(const std::string& path, double duration, int box, Frame& out,
                  const std::atomic<bool>* cancel = nullptr);

// "MPEG-PS", "AVI", ... for a libavformat name; "MPEG-2", "H.264", ... for a
// libavcodec name. Unknown names come back upper-cased.
std::string ContainerLabel(const std::string& name);
std::string CodecLabel(const std::string& name);

}  // namespace calvex
