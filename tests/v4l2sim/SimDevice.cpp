#include "SimDevice.h"

#include "SimFrames.h"
#include "SimReal.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace v4l2sim {
namespace {

using Clock = std::chrono::steady_clock;

// Picture carriers of the stations on the air (kHz).
constexpr uint32_t kStationsKHz[] = {55250, 189250, 210250, 487250, 583250, 743250};
constexpr uint32_t kLockKHz = 1000;    // the tuner locks this close to a carrier
constexpr uint32_t kCentreKHz = 125;   // AFC says centred this close
constexpr uint32_t kMinKHz = 44000, kMaxKHz = 958000;
constexpr uint32_t kUnitKHz = 62;      // one tuner step is 62.5 kHz

struct StdEntry {
  v4l2_std_id id;
  const char* name;
};
constexpr StdEntry kStds[] = {
    {V4L2_STD_PAL, "PAL"},         {V4L2_STD_NTSC_M, "NTSC"},   {V4L2_STD_NTSC_M_JP, "NTSC-JP"},
    {V4L2_STD_SECAM, "SECAM"},     {V4L2_STD_PAL_M, "PAL-M"},   {V4L2_STD_PAL_N, "PAL-N"},
    {V4L2_STD_PAL_Nc, "PAL-Nc"},   {V4L2_STD_PAL_60, "PAL-60"}, {V4L2_STD_NTSC_443, "NTSC-443"},
};
constexpr v4l2_std_id kAllStds = V4L2_STD_PAL | V4L2_STD_NTSC_M | V4L2_STD_NTSC_M_JP | V4L2_STD_SECAM |
                                 V4L2_STD_PAL_M | V4L2_STD_PAL_N | V4L2_STD_PAL_Nc | V4L2_STD_PAL_60 |
                                 V4L2_STD_NTSC_443;

struct CtrlDef {
  uint32_t id;
  const char* name;
  int32_t min, max, def;
  uint32_t type;
};
constexpr CtrlDef kCtrls[] = {
    {V4L2_CID_BRIGHTNESS, "Brightness", 0, 255, 128, V4L2_CTRL_TYPE_INTEGER},
    {V4L2_CID_CONTRAST, "Contrast", 0, 127, 68, V4L2_CTRL_TYPE_INTEGER},
    {V4L2_CID_SATURATION, "Saturation", 0, 127, 64, V4L2_CTRL_TYPE_INTEGER},
    {V4L2_CID_HUE, "Hue", -128, 127, 0, V4L2_CTRL_TYPE_INTEGER},
    {V4L2_CID_AUDIO_VOLUME, "Volume", 0, 65535, 65535, V4L2_CTRL_TYPE_INTEGER},
    {V4L2_CID_AUDIO_MUTE, "Mute", 0, 1, 0, V4L2_CTRL_TYPE_BOOLEAN},
};
static_assert(std::size(kCtrls) == 6);

const char* kAudioInputs[] = {"Television", "Line In"};

void CopyName(uint8_t* dst, size_t n, const std::string& s) {
  std::memset(dst, 0, n);
  std::memcpy(dst, s.data(), std::min(n - 1, s.size()));
}

int Fail(int e) {
  errno = e;
  return -1;
}

bool Has(const std::vector<uint32_t>& v, uint32_t x) { return std::find(v.begin(), v.end(), x) != v.end(); }

}  // namespace

Device::Device(int index, const Personality& p) : p_(p), path_("/dev/video" + std::to_string(index)) {
  freq_ = kStationsKHz[0] * 16 / 1000;
  pix_.width = 720;
  pix_.height = 576;
  pix_.pixelformat = p_.formats.front();
  pix_.field = V4L2_FIELD_INTERLACED;
  Adjust(pix_);
  for (size_t i = 0; i < std::size(kCtrls); ++i) ctrl_[i] = kCtrls[i].def;
  if (const char* f = std::getenv("TELLURA_V4L2SIM_FAULTS")) ApplyFaultWords(f, faults_, 0, nullptr, nullptr);
}

Device::~Device() {
  std::unique_lock lock(mu_);
  StopThread(lock);
  FreeBuffers();
}

