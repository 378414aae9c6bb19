// AVI recording filters: "AVI Mux" takes uncompressed 24-bit RGB video at
// 320 x 240 on "Input 01" and, when made with sound, PCM on "Input 02", and
// gives the AVI stream on "AVI Out"; "File writer" writes what reaches its
// "in" pin to the file it was given.
#pragma once

#include <string>

typedef struct _GstElement GstElement;

namespace strova::filters {

// New floating bins; null when GStreamer lacks an element they need. The
// sound input exists only when asked for, because the multiplexer waits for
// data on every input it has.
GstElement* MakeAviMux(bool withSound);
GstElement* MakeFileWriter();

// Target file of a file writer bin; refused (false) when its folder is
// missing or not writable, or the name is empty.
bool SetFileWriterName(GstElement* writer, const std::string& path);

}  // namespace strova::filters
