// Reads the recording values from the settings key each time a recording
// branch is built, so changes made by the viewer apply to the next recording.
#include <algorithm>

#include "platform/Registry.h"
#include "strova/capture/RecordingProfile.h"

namespace strova::capture {
namespace {

constexpr const char* kSettingsKey = "Software\\Quorvel\\Tellura";

int ReadNumber(plat::HKEY key, const char* name, int fallback) {
  uint32_t value = 0;
  plat::DWORD type = 0, size = sizeof value;
  if (plat::RegQueryValueExA(key, name, &type, reinterpret_cast<uint8_t*>(&value), &size) != plat::ERROR_SUCCESS ||
      size != sizeof value)
    return fallback;
  return static_cast<int32_t>(value);
}

}  // namespace

RecordingValues ReadRecordingValues() {
  RecordingValues v;
  plat::HKEY key = nullptr;
  if (plat::RegCreateKeyExA(plat::HKEY_LOCAL_MACHINE, kSettingsKey, &key) != plat::ERROR_SUCCESS) return v;
  v.captureMode = ReadNumber(key, "CaptureMode", v.captureMode);
  v.vidStandard = ReadNumber(key, "vid_standard", v.vidStandard);
  v.audioRate = ReadNumber(key, "audiorate", v.audioRate);
  v.bitstream = ReadNumber(key, "bitstream", v.bitstream);
  v.mpgMode = ReadNumber(key, "mpgmode", v.mpgMode);
  v.halfPic = ReadNumber(key, "halfpic", v.halfPic);
  v.h264Quality = std::clamp(ReadNumber(key, "H264Quality", v.h264Quality), 0, 100);
  plat::RegCloseKey(key);
  return v;
}

}  // namespace strova::capture
