// Custom recording profiles: one INI file "<name>.ini" per profile in the
// folder above the data folder, section "MyParKey", key "Data", a 12-byte
// struct (MPEG mode, audio bit-rate index, video bit rate in Kbps) in the
// Windows struct format. Names that would leave that folder are refused.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace orvane {

struct ProfileRecord {
    int32_t mpgMode;     // 0 MPEG-1, 1 MPEG-2
    int32_t audioIndex;  // into 64, 80, ... 384 Kbps
    int32_t bitRate;     // video, Kbps
};
static_assert(sizeof(ProfileRecord) == 12);

constexpr int kMinBitRate = 976, kMaxBitRate = 14648;
constexpr size_t kMaxProfileName = 128;

// $XDG_DATA_HOME/Quorvel/
std::string ProfileFolder();
// Not empty, at most 128 bytes, no '/', no control character, not starting with '.'.
bool ValidProfileName(const std::string& name);
// The folder's "*.ini" names in listing order (sorted by name), directories
// and hidden names included as the listing returns them.
std::vector<std::string> ListProfileFiles();
// Whether the entry is one the list shows: a file whose name does not begin with '.'.
bool ListableProfile(const std::string& fileName);
// "%02d_" + the name without ".ini"; and back: the text after the first '_'.
std::string ProfileEntry(int number, const std::string& fileName);
std::string NameFromEntry(const std::string& entry);

bool ProfileExists(const std::string& name);
// False when the name is invalid, the file is missing or its record does not read.
bool ReadProfile(const std::string& name, ProfileRecord& out);
bool WriteProfile(const std::string& name, const ProfileRecord& record);
bool RemoveProfile(const std::string& name);

// The AVI recordings' video compressor, kept as the text "AviCompressor" in
// the settings key: a name from the capture library's list, or "" for
// uncompressed pictures. Unset or no longer offered: the default.
constexpr const char* kAviCompressorValue = "AviCompressor";
// The library's compressors (empty before it is initialised).
std::vector<std::string> OfferedCompressors();
// MPEG-4 part 2 (compressed, visually lossless at the library's best
// quality, played by every common player) when offered, else the first
// offered, else "".
std::string DefaultAviCompressor(const std::vector<std::string>& offered);
std::string StoredAviCompressor(const std::vector<std::string>& offered);
void StoreAviCompressor(const std::string& name);
// Gives the library the stored choice, before a recording starts.
void ApplyAviCompressor();

}  // namespace orvane
