// The video compressors a recording can use: libavcodec's encoders that this
// machine has, that an AVI file can hold and that open at capture sizes. A
// compressor is known to the user by the encoder's descriptive name.
#pragma once

#include <string>
#include <vector>

struct AVCodec;
struct AVCodecContext;

namespace strova::mpeg {

// The descriptive names, best first; probed once per call (a few ms).
std::vector<std::string> ListVideoCompressors();

// The name of uncompressed 24-bit RGB frames, what an AVI recording holds
// when no compressor is chosen. Not in the list: it is the absence of one.
inline constexpr const char* kUncompressedVideo = "Uncompressed RGB";

// The encoder behind a descriptive name (kUncompressedVideo included); null
// when there is none.
const AVCodec* FindCompressor(const std::string& name);

// Gives an encoder context of that codec (size and rate already set) its
// picture format and its quality: 0..1 maps onto the quantiser or rate
// factor; lossless encoders ignore it.
void ConfigureCompressor(AVCodecContext* ctx, const AVCodec* codec, double quality);

}  // namespace strova::mpeg
