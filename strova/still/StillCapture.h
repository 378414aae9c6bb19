// The still grabber filter: a pass-through bin ("Input" -> "Output") that
// keeps a reference to the newest frame and turns it into a 24-bit DIB only
// when a still is asked for, so passing frames cost nothing.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

typedef struct _GstElement GstElement;
typedef struct _GstSample GstSample;

namespace strova::still {

class StillCapture {
 public:
  StillCapture();
  ~StillCapture();
  StillCapture(const StillCapture&) = delete;
  StillCapture& operator=(const StillCapture&) = delete;

  GstElement* Bin() const { return bin_; }
  bool Valid() const { return bin_ != nullptr; }

  // Parameter interface: 0x601..0x604 kept, 0x605 = half picture; 0x607 gives
  // the DIB size of the current frame, 0x608 copies it into the buffer.
  bool SetParam(uint32_t id, int32_t value);
  int32_t DibSize();
  bool CopyDib(uint8_t* buffer, size_t capacity);

  // The bin carries its grabber so the exports find it from the graph.
  static StillCapture* From(GstElement* bin);

  // On (the default), a still of an interlaced frame shows one moment: the
  // first field, its lines interpolated in place of the other field's.
  void SetDeinterlace(bool on);

  // Called from the streaming thread with each passing frame (takes the sample).
  void Store(GstSample* sample);

 private:
  bool Convert();

  GstElement* bin_ = nullptr;
  std::mutex mutex_;
  GstSample* newest_ = nullptr;
  bool half_ = false;
  bool deinterlace_ = true;
  int32_t params_[4] = {0, 0, 0, 0};
  std::vector<uint8_t> dib_;
  GstSample* converted_ = nullptr;  // sample the DIB was made from
};

}  // namespace strova::still
