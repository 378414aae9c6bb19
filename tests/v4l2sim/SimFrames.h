// The pictures the simulated card delivers.
#pragma once

#include <linux/videodev2.h>

#include <cstddef>
#include <cstdint>

namespace v4l2sim {

// Paints one buffer in pix's format: a station's test card (its own colour
// per station, a bar moving with frame) or snow when station < 0. For
// V4L2_FIELD_ALTERNATE the buffer is one field (pix.height lines are already
// the field's). Writes at most len bytes.
void PaintFrame(uint8_t* dst, size_t len, const v4l2_pix_format& pix, int station, int64_t frame);

// Bytes per line and per image of a format (0 for an unknown format).
uint32_t BytesPerLine(uint32_t fourcc, uint32_t width);

}  // namespace v4l2sim
