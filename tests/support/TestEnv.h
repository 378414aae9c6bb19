// Private environment for one test: a fresh temporary home with its own XDG
// folders, so registry files, state files and window sockets of one test never
// meet those of another test or of the user.
#pragma once
#include <string>

namespace tellura::test {

class ScopedHome {
public:
    ScopedHome();
    ~ScopedHome();
    ScopedHome(const ScopedHome&) = delete;
    ScopedHome& operator=(const ScopedHome&) = delete;

    // Root of the temporary home (no trailing slash).
    const std::string& root() const { return root_; }
    // root() + "/" + relative
    std::string path(const std::string& relative) const;

private:
    std::string root_;
    struct Saved;
    Saved* saved_;
};

// Contents of a whole file ("" when it cannot be read).
std::string ReadFile(const std::string& path);
// Writes a whole file, creating parent folders; returns false on failure.
bool WriteFile(const std::string& path, const std::string& data);
// Source tree and binary folder given by CTest (falls back to the build-time values).
std::string SourceDir();
std::string BinDir();

}  // namespace tellura::test
