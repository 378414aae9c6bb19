// libFuzzer target for the video browser's file probing: any file is read
// for its duration and format and, when that succeeds, for a preview frame.
#include <cstdint>
#include <cstdio>
#include <string>

#include "calvex/Probe.h"
#include "fuzz/FuzzFile.h"

extern "C" {
#include <libavutil/log.h>
}

// The demuxers' complaints about damaged input would fill the log by the
// gigabyte over a long run.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    av_log_set_level(AV_LOG_QUIET);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = FuzzFilePath("video");
    if (!WriteFuzzFile(path, data, size)) return 0;
    const calvex::MediaInfo info = calvex::ProbeFile(path);
    calvex::Frame frame;
    if (info.ok && calvex::PreviewFrame(path, info.duration, 48, frame) &&
        frame.rgb.size() != size_t(frame.width) * frame.height * 3)
        __builtin_trap();
    return 0;
}
