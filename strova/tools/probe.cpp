// tellura-probe: lists the capture devices, previews one card and exercises
// it: tuning, standard and colour controls, remote keys, recording, stills.
#include "platform/Registry.h"
#include "platform/Window.h"
#include "strova/Strova.h"

#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: tellura-probe [--list] [--card N] [--seconds S] [--headless]\n"
               "                     [--tune KHZ] [--standard CODE] [--property ID=VALUE]...\n"
               "                     [--keys] [--record FILE [--mode 0..5] [--compressor NAME] [--sound]]\n"
               "                     [--still FILE.bmp]\n");
  return 2;
}

struct Options {
  bool list = false, headless = false, keys = false, sound = false;
  int card = -1, tuneKHz = 0, standard = -1, mode = -1;
  double seconds = 5;
  std::vector<std::pair<int, int>> properties;
  std::string record, still, compressor;
};

bool ParseProperty(const char* text, Options& o) {
  int id = 0, value = 0;
  if (std::sscanf(text, "%d=%d", &id, &value) != 2) return false;
  o.properties.emplace_back(id, value);
  return true;
}

// False on an unknown or incomplete option.
bool Parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    auto is = [&](const char* name, bool needsValue) {
      return !std::strcmp(argv[i], name) && (!needsValue || i + 1 < argc);
    };
    if (is("--list", false)) o.list = true;
    else if (is("--headless", false)) o.headless = true;
    else if (is("--keys", false)) o.keys = true;
    else if (is("--sound", false)) o.sound = true;
    else if (is("--card", true)) o.card = std::atoi(argv[++i]);
    else if (is("--seconds", true)) o.seconds = std::atof(argv[++i]);
    else if (is("--tune", true)) o.tuneKHz = std::atoi(argv[++i]);
    else if (is("--standard", true)) o.standard = std::atoi(argv[++i]);
    else if (is("--mode", true)) o.mode = std::atoi(argv[++i]);
    else if (is("--record", true)) o.record = argv[++i];
    else if (is("--still", true)) o.still = argv[++i];
    else if (is("--compressor", true)) o.compressor = argv[++i];
    else if (is("--property", true)) {
      if (!ParseProperty(argv[++i], o)) return false;
    } else {
      return false;
    }
  }
  return true;
}

// The recording format is a viewer setting; --mode stores it as the format
// page would.
void StoreCaptureMode(int mode) {
  plat::HKEY key = nullptr;
  if (plat::RegCreateKeyExA(plat::HKEY_LOCAL_MACHINE, "Software\\Quorvel\\Tellura", &key) != plat::ERROR_SUCCESS)
    return;
  plat::DWORD v = static_cast<plat::DWORD>(mode);
  plat::RegSetValueExA(key, "CaptureMode", plat::REG_DWORD, reinterpret_cast<const uint8_t*>(&v), sizeof v);
  plat::RegCloseKey(key);
}

// Applies the controls given on the command line to the connected card.
void ApplyControls(const Options& o) {
  if (o.standard >= 0)
    std::printf("standard %d: %d\n", o.standard, Strova_SetVideoStandard(o.card, o.standard));
  for (auto [id, value] : o.properties)
    std::printf("property %d = %d: %d\n", id, value, Strova_SetVideoPropertyValue(o.card, id, value));
  if (o.tuneKHz > 0) {
    std::printf("tune %d kHz: %d\n", o.tuneKHz, SetTvChannelFreg(0, o.tuneKHz));
    std::printf("channel okay: %d\n", GetTvChannelOkay(0, o.tuneKHz));
  }
  if (o.sound) {
    int on = 1;
    std::printf("sound: %d\n", Strova_SetCaptureAudio(o.card, &on) >= 0 && on);
  }
  if (!o.compressor.empty())
    std::printf("compressor %s: %d\n", o.compressor.c_str(), Strova_ChooseVideoCompressor(o.compressor.c_str()));
  if (!o.record.empty()) {
    Strova_SetCaptureFile(o.card, o.record.c_str());
    std::printf("start capture %s: %d\n", o.record.c_str(), Strova_StartCapture(o.card));
  }
}

