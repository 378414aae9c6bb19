// Helpers shared by the recording tests.
#pragma once

#include "platform/Registry.h"

#include <cstdint>
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

// Stores a recording setting as the viewer's settings page does.
inline bool SetValue(const char* name, int value) {
  plat::HKEY key = nullptr;
  if (plat::RegCreateKeyExA(plat::HKEY_LOCAL_MACHINE, "Software\\Quorvel\\Tellura", &key) != plat::ERROR_SUCCESS)
    return false;
  const uint32_t v = static_cast<uint32_t>(value);
  const bool ok = plat::RegSetValueExA(key, name, plat::REG_DWORD, reinterpret_cast<const uint8_t*>(&v), sizeof v) ==
                  plat::ERROR_SUCCESS;
  plat::RegCloseKey(key);
  return ok;
}

}  // namespace recording_test
