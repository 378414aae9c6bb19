// Helpers of the simulated card's tests.
#pragma once

#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace v4l2sim_test {

// The simulation library: the last entry of LD_PRELOAD (a sanitizer's
// runtime may come first), else the build's copy.
inline std::string SimLibrary() {
  const char* pre = std::getenv("LD_PRELOAD");
  std::string s = pre ? pre : "";
  const size_t colon = s.rfind(':');
  if (colon != std::string::npos) s = s.substr(colon + 1);
  if (s.find("v4l2sim") != std::string::npos) return s;
  return std::string(TELLURA_V4L2SIM_BIN) + "/libtellura_v4l2sim.so";
}

// Polls cond until it holds (true) or timeoutMs have passed (false).
template <typename F>
bool WaitFor(F cond, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

struct Run {
  int status = -1;
  std::string output;
};

// Output and exit status of a shell command run without the preload.
inline Run Shell(const std::string& cmd) {
  Run r;
  FILE* p = popen(("env -u LD_PRELOAD " + cmd + " 2>&1").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

// gst-launch-1.0 on the simulated card with one personality and faults.
inline Run Launch(const std::string& personality, const std::string& faults, const std::string& pipeline,
                  const std::string& options = "") {
  return Shell("TELLURA_V4L2SIM=" + personality + " TELLURA_V4L2SIM_FAULTS='" + faults + "' LD_PRELOAD='" +
               SimLibrary() + "' timeout 60 gst-launch-1.0 " + options + " " + pipeline);
}

// ffprobe's view of a file's streams and duration, one line each.
inline std::string Probe(const std::string& path) {
  return Shell("ffprobe -v error -show_entries stream=codec_name,width,height,r_frame_rate "
               "-show_entries format=duration -of compact=p=0 '" + path + "'").output;
}

}  // namespace v4l2sim_test