// Waits the preview time; with --keys, prints each remote key as it arrives
// (the viewer polls the same way, every 100 ms).
void Watch(const Options& o) {
  using Clock = std::chrono::steady_clock;
  const auto end = Clock::now() + std::chrono::duration<double>(o.seconds);
  while (Clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(o.keys ? 100 : 20));
    if (!o.keys) continue;
    int32_t key = GetRemoteData();
    if (key != 0x1FF) {
      std::printf("key %d\n", key);
      std::fflush(stdout);
    }
  }
}

// The still comes first: right after a recording stops, the rebuilt preview
// has no frame yet.
void Finish(const Options& o) {
  if (!o.still.empty()) std::printf("still %s: %d\n", o.still.c_str(), Strova_SaveToBmpFile(o.card, o.still.c_str()));
  if (o.record.empty()) return;
  std::printf("stop capture: %d\n", Strova_StopCapture(o.card));
  StrovaRecordingCounts n{};
  if (Strova_GetRecordingCounts(o.card, &n) == S_OK)
    std::printf("frames %lld, dropped %lld, repeated %lld, sound gaps %lld\n", static_cast<long long>(n.framesCaptured),
                static_cast<long long>(n.framesDropped), static_cast<long long>(n.framesRepeated),
                static_cast<long long>(n.soundGaps));
}

void ListDevices() {
  char names[STROVA_MAX_CARDS * STROVA_NAME_LEN] = {};
  int count = 0;
  Strova_EnumVideoCaptureDev(names, &count);
  for (int i = 0; i < count; ++i) std::printf("video %d: %s\n", i, names + i * STROVA_NAME_LEN);
  char audio[STROVA_MAX_CARDS * STROVA_NAME_LEN] = {};
  int audioCount = 0;
  Strova_EnumAudioCaptureDev(audio, &audioCount);
  for (int i = 0; i < audioCount; ++i) std::printf("audio %d: %s\n", i, audio + i * STROVA_NAME_LEN);
}

// A top-level X11 window of the picture's size for the preview; null
// handle (headless) when there is no display.
struct ProbeWindow {
  Display* display = nullptr;
  Window window = 0;
  plat::HWND hwnd = nullptr;

  bool Open(int width, int height) {
    display = XOpenDisplay(nullptr);
    if (!display) return false;
    window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(width),
                                 static_cast<unsigned>(height), 0, 0, 0);
    XStoreName(display, window, "tellura-probe");
    XMapRaised(display, window);
    XSync(display, False);
    hwnd = plat::CreateWindowHandle("");
    plat::SetNativeWindow(hwnd, window);
    return true;
  }
  ~ProbeWindow() {
    if (hwnd) plat::DestroyWindowHandle(hwnd);
    if (display) {
      XDestroyWindow(display, window);
      XCloseDisplay(display);
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!Parse(argc, argv, o)) return Usage();
  if (o.mode >= 0) StoreCaptureMode(o.mode);
  STROVA_STATUS st = Strova_Initialize();
  std::printf("initialize: 0x%08x\n", static_cast<unsigned>(st));
  if (st < 0) return 1;
  if (o.list || o.card < 0) ListDevices();
  const int card = o.card;
  if (card >= 0) {
    ProbeWindow window;
    if (!o.headless && !window.Open(720, 576)) std::printf("no display: previewing headless\n");
    Strova_SetWindowPos(card, 0, 0, 720, 576);
    st = Strova_ConnectDevice(card, 0, window.hwnd);
    std::printf("connect card %d: 0x%08x\n", card, static_cast<unsigned>(st));
    std::fflush(stdout);
    if (st >= 0) {
      ApplyControls(o);
      std::fflush(stdout);
      Watch(o);
      Finish(o);
      VideoInfo info{};
      st = Strova_GetVideoInfo(card, &info, STROVA_PIN_PREVIEW);
      std::printf("video info: 0x%08x colour %d %dx%d\n", static_cast<unsigned>(st), info.colorCode,
                  info.bmi.width, info.bmi.height);
      Strova_DisconnectDevice(card);
    }
  }
  Strova_Uninitialize();
  return st < 0 ? 1 : 0;
}
