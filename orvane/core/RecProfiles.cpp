#include "orvane/core/RecProfiles.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "common/RegKey.h"
#include "orvane/core/Settings.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "strova/Strova.h"

namespace orvane {

namespace {

const char kSection[] = "MyParKey";
const char kKey[] = "Data";
const std::string kExt = ".ini";

std::string FileOf(const std::string& name) { return ProfileFolder() + name + kExt; }

}  // namespace

std::string ProfileFolder() { return plat::ProfileDir(); }

bool ValidProfileName(const std::string& name) {
    if (name.empty() || name.size() > kMaxProfileName || name[0] == '.') return false;
    return std::none_of(name.begin(), name.end(), [](char c) { return c == '/' || (unsigned char)c < 0x20; });
}

std::vector<std::string> ListProfileFiles() {
    std::vector<std::string> names;
    DIR* d = opendir(ProfileFolder().c_str());
    if (!d) return names;
    while (const dirent* e = readdir(d)) {
        const std::string n = e->d_name;
        if (n.size() >= kExt.size() && n.compare(n.size() - kExt.size(), kExt.size(), kExt) == 0)
            names.push_back(n);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

bool ListableProfile(const std::string& fileName) {
    if (fileName.empty() || fileName[0] == '.') return false;
    struct stat st {};
    return stat((ProfileFolder() + fileName).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string ProfileEntry(int number, const std::string& fileName) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%02d_", number);
    return prefix + fileName.substr(0, fileName.size() - kExt.size());
}

std::string NameFromEntry(const std::string& entry) {
    const size_t cut = entry.find('_');
    return cut == std::string::npos ? std::string() : entry.substr(cut + 1);
}

bool ProfileExists(const std::string& name) {
    return ValidProfileName(name) && access(FileOf(name).c_str(), F_OK) == 0;
}

bool ReadProfile(const std::string& name, ProfileRecord& out) {
    if (!ProfileExists(name)) return false;
    return plat::GetPrivateProfileStructA(kSection, kKey, &out, sizeof out, FileOf(name).c_str()) != 0;
}

bool WriteProfile(const std::string& name, const ProfileRecord& record) {
    if (!ValidProfileName(name)) return false;
    return plat::WritePrivateProfileStructA(kSection, kKey, &record, sizeof record, FileOf(name).c_str()) != 0;
}

bool RemoveProfile(const std::string& name) {
    return ValidProfileName(name) && unlink(FileOf(name).c_str()) == 0;
}

std::vector<std::string> OfferedCompressors() {
    int count = 0;
    std::vector<std::string> names;
    if (Strova_EnumVideoCompressor(nullptr, &count) != S_OK || count <= 0) return names;
    std::vector<char> buf(size_t(count) * STROVA_NAME_LEN, '\0');
    if (Strova_EnumVideoCompressor(buf.data(), &count) != S_OK) return names;
    for (int i = 0; i < count; ++i) {
        const char* name = buf.data() + size_t(i) * STROVA_NAME_LEN;
        names.emplace_back(name, strnlen(name, STROVA_NAME_LEN));
    }
    return names;
}

std::string DefaultAviCompressor(const std::vector<std::string>& offered) {
    for (const char* best : {"MPEG-4 part 2", "libxvidcore MPEG-4 part 2"})
        if (std::find(offered.begin(), offered.end(), best) != offered.end()) return best;
    return offered.empty() ? std::string() : offered.front();
}

std::string StoredAviCompressor(const std::vector<std::string>& offered) {
    CRegKey key;
    std::string name;
    if (key.Open(plat::HKEY_LOCAL_MACHINE, kSettingsKey) != plat::ERROR_SUCCESS ||
        key.ReadString(kAviCompressorValue, name) != plat::ERROR_SUCCESS)
        return DefaultAviCompressor(offered);
    if (name.empty() || std::find(offered.begin(), offered.end(), name) != offered.end()) return name;
    return DefaultAviCompressor(offered);
}

void StoreAviCompressor(const std::string& name) {
    CRegKey key;
    if (key.Open(plat::HKEY_LOCAL_MACHINE, kSettingsKey) == plat::ERROR_SUCCESS)
        key.WriteString(kAviCompressorValue, name.c_str());
}

void ApplyAviCompressor() {
    const std::string name = StoredAviCompressor(OfferedCompressors());
    Strova_ChooseVideoCompressor(name.empty() ? nullptr : name.c_str());
}

}  // namespace orvane
