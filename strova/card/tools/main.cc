// tellura-remote: presses keys on the virtual card's remote control.
//
//   tellura-remote [--hold MS] [--gap MS] KEY...
//   tellura-remote --list
//
// KEY is a key name (see --list) or a raw code (decimal or 0x hex, 0..0x1FE).
// --hold keeps the keys after it pressed for MS milliseconds: the receiver then reports
// the repeat code 0xFF every 110 ms, as the real remote does.
#include "strova/card/RemoteProtocol.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace sc = strova::card;

namespace {

constexpr int kRepeatPeriodMs = 110;

int Usage() {
  std::fprintf(stderr,
               "usage: tellura-remote [--hold MS] [--gap MS] KEY...\n"
               "       tellura-remote --list\n"
               "KEY: a key name or a code (decimal or 0x hex, 0..0x1FE)\n");
  return 2;
}

void ListKeys() {
  for (const auto& k : sc::kRemoteKeys) std::printf("%-14s %3u (0x%02X)\n", k.name, k.code, k.code);
}

bool SendCode(int fd, const sockaddr_un& addr, uint16_t code) {
  char msg[16];
  const int n = std::snprintf(msg, sizeof msg, "%u", code);
  if (sendto(fd, msg, size_t(n), 0, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == n)
    return true;
  std::fprintf(stderr, "tellura-remote: cannot reach the receiver at %s: %s\n", addr.sun_path,
               std::strerror(errno));
  return false;
}

bool ParseMs(const char* s, int* out) {
  char* end = nullptr;
  const long v = std::strtol(s, &end, 10);
  if (end == s || *end != '\0' || v < 0 || v > 60000) return false;
  *out = int(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int holdMs = 0, gapMs = 150;
  struct Press {
    uint16_t code;
    int holdMs;
  };
  std::vector<Press> codes;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--list") {
      ListKeys();
      return 0;
    }
    if ((a == "--hold" || a == "--gap") && i + 1 < argc) {
      if (!ParseMs(argv[++i], a == "--hold" ? &holdMs : &gapMs)) return Usage();
      continue;
    }
    const auto code = sc::RemoteKeyCode(a);
    if (!code) {
      std::fprintf(stderr, "tellura-remote: unknown key '%s' (try --list)\n", a.c_str());
      return 2;
    }
    codes.push_back({*code, holdMs});
  }
  if (codes.empty()) return Usage();

  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const std::string path = sc::RemoteSocketPath();
  if (path.size() >= sizeof addr.sun_path) return 1;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 1;
  int rc = 0;
  for (size_t i = 0; i < codes.size() && rc == 0; ++i) {
    if (i > 0) usleep(useconds_t(gapMs) * 1000);
    if (!SendCode(fd, addr, codes[i].code)) rc = 1;
    for (int held = kRepeatPeriodMs; rc == 0 && held <= codes[i].holdMs; held += kRepeatPeriodMs) {
      usleep(kRepeatPeriodMs * 1000);
      if (!SendCode(fd, addr, sc::kRepeatCode)) rc = 1;
    }
  }
  close(fd);
  return rc;
}