int Device::OpenHandle(int flags, int* handle) {
  if (unplugged_) return Fail(ENOENT);
  const int efd = eventfd(0, EFD_SEMAPHORE | EFD_NONBLOCK | EFD_CLOEXEC);
  if (efd < 0) return -1;
  const int mine = real::Dup(efd);
  if (mine < 0) {
    real::Close(efd);
    return -1;
  }
  std::lock_guard lock(mu_);
  handles_.push_back({mine, generation_, (flags & O_NONBLOCK) != 0});
  *handle = mine;
  return efd;
}

Device::Handle* Device::Find(int handle) {
  for (auto& h : handles_)
    if (h.efd == handle) return &h;
  return nullptr;
}

void Device::CloseHandle(int handle) {
  std::unique_lock lock(mu_);
  if (owner_ == handle) {
    StopThread(lock);
    streaming_ = false;
    FreeBuffers();
    owner_ = -1;
  }
  handles_.erase(std::remove_if(handles_.begin(), handles_.end(), [&](const Handle& h) { return h.efd == handle; }),
                 handles_.end());
  real::Close(handle);
}

int Device::Ioctl(int handle, unsigned long request, void* arg) {
  if (arg == nullptr) return Fail(EFAULT);
  std::unique_lock lock(mu_);
  Handle* h = Find(handle);
  if (h == nullptr) return Fail(EBADF);
  if (unplugged_ || h->generation != generation_) return Fail(ENODEV);
  switch (request) {
    case VIDIOC_QUERYCAP: {
      auto* c = static_cast<v4l2_capability*>(arg);
      *c = {};
      CopyName(c->driver, sizeof c->driver, p_.driver);
      CopyName(c->card, sizeof c->card, p_.card);
      CopyName(c->bus_info, sizeof c->bus_info, p_.bus);
      c->version = (6u << 16) | (1u << 8);
      c->device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_READWRITE | V4L2_CAP_STREAMING |
                       (p_.tuner ? V4L2_CAP_TUNER : 0) | V4L2_CAP_AUDIO;
      c->capabilities = c->device_caps | V4L2_CAP_DEVICE_CAPS;
      return 0;
    }
    case VIDIOC_ENUM_FMT: {
      auto* f = static_cast<v4l2_fmtdesc*>(arg);
      if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || f->index >= p_.formats.size()) return Fail(EINVAL);
      const uint32_t index = f->index;
      *f = {};
      f->index = index;
      f->type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      f->pixelformat = p_.formats[index];
      const uint32_t fc = f->pixelformat;
      const char name[5] = {char(fc), char(fc >> 8), char(fc >> 16), char(fc >> 24), 0};
      CopyName(f->description, sizeof f->description, name);
      return 0;
    }
    case VIDIOC_ENUM_FRAMESIZES: {
      auto* s = static_cast<v4l2_frmsizeenum*>(arg);
      if (!Has(p_.formats, s->pixel_format)) return Fail(EINVAL);
      if (!p_.enumFrameSizes) {
        if (s->index != 0) return Fail(EINVAL);
        s->type = V4L2_FRMSIZE_TYPE_STEPWISE;
        s->stepwise = {48, 720, 2, 32, FullHeight(), 2};
        return 0;
      }
      const uint32_t h = FullHeight();
      const uint32_t sizes[][2] = {{720, h}, {640, h * 5 / 6}, {360, h / 2}, {180, h / 4}};
      if (s->index >= std::size(sizes)) return Fail(EINVAL);
      s->type = V4L2_FRMSIZE_TYPE_DISCRETE;
      s->discrete = {sizes[s->index][0], sizes[s->index][1]};
      return 0;
    }
    case VIDIOC_ENUM_FRAMEINTERVALS: {
      // One rate: the standard's.
      auto* i = static_cast<v4l2_frmivalenum*>(arg);
      if (i->index != 0 || !Has(p_.formats, i->pixel_format)) return Fail(EINVAL);
      i->type = V4L2_FRMIVAL_TYPE_DISCRETE;
      i->discrete = Is525() ? v4l2_fract{1001, 30000} : v4l2_fract{1, 25};
      return 0;
    }
    case VIDIOC_G_FMT:
    case VIDIOC_S_FMT:
    case VIDIOC_TRY_FMT:
      return Fmt(static_cast<v4l2_format*>(arg), request, handle);
    case VIDIOC_G_PARM:
    case VIDIOC_S_PARM: {
      auto* p = static_cast<v4l2_streamparm*>(arg);
      if (p->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return Fail(EINVAL);
      // The frame rate follows the standard; a request is answered with it.
      std::memset(&p->parm, 0, sizeof p->parm);
      p->parm.capture.timeperframe = Is525() ? v4l2_fract{1001, 30000} : v4l2_fract{1, 25};
      p->parm.capture.readbuffers = 2;
      return 0;
    }
    case VIDIOC_REQBUFS:
      return ReqBufs(handle, static_cast<v4l2_requestbuffers*>(arg), lock);
    case VIDIOC_QUERYBUF: {
      auto* b = static_cast<v4l2_buffer*>(arg);
      if (b->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || b->index >= bufs_.size()) return Fail(EINVAL);
      *b = bufs_[b->index].info;
      if (faults_.badLength) b->length = pix_.sizeimage / 2;
      return 0;
    }
    case VIDIOC_QBUF:
      return QBuf(handle, static_cast<v4l2_buffer*>(arg));
    case VIDIOC_DQBUF:
      return DqBuf(handle, static_cast<v4l2_buffer*>(arg), lock);
    case VIDIOC_STREAMON:
      return StreamOn(handle, *static_cast<int*>(arg));
    case VIDIOC_STREAMOFF:
      if (*static_cast<int*>(arg) != V4L2_BUF_TYPE_VIDEO_CAPTURE) return Fail(EINVAL);
      if (Busy(handle)) return Fail(EBUSY);
      StopThread(lock);
      StreamOff();
      return 0;
    case VIDIOC_ENUMSTD:
    case VIDIOC_G_STD:
    case VIDIOC_S_STD:
    case VIDIOC_QUERYSTD:
    case VIDIOC_ENUMINPUT:
    case VIDIOC_G_INPUT:
    case VIDIOC_S_INPUT:
      return Inputs(request, arg, handle);
    case VIDIOC_G_TUNER:
    case VIDIOC_S_TUNER:
    case VIDIOC_G_FREQUENCY:
    case VIDIOC_S_FREQUENCY:
    case VIDIOC_ENUMAUDIO:
    case VIDIOC_G_AUDIO:
    case VIDIOC_S_AUDIO:
      return Tuner(request, arg);
    case VIDIOC_QUERYCTRL:
    case VIDIOC_G_CTRL:
    case VIDIOC_S_CTRL:
    case VIDIOC_G_EXT_CTRLS:
    case VIDIOC_S_EXT_CTRLS:
    case VIDIOC_TRY_EXT_CTRLS:
      return Controls(request, arg);
    case VIDIOC_G_PRIORITY:
      *static_cast<uint32_t*>(arg) = V4L2_PRIORITY_DEFAULT;
      return 0;
    case VIDIOC_S_PRIORITY:
    case VIDIOC_LOG_STATUS:
      return 0;
    default:
      return Fail(ENOTTY);
  }
}

