// libFuzzer target for the INI reader: any file content is read through the
// section, key, string, number and struct calls, then one key is written and
// must read back.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/FuzzFile.h"
#include "platform/Profile.h"

using namespace plat;

namespace {

// Splits a zero-separated list ending in an empty entry.
std::vector<std::string> Names(const char* buf, DWORD n) {
    std::vector<std::string> out;
    for (DWORD i = 0; i < n && buf[i];) {
        out.emplace_back(buf + i);
        i += DWORD(out.back().size()) + 1;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = FuzzFilePath("profile") + ".ini";
    if (!WriteFuzzFile(path, data, size)) return 0;
    static char buf[4096];
    std::vector<std::string> sections = Names(buf, GetPrivateProfileStringA(nullptr, nullptr, "", buf, sizeof buf, path.c_str()));
    for (size_t s = 0; s < sections.size() && s < 4; ++s) {
        const char* sec = sections[s].c_str();
        std::vector<std::string> keys = Names(buf, GetPrivateProfileStringA(sec, nullptr, "", buf, sizeof buf, path.c_str()));
        for (size_t k = 0; k < keys.size() && k < 8; ++k) {
            GetPrivateProfileStringA(sec, keys[k].c_str(), "d", buf, 7, path.c_str());
            GetPrivateProfileIntA(sec, keys[k].c_str(), 5, path.c_str());
            uint8_t st[8];
            GetPrivateProfileStructA(sec, keys[k].c_str(), st, sizeof st, path.c_str());
        }
    }
    // Whatever the file holds, a key written into it reads back.
    const char* sec = "Fuzz Section";
    if (!WritePrivateProfileStringA(sec, "FuzzKey", "value 1", path.c_str())) return 0;
    GetPrivateProfileStringA(sec, "FuzzKey", "", buf, sizeof buf, path.c_str());
    if (std::strcmp(buf, "value 1") != 0) __builtin_trap();
    return 0;
}
