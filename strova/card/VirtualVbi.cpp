#include "strova/card/VirtualVbi.h"

#include "strova/vbi/ZvbiFormat.h"

#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

namespace strova::card {
namespace {

constexpr int kBlank = 16, kWhite = 200;
// Teletext on lines 7..14 and 320..327; captions on line 21; WSS on line 23.
constexpr int kTeletextLines = 8;
constexpr int kTeletextFirst[2] = {7, 320};
constexpr int kCaptionLine = 21, kWssLine = 23;
// Below this quality the tuner sees snow; above the clean one no errors.
constexpr double kSnowQuality = 0.3, kCleanQuality = 0.95;

// WSS group 1 aspect codes, bits 0..3 as broadcast.
constexpr unsigned kWss4x3 = 0x8, kWss16x9 = 0x7;

struct SamplingPar {
  vbi_sampling_par sp;
  explicit SamplingPar(const vbi::VbiFormat& f) { vbi::InitSamplingPar(f, &sp); }
  ~SamplingPar() { vbi_raw_decoder_destroy(&sp); }
};

// The bit-error rate of the tuner's signal at a picture quality.
double BitErrorRate(double quality) {
  if (quality >= kCleanQuality) return 0;
  return 0.02 * (kCleanQuality - quality) / (kCleanQuality - kSnowQuality);
}

uint64_t ChannelKey(const VirtualView& v, const std::vector<Station>& stations) {
  const int64_t kHz = v.station >= 0 && size_t(v.station) < stations.size() && v.quality > 0
                          ? stations[size_t(v.station)].kHz
                          : v.tunedHz / 1000;
  return uint64_t(v.input) << 40 | uint64_t(kHz);
}

}  // namespace

StationBroadcast BroadcastOf(int station) {
  // Every fourth station sends no teletext; every other one is wide screen.
  return {station % 4 != 3, station % 2 == 1};
}

vbi::VbiFormat VirtualVbiFormat(bool is525) {
  // A real card's values: the lines of each field that carry the services.
  if (is525) return {525, 28636363, 200, 1600, {10, 272}, {12, 12}, false, true};
  return {625, 35468950, 244, 1976, {6, 319}, {18, 18}, false, true};
}

VirtualVbi::VirtualVbi(uint32_t seed) : rng_(seed) {}

void VirtualVbi::NextTeletext(const std::string& station, double wallClock, int stationIndex,
                              size_t n, std::vector<TeletextPacket>& out) {
  if (stationIndex != queueStation_) queue_.clear(), queueStation_ = stationIndex;
  while (out.size() < n) {
    if (queue_.empty()) {
      auto cycle = TeletextCycle(station, wallClock, cycle_++);
      queue_.assign(cycle.begin(), cycle.end());
    }
    out.push_back(queue_.front());
    queue_.pop_front();
  }
}

std::array<uint8_t, 2> VirtualVbi::NextCaptionPair(const std::string& station, double now) {
  if (captionQueue_.empty() && now >= nextCaption_) {
    auto bytes = CaptionBytes(station, captionIndex_++);
    captionQueue_.assign(bytes.begin(), bytes.end());
    nextCaption_ = now + 3.0;
  }
  if (captionQueue_.empty()) return {0x80, 0x80};  // null pair with odd parity
  auto pair = captionQueue_.front();
  captionQueue_.pop_front();
  return pair;
}

void VirtualVbi::Impair(std::vector<uint8_t>& samples, const vbi::VbiFormat& f, double quality) {
  if (quality < kSnowQuality) {
    std::uniform_int_distribution<int> snow(0, 255);
    for (auto& s : samples) s = uint8_t(snow(rng_));
    return;
  }
  SamplingPar par(f);
  const auto amplitude = unsigned((1.0 - quality) * 60);
  if (amplitude > 0) vbi_raw_add_noise(samples.data(), &par.sp, 0, 5000000, amplitude, rng_());
}

void VirtualVbi::Render(const VirtualView& view, const std::vector<Station>& stations, double now,
                        double wallClock, vbi::VbiFrame& frame) {
  const bool is525 = Is525Line(view.standard);
  frame.format = VirtualVbiFormat(is525);
  frame.time = now;
  frame.channel = ChannelKey(view, stations);
  frame.samples.assign(frame.format.FrameBytes(), kBlank);
  const bool tuner = view.input == VirtualHardware::kTunerInput;
  const bool onStation = tuner && view.station >= 0 && size_t(view.station) < stations.size();
  if (!onStation || view.quality < kSnowQuality) {
    if (tuner) Impair(frame.samples, frame.format, view.quality);
    return;
  }
  const std::string& name = stations[size_t(view.station)].name;
  const StationBroadcast b = BroadcastOf(view.station);
  std::vector<vbi_sliced> lines;
  auto add = [&lines](unsigned id, int line, const uint8_t* data, size_t n) {
    vbi_sliced s{};
    s.id = id;
    s.line = unsigned(line);
    std::memcpy(s.data, data, n);
    lines.push_back(s);
  };
  if (is525) {
    const auto cc = NextCaptionPair(name, now);
    add(VBI_SLICED_CAPTION_525, kCaptionLine, cc.data(), 2);
  } else {
    if (b.teletext) {
      std::vector<TeletextPacket> packets;
      NextTeletext(name, wallClock, view.station, 2 * kTeletextLines, packets);
      for (size_t i = 0; i < packets.size(); ++i)
        add(VBI_SLICED_TELETEXT_B, kTeletextFirst[i / kTeletextLines] + int(i % kTeletextLines),
            packets[i].data(), packets[i].size());
    }
    const unsigned wss = b.wide ? kWss16x9 : kWss4x3;
    const uint8_t data[2] = {uint8_t(wss), 0};
    add(VBI_SLICED_WSS_625, kWssLine, data, 2);
  }
  // Bit errors of a weak signal, in the payload as the slicer would see them.
  const double ber = BitErrorRate(view.quality);
  if (ber > 0) {
    std::bernoulli_distribution flip(ber);
    for (auto& s : lines)
      for (auto& byte : s.data)
        for (int bit = 0; bit < 8; ++bit)
          if (flip(rng_)) byte ^= uint8_t(1u << bit);
  }
  SamplingPar par(frame.format);
  vbi_raw_vbi_image(frame.samples.data(), frame.samples.size(), &par.sp, kBlank, kWhite, FALSE,
                    lines.data(), unsigned(lines.size()));
  Impair(frame.samples, frame.format, view.quality);
}

namespace {

class VirtualVbiSource : public vbi::VbiSource {
 public:
  explicit VirtualVbiSource(std::shared_ptr<VirtualHardware> hw)
      : hw_(std::move(hw)), next_(Clock::now()) {}

  bool Read(vbi::VbiFrame& frame, int timeoutMs) override {
    const VirtualView view = hw_->View();
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(Is525Line(view.standard) ? 1001.0 / 30000 : 0.04));
    auto now = Clock::now();
    if (now - next_ > std::chrono::milliseconds(500)) next_ = now;  // after a stall
    if (next_ - now > std::chrono::milliseconds(timeoutMs)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
      return false;
    }
    std::this_thread::sleep_until(next_);
    next_ += period;
    const double t = std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
    gen_.Render(view, hw_->Stations(), t, double(std::time(nullptr)), frame);
    return true;
  }

 private:
  using Clock = std::chrono::steady_clock;
  std::shared_ptr<VirtualHardware> hw_;
  VirtualVbi gen_;
  Clock::time_point next_;
};

}  // namespace

std::unique_ptr<vbi::VbiSource> MakeVirtualVbiSource(std::shared_ptr<VirtualHardware> hw) {
  return std::make_unique<VirtualVbiSource>(std::move(hw));
}

}  // namespace strova::card
