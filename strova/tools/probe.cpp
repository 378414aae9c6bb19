// tellura-probe: lists the capture devices and previews one card.
//   tellura-probe [--list] [--card N] [--seconds S] [--headless]
#include "platform/Window.h"
#include "strova/Strova.h"

#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

int Usage() {
  std::fprintf(stderr, "usage: tellura-probe [--list] [--card N] [--seconds S] [--headless]\n");
  return 2;
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
  bool list = false, headless = false;
  int card = -1;
  double seconds = 5;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--list")) list = true;
    else if (!std::strcmp(argv[i], "--headless")) headless = true;
    else if (!std::strcmp(argv[i], "--card") && i + 1 < argc) card = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) seconds = std::atof(argv[++i]);
    else return Usage();
  }
  STROVA_STATUS st = Strova_Initialize();
  std::printf("initialize: 0x%08x\n", static_cast<unsigned>(st));
  if (st < 0) return 1;
  if (list || card < 0) ListDevices();
  if (card >= 0) {
    ProbeWindow window;
    if (!headless && !window.Open(720, 576)) std::printf("no display: previewing headless\n");
    Strova_SetWindowPos(card, 0, 0, 720, 576);
    st = Strova_ConnectDevice(card, 0, window.hwnd);
    std::printf("connect card %d: 0x%08x\n", card, static_cast<unsigned>(st));
    if (st >= 0) {
      std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
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
