// Helpers shared by the recording tests.
#pragma once

#include <cstdio>
#include <string>

namespace recording_test {

// Standard output of a shell command (ffprobe and the like).
inline std::string Shell(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  char buf[1024];
  size_t n;
  while (p && (n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  if (p) pclose(p);
  return out;
}

}  // namespace recording_test