uint32_t Device::FullHeight() const { return Is525() ? 480 : 576; }

// Clamps a format the way the chip's scaler and field logic do.
void Device::Adjust(v4l2_pix_format& pix) const {
  if (!Has(p_.formats, pix.pixelformat)) pix.pixelformat = p_.formats.front();
  const uint32_t full = FullHeight();
  pix.width = std::clamp<uint32_t>(pix.width, 48, 720) & ~1u;
  pix.height = std::clamp<uint32_t>(pix.height, 32, full) & ~1u;
  if (p_.enumFrameSizes) {
    // The nearest of the discrete sizes.
    const uint32_t sizes[][2] = {{720, full}, {640, full * 5 / 6}, {360, full / 2}, {180, full / 4}};
    size_t best = 0;
    for (size_t i = 1; i < std::size(sizes); ++i)
      if (sizes[i][0] >= pix.width && sizes[i][1] >= pix.height) best = i;
    pix.width = sizes[best][0];
    pix.height = sizes[best][1];
  }
  const bool tall = pix.height > full / 2;
  const bool fieldOk = Has(p_.fields, pix.field) && pix.field != V4L2_FIELD_ANY;
  if (pix.field == V4L2_FIELD_ALTERNATE && fieldOk) {
    pix.height = std::min(pix.height, full / 2);  // lines of one field
  } else if ((pix.field == V4L2_FIELD_TOP || pix.field == V4L2_FIELD_BOTTOM) && fieldOk) {
    pix.height = std::min(pix.height, full / 2);
  } else if (tall || pix.field == V4L2_FIELD_INTERLACED) {
    pix.field = V4L2_FIELD_INTERLACED;  // both fields woven
  } else {
    pix.field = V4L2_FIELD_NONE;  // one field scaled: progressive
  }
  pix.bytesperline = BytesPerLine(pix.pixelformat, pix.width);
  pix.sizeimage = pix.bytesperline * pix.height;
  pix.colorspace = V4L2_COLORSPACE_SMPTE170M;
  pix.priv = 0;
  pix.flags = 0;
  pix.ycbcr_enc = pix.quantization = pix.xfer_func = 0;
}

