// libFuzzer target for the video browser's file probing: any file is read
// for its duration and format and, when that succeeds, for a preview frame.
#include <cstdint>
#include <cstdio>
#include <string>

#include "calvex/Probe.h"
#include "fuzz/FuzzFile.h"

extern "C" {
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

// The demuxers' complaints about damaged input would fill the log by the
// gigabyte over a long run. They also allocate what a header declares (an
// AVI chunk of 1.9 GB in a 17 KB file): in the program that costs address
// space only, as the pages are never touched, but ASan backs each allocation
// with real shadow memory, so the fuzz build caps single allocations.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    av_log_set_level(AV_LOG_QUIET);
    av_max_alloc(size_t(256) << 20);
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
