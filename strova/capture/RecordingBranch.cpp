#include "strova/capture/RecordingBranch.h"

#include "strova/capture/FrameChecksums.h"
#include "strova/capture/FrameCounter.h"
#include "strova/capture/KeepProfiles.h"
#include "strova/capture/RecordingProfile.h"
#include "strova/dump/GraphDump.h"
#include "strova/dump/GstGraphView.h"
#include "strova/capture/RecordingRepair.h"
#include "strova/filters/StreamFilters.h"
#include "strova/filters/mpeg/MpegFilters.h"
#include "strova/filters/mpeg/Compressors.h"
#include "strova/filters/mpeg/MpegRecorder.h"
#include "strova/graph/Branches.h"
#include "strova/graph/CardSound.h"
#include "strova/graph/Graph.h"
#include "strova/still/StillCapture.h"
#include "platform/Paths.h"

#include <gst/gst.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

namespace strova::capture {
namespace {

using core::CardContext;
using core::Context;
using core::LibraryContext;
namespace g = strova::graph;

constexpr const char* kVideoEncoder = "Vantrel MPEG Video Encoder";
constexpr const char* kAudioEncoder = "Vantrel MPEG Audio Encoder";
constexpr const char* kDownScale = "Vantrel Down Scale Filter";
constexpr const char* kAviMux = "AVI Mux";
constexpr const char* kMatroskaMux = "Matroska Mux";
constexpr const char* kMp4Mux = "MP4 Mux";

const char* WriterName(const RecordingValues& v) { return v.Lossless() ? kMatroskaMux : v.H264() ? kMp4Mux : kAviMux; }

// What a card's recording keeps beyond the graph: the MPEG filters (owned by
// the multiplexer's place in the graph), or the AVI writer.
struct Session {
  std::weak_ptr<mpeg::MpegFilterSet> mpeg;
  std::weak_ptr<mpeg::MpegRecorder> aviWriter;
  std::shared_ptr<FrameChecksums> checksums;  // lossless: the framemd5 file
  bool lossless = false;
  std::string note;  // the journal's note of the recording
  std::shared_ptr<FrameCounter> counter;
  std::string file;  // the file written, for the log
  std::string log;   // the log beside it
  int64_t started = 0;
};
std::array<Session, core::kMaxCards> g_sessions;

// Each card's latest recording counts, read by the exports from any thread.
std::mutex g_countersLock;
std::array<std::shared_ptr<FrameCounter>, core::kMaxCards> g_counters;

bool Has(CardContext& c, const char* name) { return g::FindFilter(c, name) != nullptr; }

bool SetParam(CardContext& c, const char* name, uint32_t id, intptr_t value) {
  return g::SetFilterParam(g::FindFilter(c, name), id, value);
}

void SetParams(CardContext& c, const char* name, const ParamList& params) {
  for (const auto& [id, value] : params) SetParam(c, name, id, value);
}

// The platform's filters the recording's preview path needs when the
// preview teardown has taken them out; the renderer's sink is placed by the
// window set-up.
GstElement* MakePlatformFilter(const char* name) {
  if (!std::strcmp(name, g::kRenderer)) {
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    if (sink) g_object_set(sink, "sync", TRUE, nullptr);
    return sink ? g::MakeFilter(sink, "Input", nullptr) : nullptr;
  }
  GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
  if (!convert) return nullptr;
  if (!std::strcmp(name, g::kOverlayMixer)) return g::MakeFilter(convert, "Input0", "Output");
  return g::MakeFilter(convert, "Input", "XForm Out");
}

bool AddStillCapture(CardContext& c) {
  auto* grabber = new still::StillCapture;
  grabber->SetDeinterlace(Context().deinterlace != 0);
  if (!grabber->Valid() || g::AddFilter(c, grabber->Bin(), g::kStillCapture) < 0) {
    delete grabber;
    return false;
  }
  GstElement* bin = grabber->Bin();
  g::SetFilterOwner(bin, [grabber] { delete grabber; });
  g::AttachParams(bin, [grabber](uint32_t id, intptr_t v) { return grabber->SetParam(id, static_cast<int32_t>(v)); });
  g::SetFilterParam(bin, 0x601, 0);
  g::SetFilterParam(bin, 0x605, 0);
  return true;
}

// Adds the platform filter of that name unless the graph has it.
void AddMissing(CardContext& c, const char* name) {
  if (!Has(c, name)) g::AddFilter(c, MakePlatformFilter(name), name);
  if (!std::strcmp(name, g::kRenderer) && !c.renderer) c.renderer = g::FindFilter(c, g::kRenderer);
}

const char* MixerOrConverter() { return Context().displayMode == 1 ? g::kOverlayMixer : g::kConverter; }
const char* MixerInput() { return Context().displayMode == 1 ? "Input0" : "Input"; }
const char* MixerOutput() { return Context().displayMode == 1 ? "Output" : "XForm Out"; }

void DisconnectRenderer(CardContext& c) {
  g::DisconnectPins(c, MixerOrConverter(), MixerOutput(), g::kRenderer, "Input");
}

void ConnectRenderer(CardContext& c) {
  g::ConnectPins(c, MixerOrConverter(), MixerOutput(), g::kRenderer, "Input");
}

// Reads a pin's format, gives it colour code and size, writes it back.
// *status receives the write's status; false when the read or write fails.
bool WritePinFormat(int card, int pin, int colorCode, int width, int height, STROVA_STATUS* status) {
  VideoInfo info{};
  if (Strova_GetVideoInfo(card, &info, pin) != S_OK) return false;
  info.colorCode = colorCode;
  info.bmi.width = width;
  info.bmi.height = height;
  *status = Strova_SetVideoInfo(card, info, pin);
  return *status >= 0;
}

int PreviewColorCode() { return Context().displayMode == 1 ? 2 : 1; }

// The filters of an MPEG recording. The encoders and the multiplexer
// of an earlier recording are replaced: their writer went with it.
bool AddMpegFilters(int card, CardContext& c, const RecordingValues& v) {
  if (v.FullWidth()) {
    if (!Has(c, g::kSmartTee)) g::AddFilter(c, filters::MakeSmartTee(), g::kSmartTee);
    if (!Has(c, kDownScale)) {
      filters::ParamFilter down = filters::MakeDownScaleFilter(Context().deinterlace != 0);
      if (down.bin && g::AddFilter(c, down.bin, kDownScale) >= 0) {
        g::AttachParams(down.bin, down.setParam);
        g::SetFilterParam(down.bin, 0x700, 1);
        g::SetFilterParam(down.bin, 0x701, 1);
      }
    }
  }
  for (const char* name : {g::kOverlayMixer, g::kRenderer, g::kConverter}) AddMissing(c, name);
  if (!Has(c, g::kStillCapture)) AddStillCapture(c);
  for (const char* name : {g::kMultiplexer, kVideoEncoder, kAudioEncoder}) g::RemoveFilter(c, name);
  auto set = mpeg::MpegFilterSet::Create();
  if (!set) return false;
  g_sessions[static_cast<size_t>(card)].mpeg = set;
  std::weak_ptr<mpeg::MpegFilterSet> weak = set;
  if (g::AddFilter(c, set->Multiplexer(), g::kMultiplexer) < 0) return false;
  // The filters live while the multiplexer is in the graph; leaving it ends the file.
  g::SetFilterOwner(set->Multiplexer(), [set] { set->Finish(); });
  g::AddFilter(c, set->VideoEncoder(), kVideoEncoder);
  g::AddFilter(c, set->AudioEncoder(), kAudioEncoder);
  g::AttachParams(set->Multiplexer(), [weak](uint32_t id, intptr_t value) {
    auto s = weak.lock();
    return s && s->SetMuxParam(id, value);
  });
  g::AttachParams(set->VideoEncoder(), [weak](uint32_t id, intptr_t value) {
    auto s = weak.lock();
    return s && s->SetVideoParam(id, static_cast<int32_t>(value));
  });
  g::AttachParams(set->AudioEncoder(), [weak](uint32_t id, intptr_t value) {
    auto s = weak.lock();
    return s && s->SetAudioParam(id, static_cast<int32_t>(value));
  });
  // A recording that ends by itself is reported as a graph event.
  set->SetEndHandler([&c](mpeg::WriteStatus st) {
    g::PostEvent(c, g::kEventAbort,
                 static_cast<uint32_t>(st == mpeg::WriteStatus::DiskFull ? STROVA_E_DISK_FULL : E_FAIL));
  });
  return true;
}

// The shared sound input; false when it cannot be added.
bool AddAudioDevice(CardContext& c) {
  // The card's own sound is shared with what is heard.
  if (Has(c, g::kAudioDevice) || g::AddCardSound(c)) return true;
  const STROVA_STATUS st = g::AddFilter(c, filters::MakeAudioCaptureDevice(c.device.get()), g::kAudioDevice);
  if (st >= 0) return true;
  core::SetDiagnostic("Error %x: Cannot add audcap to filtergraph", static_cast<unsigned>(st));
  return false;
}

// The video links of an MPEG recording.
void ConnectMpegVideo(CardContext& c, const RecordingValues& v) {
  const char* dev = g::kStreamingDevice;
  const char* capturePin = Context().capturePinName.c_str();
  const char* previewPin = Context().previewPinName.c_str();
  if (v.FullWidth()) {
    g::ConnectPins(c, dev, capturePin, g::kStillCapture, "Input");
    g::ConnectPins(c, g::kStillCapture, "Output", g::kSmartTee, "Input");
    g::ConnectPins(c, g::kSmartTee, "Capture", kVideoEncoder, "Video In");
    g::ConnectPins(c, g::kSmartTee, "Preview", kDownScale, "Input");
    g::ConnectPins(c, kDownScale, "Output", MixerOrConverter(), MixerInput());
    g::ConnectPins(c, g::kSmartTee, "Preview", MixerOrConverter(), MixerInput());
  } else {
    g::ConnectPins(c, dev, previewPin, g::kStillCapture, "Input");
    g::ConnectPins(c, g::kStillCapture, "Output", MixerOrConverter(), MixerInput());
    g::ConnectPins(c, dev, capturePin, kVideoEncoder, "Video In");
  }
  g::ConnectPins(c, kVideoEncoder, "Video Out", g::kMultiplexer, "Input0");
  g::ConnectPins(c, kAudioEncoder, "Audio Out", g::kMultiplexer, "Input1");
  ConnectRenderer(c);
}

void WriteDump(int card, CardContext& c) {
  dump::WriteDumpFile(dump::DiagnosticPath("filter01.txt"), dump::DumpGstGraph(card, c.pipeline, c.captureFilter));
}

STROVA_STATUS BuildMpeg(int card, CardContext& c, const RecordingValues& v) {
  const std::string workName = WorkName(c.captureFile);
  if (!AddMpegFilters(card, c, v)) return E_FAIL;
  DisconnectRenderer(c);
  if (c.captureAudio && !AddAudioDevice(c)) c.captureAudio = 0;
  STROVA_STATUS previewStatus = S_OK, captureStatus = S_OK;
  if (!WritePinFormat(card, STROVA_PIN_PREVIEW, PreviewColorCode(), 320, 240, &previewStatus)) return E_FAIL;
  int width = 0, height = 0;
  CapturePinSize(v, &width, &height);
  if (!WritePinFormat(card, STROVA_PIN_CAPTURE, PreviewColorCode(), width, height, &captureStatus))
    return E_FAIL;
  g::SetDeinterlace(c, STROVA_PIN_CAPTURE, !InterlacedRecording(v));
  if (c.captureAudio) g::ConnectPins(c, g::kAudioDevice, "Capture", kAudioEncoder, "Audio In");
  ConnectMpegVideo(c, v);
  SetParam(c, g::kStillCapture, 0x602, 3);
  SetParam(c, g::kStillCapture, 0x603, 2);
  SetParams(c, kVideoEncoder, VideoEncoderParams(v));
  SetParam(c, kAudioEncoder, 0x102, AudioEncoderBitrate(v));
  SetParams(c, g::kMultiplexer, MultiplexerParams(v));
  SetParam(c, g::kMultiplexer, 0x20A, reinterpret_cast<intptr_t>(workName.c_str()));
  // The file must open; a recording that writes nothing is no success.
  const bool opened = SetParam(c, g::kMultiplexer, 0x208, 1);
  WriteDump(card, c);
  if (captureStatus != S_OK || !opened) {
    g::TeardownRecording(c);
    return E_FAIL;
  }
  g::AttachWindow(c);
  c.captureBuilt = 1;
  return S_OK;
}

// The links of the compressing AVI writer, which writes the file itself.
void ConnectFileWriter(CardContext& c, const char* writer) {
  g::ConnectPins(c, g::kStreamingDevice, Context().capturePinName.c_str(), writer, "Input 01");
  if (c.captureAudio) g::ConnectPins(c, g::kAudioDevice, "Capture", writer, "Input 02");
}

// The capture pin's frame rate as a fraction; 25 when the pin gives none.
void PinFrameRate(int card, int* num, int* den) {
  VideoInfo info{};
  *num = 25;
  *den = 1;
  if (Strova_GetVideoInfo(card, &info, STROVA_PIN_CAPTURE) != S_OK || info.avgTimePerFrame <= 0) return;
  // 100-ns units: 400000 is 25 fps, 333667 is 30000/1001.
  *num = 10000000;
  *den = static_cast<int>(std::min<int64_t>(info.avgTimePerFrame, 10000000));
  const int g = std::gcd(*num, *den);
  *num /= g;
  *den /= g;
}

bool CompressorChosen() {
  const LibraryContext& ctx = Context();
  return ctx.selectedCompressor >= 0 && ctx.selectedCompressor < static_cast<int>(ctx.compressorNames.size());
}

// The file writer's settings: AVI with the chosen compressor at the chosen
// quality (uncompressed RGB when none is chosen) and PCM sound, with a 4:3
// display aspect in its headers; or a profile for keeps.
KeepProfile FileSettings(int card, const CardContext& c, const RecordingValues& v) {
  const LibraryContext& ctx = Context();
  const std::string file = RecordedFile(v, c.captureFile);
  KeepProfile p;
  if (v.Lossless()) {
    p = LosslessProfile(v.Pal(), c.captureAudio != 0, file);
  } else if (v.H264()) {
    p = H264Profile(v.Pal(), c.captureAudio != 0, v.h264Quality / 100.0, file);
  } else {
    p.video.width = 320;
    p.video.height = 240;
    p.video.codec = CompressorChosen() ? ctx.compressorNames[static_cast<size_t>(ctx.selectedCompressor)]
                                       : std::string(mpeg::kUncompressedVideo);
    p.video.quality = ctx.compressorQuality;
    p.audio.enabled = c.captureAudio != 0;
    p.mux.type = mpeg::MuxType::Avi;
    p.mux.path = file;
  }
  PinFrameRate(card, &p.video.fpsNum, &p.video.fpsDen);
  return p;
}

// Lossless recordings list each frame's checksum beside the file.
std::shared_ptr<FrameChecksums> OpenChecksums(mpeg::MpegRecorder& writer, const KeepProfile& p) {
  auto sums = std::make_shared<FrameChecksums>();
  const mpeg::VideoSettings& v = p.video;
  const int sarNum = 4 * v.height, sarDen = 3 * v.width;
  const int g = std::gcd(sarNum, sarDen);
  if (!sums->Open(p.mux.path + ".framemd5", v.width, v.height, sarNum / g, sarDen / g, v.fpsNum, v.fpsDen,
                  p.audio.sampleRate, p.audio.enabled))
    return nullptr;
  FrameChecksums* raw = sums.get();
  writer.SetFrameTap({[raw](const uint8_t* const planes[4], const int strides[4], int, int, int64_t pts) {
                        raw->Video(planes, strides, pts);
                      },
                      [raw](const uint8_t* pcm, size_t bytes, int64_t pts) { raw->Audio(pcm, bytes, pts); }});
  return sums;
}

// The file writer, which writes the capture file itself.
bool AddFileWriter(int card, CardContext& c, const RecordingValues& v) {
  auto writer = std::make_shared<mpeg::MpegRecorder>("Input 01", "Input 02");
  if (!writer->Valid()) return false;
  const KeepProfile p = FileSettings(card, c, v);
  Session& s = g_sessions[static_cast<size_t>(card)];
  s.lossless = v.Lossless();
  s.checksums = v.Lossless() ? OpenChecksums(*writer, p) : nullptr;
  if (v.Lossless() && !s.checksums) {
    core::SetDiagnostic("cannot create %s.framemd5", p.mux.path.c_str());
    return false;
  }
  std::string error;
  if (!CaptureFolderWritable(p.mux.path) || !writer->Start(p.video, p.audio, p.mux, &error)) {
    if (!error.empty()) core::SetDiagnostic("%s", error.c_str());
    return false;
  }
  if (g::AddFilter(c, writer->Bin(), WriterName(v)) < 0) return false;
  g::SetFilterOwner(writer->Bin(), [writer] { writer->Stop(); });
  writer->SetEndHandler([&c](mpeg::WriteStatus st) {
    g::PostEvent(c, g::kEventAbort,
                 static_cast<uint32_t>(st == mpeg::WriteStatus::DiskFull ? STROVA_E_DISK_FULL : E_FAIL));
  });
  s.aviWriter = writer;
  return true;
}

STROVA_STATUS BuildFile(int card, CardContext& c, const RecordingValues& v) {
  STROVA_STATUS captureStatus = S_OK, previewStatus = S_OK;
  // The profiles for keeps take the card's full picture in planar 4:2:0
  // (YV12), which reaches the encoder unchanged.
  const bool full = !v.Avi();
  const int width = full ? 720 : 320, height = full ? (v.Pal() ? 576 : 480) : 240;
  if (!WritePinFormat(card, STROVA_PIN_CAPTURE, full ? 4 : 1, width, height, &captureStatus) ||
      !WritePinFormat(card, STROVA_PIN_PREVIEW, PreviewColorCode(), 320, 240, &previewStatus)) {
    g::TeardownRecording(c);
    return E_FAIL;
  }
  g::SetDeinterlace(c, STROVA_PIN_CAPTURE, !InterlacedRecording(v));
  if (c.captureAudio && !AddAudioDevice(c)) {
    c.captureAudio = 0;
    g::TeardownRecording(c);
    return E_FAIL;
  }
  // The multiplexer of an earlier recording is replaced: its inputs and
  // writer were made for that one.
  for (const char* name : {kAviMux, kMatroskaMux, kMp4Mux}) g::RemoveFilter(c, name);
  for (const char* name : {g::kRenderer, g::kOverlayMixer, g::kConverter}) AddMissing(c, name);
  g::ConnectPins(c, g::kStreamingDevice, Context().previewPinName.c_str(), MixerOrConverter(), MixerInput());
  ConnectRenderer(c);
  // A file that cannot be created fails the start.
  const bool named = AddFileWriter(card, c, v);
  ConnectFileWriter(c, WriterName(v));
  if (previewStatus != S_OK || !named) {
    g::TeardownRecording(c);
    return E_FAIL;
  }
  g::AttachWindow(c);
  c.captureBuilt = 1;
  return S_OK;
}

std::string BaseName(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string LogText(const Session& s, int64_t ended) {
  return FormatRecordingLog(BaseName(s.file), s.started, ended, *s.counter);
}

void WriteLog(const Session& s, int64_t ended) {
  if (s.counter && !s.log.empty()) plat::AtomicWriteFile(s.log, LogText(s, ended));
}

// The checks of finished lossless recordings run beside the next ones;
// the library waits for them when the process ends.
struct Checks {
  std::mutex lock;
  std::vector<std::thread> threads;
  ~Checks() {
    for (auto& t : threads)
      if (t.joinable()) t.join();
  }
} g_checks;

// Decodes the lossless file and compares each frame with its checksum; the
// result goes into the log and the card's counts.
void StartCheck(const Session& s, const std::string& log) {
  std::lock_guard hold(g_checks.lock);
  g_checks.threads.emplace_back([file = s.file, logPath = s.log, log, counter = s.counter] {
    const CheckResult r = CheckRecording(file, file + ".framemd5");
    std::string line = "check: ";
    if (!r.error.empty()) line += r.error;
    else line += std::to_string(r.frames) + " frames decoded, " +
                 (r.mismatches ? std::to_string(r.mismatches) + " differ from their checksums" : "all equal to their checksums");
    plat::AtomicWriteFile(logPath, log + line + "\n");
    counter->SetCheck(r.Passed() ? 1 : -1);
  });
}

// A lossless file gets its log as a tag, its checksum file completed and
// its check started once it is closed.
void FinishLossless(Session& s, const std::string& log) {
  if (auto writer = s.aviWriter.lock()) writer->Stop();
  const bool listed = s.checksums && s.checksums->Close();
  StoreLogInFile(s.file, log);
  if (listed) StartCheck(s, log);
  else s.counter->SetCheck(-1);
}

// Counts the card's frames and sound from the start; the log beside the
// file says so at once, so a recording cut off still has its start.
void StartCounting(int card, CardContext& c, const std::string& file) {
  Session& s = g_sessions[static_cast<size_t>(card)];
  s.counter = std::make_shared<FrameCounter>();
  WatchStreams(g::FindFilter(c, g::kStreamingDevice), c.captureAudio ? g::FindFilter(c, g::kAudioDevice) : nullptr,
               s.counter);
  s.file = file;
  s.log = RecordingLogPath(c.captureFile);
  s.started = static_cast<int64_t>(std::time(nullptr));
  WriteLog(s, 0);
  std::lock_guard hold(g_countersLock);
  g_counters[static_cast<size_t>(card)] = s.counter;
}

}  // namespace

std::shared_ptr<const FrameCounter> RecordingCounter(int card) {
  if (card < 0 || card >= core::kMaxCards) return nullptr;
  std::lock_guard hold(g_countersLock);
  return g_counters[static_cast<size_t>(card)];
}

STROVA_STATUS BuildRecordingBranch(int card, CardContext& c) {
  const RecordingValues v = ReadRecordingValues();
  if (c.captureBuilt) return S_OK;
  // The graph forgets the capture filter while it is out of the graph; the
  // card's device is what must exist.
  if (c.capturing || (!c.captureFilter && !c.device)) return E_FAIL;
  if (c.captureAudio && !filters::AudioDeviceExists(c.device.get())) {
    c.captureAudio = 0;
    return E_FAIL;
  }
  if (!c.captureFile[0]) return E_FAIL;
  if (g::EnsureStreamingDevice(c) < 0) return E_FAIL;
  const STROVA_STATUS st = v.FileWriter() ? BuildFile(card, c, v) : BuildMpeg(card, c, v);
  if (st >= 0) {
    g_sessions[static_cast<size_t>(card)].note = JournalBegin(c.captureFile);
    StartCounting(card, c, RecordedFile(v, c.captureFile));
  }
  return st;
}

void FinishRecordingFile(int card, CardContext& c, int timeoutMs) {
  Session& s = g_sessions[static_cast<size_t>(card)];
  if (c.pipeline) gst_element_send_event(c.pipeline, gst_event_new_eos());
  if (s.counter) s.counter->Close();
  if (auto set = s.mpeg.lock()) {
    set->Finish(timeoutMs);
  } else if (auto writer = s.aviWriter.lock()) {
    writer->Finish(timeoutMs);
  }
}

void ForgetRecording(int card) {
  if (card < 0 || card >= core::kMaxCards) return;
  Session& s = g_sessions[static_cast<size_t>(card)];
  JournalEnd(s.note);
  if (s.counter) {
    s.counter->Close();
    const std::string log = LogText(s, static_cast<int64_t>(std::time(nullptr)));
    if (!s.log.empty()) plat::AtomicWriteFile(s.log, log);
    if (s.lossless) FinishLossless(s, log);
  }
  s = Session{};
}

}  // namespace strova::capture