int Device::Fmt(v4l2_format* f, unsigned long request, int handle) {
  if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return Fail(EINVAL);
  if (request == VIDIOC_G_FMT) {
    f->fmt.pix = pix_;
  } else {
    Adjust(f->fmt.pix);
    if (request == VIDIOC_S_FMT) {
      // The queue is busy while buffers exist (every vb2 driver says EBUSY).
      if (!bufs_.empty() || Busy(handle)) return Fail(EBUSY);
      pix_ = f->fmt.pix;
    }
  }
  if (faults_.badField && request != VIDIOC_TRY_FMT) f->fmt.pix.field = V4L2_FIELD_SEQ_BT;
  if (faults_.zeroSize) {
    f->fmt.pix.width = f->fmt.pix.height = 0;
    f->fmt.pix.bytesperline = f->fmt.pix.sizeimage = 0;
  }
  return 0;
}

int Device::ReqBufs(int handle, v4l2_requestbuffers* r, std::unique_lock<std::mutex>& lock) {
  if (r->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || r->memory != V4L2_MEMORY_MMAP) return Fail(EINVAL);
  if (Busy(handle)) return Fail(EBUSY);
  std::memset(r->reserved, 0, sizeof r->reserved);
  r->capabilities = V4L2_BUF_CAP_SUPPORTS_MMAP | V4L2_BUF_CAP_SUPPORTS_ORPHANED_BUFS;
  r->flags = 0;
  if (streaming_) {
    if (r->count != 0) return Fail(EBUSY);
    StopThread(lock);
    StreamOff();
  }
  FreeBuffers();
  if (r->count == 0) {
    owner_ = -1;
    return 0;
  }
  const uint32_t count = std::clamp<uint32_t>(r->count, 2, 32);
  const size_t page = size_t(sysconf(_SC_PAGESIZE));
  slot_ = (std::max<size_t>(pix_.sizeimage, 1) + page - 1) / page * page;
  memSize_ = slot_ * count;
  memFd_ = memfd_create("v4l2sim", MFD_CLOEXEC);
  if (memFd_ < 0 || ftruncate(memFd_, off_t(memSize_)) != 0) {
    FreeBuffers();
    return Fail(ENOMEM);
  }
  void* m = real::Mmap(nullptr, memSize_, PROT_READ | PROT_WRITE, MAP_SHARED, memFd_, 0);
  if (m == MAP_FAILED) {
    FreeBuffers();
    return Fail(ENOMEM);
  }
  mem_ = static_cast<uint8_t*>(m);
  bufs_.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    v4l2_buffer& b = bufs_[i].info;
    b = {};
    b.index = i;
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    b.m.offset = uint32_t(slot_ * i);
    b.length = pix_.sizeimage;
    b.field = pix_.field;
    b.flags = V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC | V4L2_BUF_FLAG_TSTAMP_SRC_EOF;
  }
  r->count = count;
  owner_ = handle;
  return 0;
}

void Device::FreeBuffers() {
  queued_.clear();
  done_.clear();
  bufs_.clear();
  // Mappings the caller still holds stay valid: the memfd lives on in them.
  if (mem_) real::Munmap(mem_, memSize_);
  if (memFd_ >= 0) real::Close(memFd_);
  mem_ = nullptr;
  memFd_ = -1;
  memSize_ = slot_ = 0;
}

bool Device::MapOffset(int handle, int64_t offset, size_t length, int* memFd) {
  std::lock_guard lock(mu_);
  if (owner_ != handle || memFd_ < 0 || offset < 0 || slot_ == 0 || offset % int64_t(slot_) != 0 ||
      size_t(offset) + length > memSize_)
    return false;
  *memFd = memFd_;
  return true;
}

