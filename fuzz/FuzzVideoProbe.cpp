// libFuzzer target for the video browser's file probing: any file is read
// for its duration and format and, when that succeeds, for a preview frame.
#include <cstdint>
#include <cstdio>
#include <string>

#include "calvex/Probe.h"
#include "fuzz/FuzzFile.h"

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
