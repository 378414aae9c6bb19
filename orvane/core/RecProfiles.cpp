#include "orvane/core/RecProfiles.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/Paths.h"
#include "platform/Profile.h"

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

}  // namespace orvane