int Device::QBuf(int handle, v4l2_buffer* b) {
  if (owner_ != handle) return Fail(EBUSY);
  if (b->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || b->memory != V4L2_MEMORY_MMAP || b->index >= bufs_.size())
    return Fail(EINVAL);
  Buffer& buf = bufs_[b->index];
  if (buf.queued) return Fail(EINVAL);
  buf.queued = true;
  buf.info.flags = (buf.info.flags & ~V4L2_BUF_FLAG_DONE) | V4L2_BUF_FLAG_QUEUED;
  queued_.push_back(b->index);
  b->flags = buf.info.flags;
  return 0;
}

int Device::DqBuf(int handle, v4l2_buffer* b, std::unique_lock<std::mutex>& lock) {
  if (owner_ != handle) return Fail(EBUSY);
  if (b->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || b->memory != V4L2_MEMORY_MMAP) return Fail(EINVAL);
  if (!streaming_) return Fail(EINVAL);
  const bool nonBlocking = Find(handle)->nonBlocking;
  const uint64_t gen = generation_;
  while (done_.empty()) {
    if (nonBlocking) return Fail(EAGAIN);
    cv_.wait(lock);
    if (unplugged_ || gen != generation_) return Fail(ENODEV);
    if (!streaming_) return Fail(EINVAL);
  }
  const uint32_t index = done_.front();
  done_.pop_front();
  uint64_t one;
  real::Read(handle, &one, sizeof one);
  Buffer& buf = bufs_[index];
  buf.queued = false;
  buf.info.flags &= ~V4L2_BUF_FLAG_QUEUED;
  *b = buf.info;
  return 0;
}

