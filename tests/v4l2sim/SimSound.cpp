// The simulated cards' sound: an ALSA capture device for each node that needs
// no sound card, made with alsa-lib's external plugin interface. Node N is
// sound card kFirstCard + N: its sysfs folder lists "cardM" where a real
// card's driver links its sound (see SimSoundFolder), and the preload answers
// snd_pcm_open("hw:M") and snd_card_get_name(M); every other name goes on to
// alsa-lib. The sound is paced by the monotonic clock, as the frames are,
// and is a 1 kHz tone.
#include "SimSound.h"

#include "SimDevice.h"

#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace v4l2sim {
namespace {

constexpr unsigned kRate = 48000;
constexpr unsigned kChannels = 2;

struct SimPcm {
  snd_pcm_ioplug_t io{};
  int timer = -1;
  int64_t startNs = 0;
  uint64_t produced = 0;  // frames handed to the reader (the tone's phase)
  std::string name;
};

int64_t NowNs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

SimPcm* Of(snd_pcm_ioplug_t* io) { return static_cast<SimPcm*>(io->private_data); }

void Arm(SimPcm* p, int64_t periodNs) {
  itimerspec t{};
  t.it_interval.tv_sec = periodNs / 1000000000LL;
  t.it_interval.tv_nsec = periodNs % 1000000000LL;
  t.it_value = t.it_interval;
  timerfd_settime(p->timer, 0, &t, nullptr);
}

int Start(snd_pcm_ioplug_t* io) {
  SimPcm* p = Of(io);
  p->startNs = NowNs();
  Arm(p, int64_t(io->period_size) * 1000000000LL / kRate);
  return 0;
}

int Stop(snd_pcm_ioplug_t* io) {
  Arm(Of(io), 0);
  return 0;
}

int Prepare(snd_pcm_ioplug_t* io) {
  Of(io)->produced = 0;
  return 0;
}

// The capture position: the frames the clock has made since the start. A
// reader more than a buffer behind has overrun, as on a real card.
snd_pcm_sframes_t Pointer(snd_pcm_ioplug_t* io) {
  SimPcm* p = Of(io);
  if (io->state != SND_PCM_STATE_RUNNING) return 0;
  const uint64_t made = uint64_t((NowNs() - p->startNs) * int64_t(kRate) / 1000000000LL);
  if (made > p->produced + io->buffer_size) return -EPIPE;
  return snd_pcm_sframes_t(made % io->buffer_size);
}

snd_pcm_sframes_t Transfer(snd_pcm_ioplug_t* io, const snd_pcm_channel_area_t* areas, snd_pcm_uframes_t offset,
                           snd_pcm_uframes_t size) {
  SimPcm* p = Of(io);
  auto* out = static_cast<int16_t*>(areas[0].addr) + (areas[0].first / 16) + offset * kChannels;
  for (snd_pcm_uframes_t i = 0; i < size; ++i) {
    const double t = double(p->produced + i) / kRate;
    const auto v = int16_t(8000.0 * std::sin(2.0 * M_PI * 1000.0 * t));
    for (unsigned c = 0; c < kChannels; ++c) out[i * kChannels + c] = v;
  }
  p->produced += size;
  return snd_pcm_sframes_t(size);
}

int PollRevents(snd_pcm_ioplug_t* io, struct pollfd*, unsigned int, unsigned short* revents) {
  uint64_t ticks;
  while (read(Of(io)->timer, &ticks, sizeof ticks) > 0) {
  }
  *revents = POLLIN;
  return 0;
}

int Close(snd_pcm_ioplug_t* io) {
  SimPcm* p = Of(io);
  close(p->timer);
  delete p;
  return 0;
}

const snd_pcm_ioplug_callback_t kCallbacks = [] {
  snd_pcm_ioplug_callback_t cb{};
  cb.start = Start;
  cb.stop = Stop;
  cb.pointer = Pointer;
  cb.transfer = Transfer;
  cb.close = Close;
  cb.prepare = Prepare;
  cb.poll_revents = PollRevents;
  return cb;
}();

int Constrain(snd_pcm_ioplug_t* io) {
  static const unsigned access[] = {SND_PCM_ACCESS_RW_INTERLEAVED};
  static const unsigned formats[] = {SND_PCM_FORMAT_S16_LE};
  int err = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_ACCESS, 1, access);
  if (err >= 0) err = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_FORMAT, 1, formats);
  if (err >= 0) err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_CHANNELS, kChannels, kChannels);
  if (err >= 0) err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_RATE, kRate, kRate);
  if (err >= 0) err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 256, 64 * 1024);
  if (err >= 0) err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIODS, 2, 64);
  return err;
}

