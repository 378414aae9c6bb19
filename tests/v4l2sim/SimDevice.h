// A simulated analogue capture card: the state a V4L2 driver keeps for one
// video node and the answers it gives to the node's ioctls.
#pragma once

#include <linux/videodev2.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace v4l2sim {

// What sets one chip family apart: identity, formats, and the calls its
// driver refuses while it streams.
struct Personality {
  std::string name;       // the value of TELLURA_V4L2SIM that selects it
  std::string driver;     // v4l2_capability.driver
  std::string card;       // v4l2_capability.card
  std::string bus;        // v4l2_capability.bus_info
  std::vector<uint32_t> formats;  // pixel formats in ENUM_FMT order
  std::vector<uint32_t> fields;   // fields the driver gives besides NONE
  bool tuner = true;
  bool stdBusyWhileStreaming = false;    // S_STD/S_INPUT -> EBUSY while streaming
  bool afc = true;                       // G_TUNER reports AFC
  bool signalBetweenStations = false;    // noise locks: weak signal off station
  bool enumFrameSizes = false;           // discrete ENUM_FRAMESIZES (else scaling)
  std::vector<std::string> inputs;       // input names; the tuner is the first when tuner
};

const Personality* FindPersonality(const std::string& name);
std::string PersonalityNames();  // "a, b, c"

// Faults and nonsense a test asks for.
struct Faults {
  int64_t unplugAt = -1;  // frame count at which the device goes away
  int64_t stallAt = -1;   // frame count after which no frame completes
  int64_t dropAt = -1;    // sequence jumps by 5 at this frame
  int64_t repeatAt = -1;  // sequence repeats at this frame
  int64_t jumpAt = -1;    // timestamp jumps by 10 s at this frame
  bool zeroSize = false;      // formats answered with 0 x 0
  bool badLength = false;     // QUERYBUF length smaller than the image
  bool badField = false;      // the format set, and buffers, carry a field TRY_FMT never gave
};

// Applies "unplug", "unplug@N", "stall", "resume", "drop@N", "repeat@N",
// "tsjump@N", "zerosize", "badlength", "badfield", "replug" (comma or space
// separated). frames is the current frame count (for the plain forms).
// False when a word is unknown.
bool ApplyFaultWords(const std::string& words, Faults& f, int64_t frames, bool* unplug, bool* replug);

class Device {
 public:
  Device(int index, const Personality& p);
  ~Device();

  const std::string& Path() const { return path_; }
  const Personality& Kind() const { return p_; }
  bool Present() const { return !unplugged_.load(); }
  // Opens a file handle on the node: its descriptor is an eventfd that is
  // readable while a filled buffer waits. -1 with errno on failure.
  // *handle names the open file in the calls below.
  int OpenHandle(int flags, int* handle);
  void CloseHandle(int handle);
  int Ioctl(int handle, unsigned long request, void* arg);
  ssize_t Read(int handle, void* buf, size_t len);
  // The buffer memory behind an mmap of the node at offset.
  bool MapOffset(int handle, int64_t offset, size_t length, int* memFd);
  // Commands from tests (see ApplyFaultWords).
  bool Command(const std::string& words);
  // Frames handed to the reader since the process started.
  int64_t Delivered() const { return delivered_.load(); }

 private:
  struct Buffer {
    v4l2_buffer info{};
    bool queued = false;
  };
  struct Handle {
    int efd;              // the device's own duplicate of the caller's descriptor
    uint64_t generation;  // the plug-in it was opened on
    bool nonBlocking;
  };

  Handle* Find(int handle);
  int Fmt(v4l2_format* f, unsigned long request, int handle);
  void Adjust(v4l2_pix_format& pix) const;
  int ReqBufs(int handle, v4l2_requestbuffers* r, std::unique_lock<std::mutex>& lock);
  int QBuf(int handle, v4l2_buffer* b);
  int DqBuf(int handle, v4l2_buffer* b, std::unique_lock<std::mutex>& lock);
  int StreamOn(int handle, int type);
  void StopThread(std::unique_lock<std::mutex>& lock);
  void StreamOff();
  void FreeBuffers();
  int Tuner(unsigned long request, void* arg);
  int Controls(unsigned long request, void* arg);
  int Inputs(unsigned long request, void* arg, int handle);
  bool Busy(int handle) const { return owner_ >= 0 && owner_ != handle; }
  bool Is525() const { return (std_ & V4L2_STD_525_60) != 0; }
  uint32_t FullHeight() const;
  int64_t FramePeriodNs() const;
  int StationAt(uint32_t freq) const;  // index of the station tuned, -1 for none
  int PictureSource() const;
  void Run();
  void CompleteFrame();
  void Unplug();
  void CheckControlFile();

  const Personality& p_;
  std::string path_;
  mutable std::mutex mu_;
  std::condition_variable cv_;
  std::atomic<bool> unplugged_{false};
  uint64_t generation_ = 0;
  std::vector<Handle> handles_;

  // Device state kept across opens, as a driver keeps it.
  v4l2_std_id std_ = V4L2_STD_PAL_B | V4L2_STD_PAL_G;
  uint32_t input_ = 0;
  uint32_t freq_ = 0;  // 62.5 kHz units
  uint32_t audmode_ = V4L2_TUNER_MODE_STEREO;
  uint32_t audioInput_ = 0;
  v4l2_pix_format pix_{};
  int32_t ctrl_[6]{};

  // Streaming.
  int owner_ = -1;  // handle that owns the buffers
  int memFd_ = -1;
  uint8_t* mem_ = nullptr;
  size_t memSize_ = 0;
  size_t slot_ = 0;  // bytes per buffer in the memfd
  std::vector<Buffer> bufs_;
  std::deque<uint32_t> queued_, done_;
  bool streaming_ = false;
  bool stopThread_ = false;
  std::thread thread_;
  int64_t frames_ = 0;
  std::atomic<int64_t> delivered_{0};
  uint32_t sequence_ = 0;
  uint32_t lastField_ = V4L2_FIELD_BOTTOM;
  int64_t tsOffsetNs_ = 0;
  Faults faults_;
};

// The simulated nodes of this process (from TELLURA_V4L2SIM).
std::vector<Device*>& Devices();
Device* DeviceForPath(const char* path);

}  // namespace v4l2sim