int Device::StreamOn(int handle, int type) {
  if (type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return Fail(EINVAL);
  if (owner_ != handle || bufs_.empty()) return Fail(EINVAL);
  if (streaming_) return 0;
  streaming_ = true;
  stopThread_ = false;
  frames_ = 0;
  sequence_ = 0;
  tsOffsetNs_ = 0;
  lastField_ = Is525() ? V4L2_FIELD_TOP : V4L2_FIELD_BOTTOM;
  thread_ = std::thread([this] { Run(); });
  return 0;
}

void Device::StopThread(std::unique_lock<std::mutex>& lock) {
  if (!thread_.joinable()) return;
  stopThread_ = true;
  cv_.notify_all();
  std::thread t = std::move(thread_);
  lock.unlock();
  t.join();
  lock.lock();
}

// Every buffer goes back to the caller, dequeued, as STREAMOFF does.
void Device::StreamOff() {
  streaming_ = false;
  for (auto& b : bufs_) {
    b.queued = false;
    b.info.flags &= ~(V4L2_BUF_FLAG_QUEUED | V4L2_BUF_FLAG_DONE);
  }
  queued_.clear();
  done_.clear();
  if (owner_ >= 0) {
    uint64_t v;
    while (real::Read(owner_, &v, sizeof v) > 0) {
    }
  }
  cv_.notify_all();
}

int64_t Device::FramePeriodNs() const {
  const int64_t frame = Is525() ? 1001000000LL / 30 : 40000000LL;
  return pix_.field == V4L2_FIELD_ALTERNATE ? frame / 2 : frame;
}

int Device::StationAt(uint32_t freq) const {
  if (!p_.tuner) return -1;
  const int64_t kHz = int64_t(freq) * 125 / 2;
  for (size_t i = 0; i < std::size(kStationsKHz); ++i)
    if (std::llabs(kHz - int64_t(kStationsKHz[i])) <= kLockKHz) return int(i);
  return -1;
}

// The picture of the input chosen: a station, snow, or the line camera.
int Device::PictureSource() const {
  if (p_.tuner && input_ == 0) return StationAt(freq_);
  return 100 + int(input_);
}

void Device::Run() {
  std::unique_lock lock(mu_);
  auto next = Clock::now();
  while (!stopThread_) {
    next += std::chrono::nanoseconds(FramePeriodNs());
    if (cv_.wait_until(lock, next, [this] { return stopThread_; })) break;
    if (Clock::now() > next + std::chrono::seconds(1)) next = Clock::now();  // caught up after a pause
    lock.unlock();
    CheckControlFile();
    lock.lock();
    if (!stopThread_ && !unplugged_) CompleteFrame();
  }
}

void Device::CompleteFrame() {
  ++frames_;
  if (faults_.unplugAt >= 0 && frames_ >= faults_.unplugAt) {
    faults_.unplugAt = -1;
    Unplug();
    return;
  }
  if (faults_.stallAt >= 0 && frames_ > faults_.stallAt) return;
  if (faults_.dropAt == frames_) sequence_ += 5;
  if (faults_.repeatAt == frames_ && sequence_ > 0) --sequence_;
  if (faults_.jumpAt == frames_) tsOffsetNs_ += 10000000000LL;
  uint32_t field = pix_.field;
  if (field == V4L2_FIELD_ALTERNATE) {
    lastField_ = lastField_ == V4L2_FIELD_TOP ? V4L2_FIELD_BOTTOM : V4L2_FIELD_TOP;
    field = lastField_;
  }
  if (queued_.empty()) {
    ++sequence_;  // no buffer: the frame is lost, its number too
    return;
  }
  const uint32_t index = queued_.front();
  queued_.pop_front();
  Buffer& buf = bufs_[index];
  PaintFrame(mem_ + buf.info.m.offset, slot_, pix_, PictureSource(), frames_);
  buf.info.bytesused = pix_.sizeimage;
  buf.info.field = faults_.badField ? uint32_t(V4L2_FIELD_SEQ_BT) : field;
  buf.info.sequence = sequence_++;
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const int64_t ns = int64_t(ts.tv_sec) * 1000000000LL + ts.tv_nsec + tsOffsetNs_;
  buf.info.timestamp.tv_sec = ns / 1000000000LL;
  buf.info.timestamp.tv_usec = (ns % 1000000000LL) / 1000;
  buf.info.flags |= V4L2_BUF_FLAG_DONE;
  done_.push_back(index);
  ++delivered_;
  const uint64_t one = 1;
  real::Write(owner_, &one, sizeof one);
  cv_.notify_all();
}

// The node goes away: every handle open on it now fails with ENODEV, and
// its descriptor polls readable so a waiting caller sees it at once.
void Device::Unplug() {
  unplugged_ = true;
  ++generation_;
  const uint64_t many = uint64_t(1) << 32;
  for (const auto& h : handles_) real::Write(h.efd, &many, sizeof many);
  cv_.notify_all();
}

bool Device::Command(const std::string& words) {
  std::unique_lock lock(mu_);
  bool unplug = false, replug = false;
  const bool ok = ApplyFaultWords(words, faults_, frames_, &unplug, &replug);
  if (unplug && !unplugged_) Unplug();
  if (replug) unplugged_ = false;
  return ok;
}

// A file named by TELLURA_V4L2SIM_CONTROL carries commands from another
// process: read and removed each frame.
void Device::CheckControlFile() {
  static const char* path = std::getenv("TELLURA_V4L2SIM_CONTROL");
  if (path == nullptr || *path == 0) return;
  struct stat st;
  if (::stat(path, &st) != 0) return;
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  ::unlink(path);
  Command(text.str());
}

ssize_t Device::Read(int handle, void* buf, size_t len) {
  std::unique_lock lock(mu_);
  Handle* h = Find(handle);
  if (h == nullptr) return Fail(EBADF);
  if (unplugged_ || h->generation != generation_) return Fail(ENODEV);
  if (owner_ >= 0) return Fail(EBUSY);  // streaming I/O owns the queue
  const auto wake = Clock::now() + std::chrono::nanoseconds(FramePeriodNs());
  cv_.wait_until(lock, wake, [&] { return unplugged_.load(); });
  if (unplugged_) return Fail(ENODEV);
  const size_t n = std::min<size_t>(len, pix_.sizeimage);
  PaintFrame(static_cast<uint8_t*>(buf), n, pix_, PictureSource(), ++frames_);
  return ssize_t(n);
}

int Device::Inputs(unsigned long request, void* arg, int handle) {
  switch (request) {
    case VIDIOC_ENUMSTD: {
      auto* s = static_cast<v4l2_standard*>(arg);
      if (s->index >= std::size(kStds)) return Fail(EINVAL);
      const StdEntry& e = kStds[s->index];
      const uint32_t index = s->index;
      *s = {};
      s->index = index;
      s->id = e.id;
      CopyName(s->name, sizeof s->name, e.name);
      const bool l525 = (e.id & V4L2_STD_525_60) != 0;
      s->frameperiod = l525 ? v4l2_fract{1001, 30000} : v4l2_fract{1, 25};
      s->framelines = l525 ? 525 : 625;
      return 0;
    }
    case VIDIOC_G_STD:
      *static_cast<v4l2_std_id*>(arg) = std_;
      return 0;
    case VIDIOC_QUERYSTD:
      *static_cast<v4l2_std_id*>(arg) = PictureSource() < 0 ? V4L2_STD_UNKNOWN : std_;
      return 0;
    case VIDIOC_S_STD: {
      const v4l2_std_id id = *static_cast<v4l2_std_id*>(arg) & kAllStds;
      if (id == 0) return Fail(EINVAL);
      if (streaming_ && p_.stdBusyWhileStreaming) return Fail(EBUSY);
      if (Busy(handle)) return Fail(EBUSY);
      const bool was525 = Is525();
      std_ = id;
      if (was525 != Is525() && bufs_.empty()) {
        // A new line count: the picture keeps its share of the frame.
        pix_.height = pix_.height * FullHeight() / (was525 ? 480 : 576);
        Adjust(pix_);
      }
      return 0;
    }
    case VIDIOC_ENUMINPUT: {
      auto* in = static_cast<v4l2_input*>(arg);
      if (in->index >= p_.inputs.size()) return Fail(EINVAL);
      const uint32_t index = in->index;
      *in = {};
      in->index = index;
      CopyName(in->name, sizeof in->name, p_.inputs[index]);
      const bool tuner = p_.tuner && index == 0;
      in->type = tuner ? V4L2_INPUT_TYPE_TUNER : V4L2_INPUT_TYPE_CAMERA;
      in->audioset = tuner ? 1 : 2;
      in->tuner = 0;
      in->std = kAllStds;
      in->capabilities = V4L2_IN_CAP_STD;
      if (index == input_ && PictureSource() < 0)
        in->status = p_.afc ? uint32_t(V4L2_IN_ST_NO_SIGNAL) : uint32_t(V4L2_IN_ST_NO_H_LOCK);
      return 0;
    }
    case VIDIOC_G_INPUT:
      *static_cast<int*>(arg) = int(input_);
      return 0;
    case VIDIOC_S_INPUT: {
      const uint32_t index = *static_cast<uint32_t*>(arg);
      if (index >= p_.inputs.size()) return Fail(EINVAL);
      if (streaming_ && p_.stdBusyWhileStreaming && index != input_) return Fail(EBUSY);
      input_ = index;
      return 0;
    }
  }
  return Fail(ENOTTY);
}

int Device::Tuner(unsigned long request, void* arg) {
  const bool isTuner = request == VIDIOC_G_TUNER || request == VIDIOC_S_TUNER ||
                       request == VIDIOC_G_FREQUENCY || request == VIDIOC_S_FREQUENCY;
  if (isTuner && !p_.tuner) return Fail(ENOTTY);
  switch (request) {
    case VIDIOC_G_TUNER: {
      auto* t = static_cast<v4l2_tuner*>(arg);
      if (t->index != 0) return Fail(EINVAL);
      *t = {};
      CopyName(t->name, sizeof t->name, "Television");
      t->type = V4L2_TUNER_ANALOG_TV;
      t->capability = V4L2_TUNER_CAP_NORM | V4L2_TUNER_CAP_STEREO | V4L2_TUNER_CAP_LANG1 | V4L2_TUNER_CAP_LANG2;
      t->rangelow = kMinKHz * 16 / 1000;
      t->rangehigh = kMaxKHz * 16 / 1000;
      const int s = StationAt(freq_);
      t->signal = s < 0 ? 0 : 0xFFFF;
      // Odd stations are bilingual, even ones stereo.
      t->rxsubchans = s < 0 ? V4L2_TUNER_SUB_MONO
                            : (s % 2 ? V4L2_TUNER_SUB_LANG1 | V4L2_TUNER_SUB_LANG2
                                     : V4L2_TUNER_SUB_MONO | V4L2_TUNER_SUB_STEREO);
      t->audmode = audmode_;
      if (s >= 0 && p_.afc) {
        const int64_t off = int64_t(freq_) * 125 / 2 - int64_t(kStationsKHz[s]);
        t->afc = std::llabs(off) <= kCentreKHz ? 0 : (off > 0 ? 1 : -1);
      }
      return 0;
    }
    case VIDIOC_S_TUNER: {
      const auto* t = static_cast<const v4l2_tuner*>(arg);
      if (t->index != 0) return Fail(EINVAL);
      if (t->audmode > V4L2_TUNER_MODE_LANG1_LANG2) return Fail(EINVAL);
      audmode_ = t->audmode;
      return 0;
    }
    case VIDIOC_G_FREQUENCY: {
      auto* f = static_cast<v4l2_frequency*>(arg);
      if (f->tuner != 0) return Fail(EINVAL);
      f->type = V4L2_TUNER_ANALOG_TV;
      f->frequency = freq_;
      std::memset(f->reserved, 0, sizeof f->reserved);
      return 0;
    }
    case VIDIOC_S_FREQUENCY: {
      const auto* f = static_cast<const v4l2_frequency*>(arg);
      if (f->tuner != 0 || f->type != V4L2_TUNER_ANALOG_TV) return Fail(EINVAL);
      freq_ = std::clamp<uint32_t>(f->frequency, kMinKHz * 16 / 1000, kMaxKHz * 16 / 1000);
      return 0;
    }
    case VIDIOC_ENUMAUDIO:
    case VIDIOC_G_AUDIO: {
      auto* a = static_cast<v4l2_audio*>(arg);
      const uint32_t index = request == VIDIOC_G_AUDIO ? audioInput_ : a->index;
      if (index >= std::size(kAudioInputs)) return Fail(EINVAL);
      *a = {};
      a->index = index;
      CopyName(a->name, sizeof a->name, kAudioInputs[index]);
      a->capability = V4L2_AUDCAP_STEREO;
      return 0;
    }
    case VIDIOC_S_AUDIO: {
      const auto* a = static_cast<const v4l2_audio*>(arg);
      if (a->index >= std::size(kAudioInputs)) return Fail(EINVAL);
      audioInput_ = a->index;
      return 0;
    }
  }
  return Fail(ENOTTY);
}

int Device::Controls(unsigned long request, void* arg) {
  auto find = [](uint32_t id) -> int {
    for (size_t i = 0; i < std::size(kCtrls); ++i)
      if (kCtrls[i].id == id) return int(i);
    return -1;
  };
  auto set = [&](uint32_t id, int32_t value, bool apply) {
    const int i = find(id);
    if (i < 0) return Fail(EINVAL);
    if (value < kCtrls[i].min || value > kCtrls[i].max) return Fail(ERANGE);
    if (apply) ctrl_[i] = value;
    return 0;
  };
  switch (request) {
    case VIDIOC_QUERYCTRL: {
      auto* q = static_cast<v4l2_queryctrl*>(arg);
      int i = -1;
      if (q->id & V4L2_CTRL_FLAG_NEXT_CTRL) {
        const uint32_t after = q->id & ~(V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND);
        for (size_t k = 0; k < std::size(kCtrls); ++k)
          if (kCtrls[k].id > after && (i < 0 || kCtrls[k].id < kCtrls[i].id)) i = int(k);
      } else {
        i = find(q->id);
      }
      if (i < 0) return Fail(EINVAL);
      const CtrlDef& c = kCtrls[i];
      *q = {};
      q->id = c.id;
      q->type = c.type;
      CopyName(q->name, sizeof q->name, c.name);
      q->minimum = c.min;
      q->maximum = c.max;
      q->step = 1;
      q->default_value = c.def;
      return 0;
    }
    case VIDIOC_G_CTRL: {
      auto* c = static_cast<v4l2_control*>(arg);
      const int i = find(c->id);
      if (i < 0) return Fail(EINVAL);
      c->value = ctrl_[i];
      return 0;
    }
    case VIDIOC_S_CTRL: {
      const auto* c = static_cast<const v4l2_control*>(arg);
      return set(c->id, c->value, true);
    }
    default: {
      auto* e = static_cast<v4l2_ext_controls*>(arg);
      if (e->count > 64 || (e->count > 0 && e->controls == nullptr)) return Fail(EINVAL);
      for (uint32_t k = 0; k < e->count; ++k) {
        v4l2_ext_control& c = e->controls[k];
        const int i = find(c.id);
        e->error_idx = k;
        if (i < 0) return Fail(EINVAL);
        if (request == VIDIOC_G_EXT_CTRLS) c.value = ctrl_[i];
        else if (set(c.id, c.value, request == VIDIOC_S_EXT_CTRLS) != 0) return -1;
      }
      e->error_idx = e->count;
      return 0;
    }
  }
}

}  // namespace v4l2sim
