// libFuzzer target for the registry store's .reg reader: any file content is
// read through the store, then a value is written and must read back (the
// writer re-emits everything it parsed, so that text must parse again).
#include <dirent.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/FuzzFile.h"
#include "platform/Registry.h"

using namespace plat;

namespace {

std::string g_home, g_dir, g_nowhere;

// Empties the store's folder (set-aside damaged files, temporaries, lock).
void Clear() {
    if (DIR* d = opendir(g_dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') unlinkat(dirfd(d), e->d_name, 0);
        closedir(d);
    }
}

void Query(HKEY root, const char* path) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, path, &k) != ERROR_SUCCESS) return;
    for (const char* name : {"", "Value", "Name", "Count"}) {
        uint8_t buf[64];
        DWORD type = 0, size = sizeof buf;
        RegQueryValueExA(k, name, &type, buf, &size);
    }
    RegCloseKey(k);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_home = FuzzFilePath("registry");
    g_nowhere = g_home + "/nowhere";
    setenv("XDG_CONFIG_HOME", g_home.c_str(), 1);
    g_dir = g_home + "/quorvel";
    std::string mk = "mkdir -p '" + g_dir + "'";
    return std::system(mk.c_str());
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Clear();
    if (!WriteFuzzFile(RegistryFilePath(), data, size)) return 0;
    Query(HKEY_LOCAL_MACHINE, "Software");
    Query(HKEY_LOCAL_MACHINE, "Software\\Quorvel\\Tellura");
    HKEY k = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Fuzz", &k) != ERROR_SUCCESS) return 0;
    const uint8_t v[] = "written";
    if (RegSetValueExA(k, "Check", REG_SZ, v, sizeof v) != ERROR_SUCCESS || RegFlushKey(k) != ERROR_SUCCESS)
        __builtin_trap();
    RegCloseKey(k);
    // The written file, put back as a new file (a new inode), is read again
    // from disk: what the writer emits, the reader must take.
    std::string text;
    if (FILE* in = std::fopen(RegistryFilePath(), "rb")) {
        char chunk[4096];
        for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, in)) > 0;) text.append(chunk, got);
        std::fclose(in);
    }
    const std::string copy = g_dir + "/copy";
    if (WriteFuzzFile(copy, reinterpret_cast<const uint8_t*>(text.data()), text.size()))
        std::rename(copy.c_str(), RegistryFilePath());
    HKEY again = nullptr;
    uint8_t back[16] = {};
    DWORD type = 0, n = sizeof back;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Fuzz", &again) != ERROR_SUCCESS ||
        RegQueryValueExA(again, "Check", &type, back, &n) != ERROR_SUCCESS || std::memcmp(back, v, sizeof v) != 0)
        __builtin_trap();
    RegCloseKey(again);
    // The store lets go of the file's model when its folder changes: each
    // input then frees what it allocated, and libFuzzer re-runs an input for
    // its leak check only when something really stays.
    setenv("XDG_CONFIG_HOME", g_nowhere.c_str(), 1);
    Query(HKEY_LOCAL_MACHINE, "Software");
    setenv("XDG_CONFIG_HOME", g_home.c_str(), 1);
    return 0;
}