int OpenSimPcm(snd_pcm_t** pcm, const char* name, int mode) {
  auto* p = new SimPcm;
  p->name = name;
  p->timer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  p->io.version = SND_PCM_IOPLUG_VERSION;
  p->io.name = p->name.c_str();
  p->io.callback = &kCallbacks;
  p->io.private_data = p;
  p->io.poll_fd = p->timer;
  p->io.poll_events = POLLIN;
  int err = p->timer >= 0 ? snd_pcm_ioplug_create(&p->io, name, SND_PCM_STREAM_CAPTURE, mode) : -errno;
  if (err < 0) {
    if (p->timer >= 0) close(p->timer);
    delete p;
    return err;
  }
  if ((err = Constrain(&p->io)) < 0) {
    snd_pcm_ioplug_delete(&p->io);  // calls Close
    return err;
  }
  *pcm = p->io.pcm;
  return 0;
}

// The node whose sound card number is `card`; -1 for none.
int NodeOfCard(int card) {
  const int node = card - kFirstSoundCard;
  return node >= 0 && node < int(Devices().size()) ? node : -1;
}

// "hw:M" or "hw:M,0" of a simulated card: its node, else -1.
int NodeOfName(const char* name) {
  if (!name || std::strncmp(name, "hw:", 3) != 0) return -1;
  char* end = nullptr;
  const long card = std::strtol(name + 3, &end, 10);
  if (end == name + 3 || (*end != 0 && std::strcmp(end, ",0") != 0)) return -1;
  return NodeOfCard(int(card));
}

std::string SoundRoot() {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/tellura-v4l2sim-" + std::to_string(getpid());
}

std::string NodeFolder(long node) { return SoundRoot() + "/video" + std::to_string(node); }
std::string CardFolder(long node) { return NodeFolder(node) + "/card" + std::to_string(kFirstSoundCard + node); }

// The folders go when the process ends (they are empty but for each other).
void RemoveSoundFolders() {
  for (size_t n = 0; n < Devices().size(); ++n) {
    rmdir(CardFolder(long(n)).c_str());
    rmdir(NodeFolder(long(n)).c_str());
  }
  rmdir(SoundRoot().c_str());
}

}  // namespace

// sysfs: /sys/class/video4linux/videoN/device/sound is the node's folder of
// its sound card, made once under the process's temporary folder.
std::string SimSoundFolder(const char* path) {
  static const std::string prefix = "/sys/class/video4linux/video";
  if (!path || std::strncmp(path, prefix.c_str(), prefix.size()) != 0) return {};
  if (const char* off = std::getenv("TELLURA_V4L2SIM_NOSOUND"); off && *off) return {};  // cards without sound
  char* end = nullptr;
  const long node = std::strtol(path + prefix.size(), &end, 10);
  if (end == path + prefix.size() || std::strcmp(end, "/device/sound") != 0) return {};
  if (node < 0 || node >= long(Devices().size()) || !Devices()[size_t(node)]->Present()) return {};
  static const bool cleanup = (std::atexit(RemoveSoundFolders), true);
  (void)cleanup;
  mkdir(SoundRoot().c_str(), 0700);
  mkdir(NodeFolder(node).c_str(), 0700);
  mkdir(CardFolder(node).c_str(), 0700);
  return NodeFolder(node);
}

}  // namespace v4l2sim

extern "C" {

__attribute__((visibility("default"))) int snd_pcm_open(snd_pcm_t** pcm, const char* name, snd_pcm_stream_t stream,
                                                       int mode) {
  if (v4l2sim::NodeOfName(name) >= 0)
    return stream == SND_PCM_STREAM_CAPTURE ? v4l2sim::OpenSimPcm(pcm, name, mode) : -ENOENT;
  using Open = int (*)(snd_pcm_t**, const char*, snd_pcm_stream_t, int);
  static const auto real = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "snd_pcm_open"));
  return real ? real(pcm, name, stream, mode) : -ENOENT;
}

__attribute__((visibility("default"))) int snd_card_get_name(int card, char** name) {
  const int node = v4l2sim::NodeOfCard(card);
  if (node >= 0) {
    *name = strdup(v4l2sim::Devices()[size_t(node)]->Kind().card.c_str());
    return *name ? 0 : -ENOMEM;
  }
  using Get = int (*)(int, char**);
  static const auto real = reinterpret_cast<Get>(dlsym(RTLD_NEXT, "snd_card_get_name"));
  return real ? real(card, name) : -ENODEV;
}

}  // extern "C"
