#include "support/TestEnv.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace tellura::test {

namespace {
const char* const kVars[] = {"HOME",           "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME",
                             "XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "TMPDIR"};
}

struct ScopedHome::Saved {
    std::vector<std::pair<std::string, std::string>> values;  // name, value ("\x01" = unset)
};

ScopedHome::ScopedHome() : saved_(new Saved) {
    std::string tmpl = (fs::temp_directory_path() / "tellura-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    root_ = tmpl;
    for (const char* v : kVars) {
        const char* old = getenv(v);
        saved_->values.emplace_back(v, old ? old : "\x01");
    }
    const std::pair<const char*, const char*> dirs[] = {
        {"HOME", ""},          {"XDG_CONFIG_HOME", "/config"}, {"XDG_DATA_HOME", "/data"},
        {"XDG_STATE_HOME", "/state"}, {"XDG_RUNTIME_DIR", "/run"}, {"XDG_CACHE_HOME", "/cache"},
        {"TMPDIR", "/tmp"}};
    for (auto [name, sub] : dirs) {
        std::string p = root_ + sub;
        fs::create_directories(p);
        fs::permissions(p, fs::perms::owner_all, fs::perm_options::replace);
        setenv(name, p.c_str(), 1);
    }
    // Sound clients never start a sound server of their own in a test.
    WriteFile(root_ + "/config/pulse/client.conf", "autospawn = no\n");
}

ScopedHome::~ScopedHome() {
    for (auto& [name, value] : saved_->values) {
        if (value == "\x01")
            unsetenv(name.c_str());
        else
            setenv(name.c_str(), value.c_str(), 1);
    }
    delete saved_;
    std::error_code ec;
    fs::remove_all(root_, ec);
}

std::string ScopedHome::path(const std::string& relative) const { return root_ + "/" + relative; }

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool WriteFile(const std::string& path, const std::string& data) {
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(out);
}

std::string SourceDir() {
    const char* s = getenv("TELLURA_SOURCE_DIR");
    return s ? s : TELLURA_TEST_SOURCE_DIR;
}

std::string BinDir() {
    const char* s = getenv("TELLURA_BIN_DIR");
    return s ? s : TELLURA_TEST_BIN_DIR;
}

}  // namespace tellura::test
