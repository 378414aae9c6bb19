// Folders of the XDG base-directory layout, path checks and atomic file writes.
#include "platform/Paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace plat {
namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v && *v == '/' ? std::string(v) : std::string();
}

std::string Home() {
    std::string h = Env("HOME");
    return h.empty() ? std::string("/tmp") : h;
}

std::string WithSlash(std::string p) {
    if (p.empty() || p.back() != '/') p += '/';
    return p;
}

// Creates every missing folder of dir; the last one gets mode.
bool MakeDirs(const std::string& dir, mode_t mode) {
    std::string path;
    size_t pos = 0;
    while (pos < dir.size()) {
        size_t next = dir.find('/', pos + 1);
        path = dir.substr(0, next == std::string::npos ? dir.size() : next);
        pos = next == std::string::npos ? dir.size() : next;
        if (path.empty() || path == "/") continue;
        bool last = pos >= dir.size() - 1;
        if (mkdir(path.c_str(), last ? mode : 0755) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Ensure(const std::string& dir, mode_t mode = 0755) {
    std::string d = WithSlash(dir);
    MakeDirs(d, mode);
    return d;
}

std::string XdgHome(const char* var, const char* fallback) {
    std::string v = Env(var);
    return v.empty() ? Home() + fallback : v;
}

// A folder that only this user can use: owned by us, no access for others.
bool IsPrivateDir(const std::string& dir) {
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    return st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

// Makes base/name private to us, or a fresh base/name-XXXXXX when the name is
// taken by someone else. Empty when neither works.
std::string PrivateDir(const std::string& base, const std::string& name) {
    std::string dir = base + "/" + name;
    if (mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST) {
        if (IsPrivateDir(dir)) return dir + "/";
    }
    std::string templ = dir + "-XXXXXX";
    if (mkdtemp(templ.data())) return templ + "/";
    return {};
}

// The value of XDG_<NAME>_DIR in user-dirs.dirs, with $HOME expanded.
std::string UserDir(const char* key) {
    std::ifstream in(XdgHome("XDG_CONFIG_HOME", "/.config") + "/user-dirs.dirs");
    std::string line, prefix = std::string(key) + "=\"";
    while (std::getline(in, line)) {
        if (line.compare(0, prefix.size(), prefix) != 0) continue;
        std::string v = line.substr(prefix.size());
        if (v.empty() || v.back() != '"') return {};
        v.pop_back();
        if (v.compare(0, 5, "$HOME") == 0) v = Home() + v.substr(5);
        return v.empty() || v[0] != '/' ? std::string() : v;
    }
    return {};
}

std::string DirOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Whether the block device behind dev reports itself removable (the device
// or, for a partition, its parent disk).
bool IsRemovableDevice(dev_t dev) {
    std::string base = "/sys/dev/block/" + std::to_string(major(dev)) + ":" + std::to_string(minor(dev));
    for (const char* rel : {"/removable", "/../removable"}) {
        std::ifstream in(base + rel);
        int v = 0;
        if (in >> v) return v == 1;
    }
    return false;
}

// Whether path is the root of a mounted file system on a removable device.
bool IsRemovableMount(const std::string& path, const struct stat& st) {
    struct stat parent {};
    if (stat((path + "/..").c_str(), &parent) != 0) return false;
    bool mountPoint = parent.st_dev != st.st_dev || parent.st_ino == st.st_ino;
    return mountPoint && IsRemovableDevice(st.st_dev);
}

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

}  // namespace

std::string DataHome() { return Ensure(XdgHome("XDG_DATA_HOME", "/.local/share") + "/Quorvel/Tellura"); }
std::string ProfileDir() { return Ensure(XdgHome("XDG_DATA_HOME", "/.local/share") + "/Quorvel"); }
std::string SystemDir() { return Ensure(XdgHome("XDG_DATA_HOME", "/.local/share") + "/quorvel/system"); }
std::string WindowsDir() { return Ensure(XdgHome("XDG_DATA_HOME", "/.local/share") + "/quorvel/windows"); }
std::string ConfigDir() { return Ensure(XdgHome("XDG_CONFIG_HOME", "/.config") + "/quorvel"); }
std::string StateDir() { return Ensure(XdgHome("XDG_STATE_HOME", "/.local/state") + "/quorvel", 0700); }

std::string RuntimeDir() {
    std::string run = Env("XDG_RUNTIME_DIR");
    if (!run.empty() && IsPrivateDir(run)) {
        std::string d = Ensure(run + "/quorvel", 0700);
        if (IsPrivateDir(d)) return d;
    }
    return PrivateDir("/tmp", "quorvel-run-" + std::to_string(geteuid()));
}

std::string TempDir() {
    std::string base = Env("TMPDIR");
    if (base.empty()) base = "/tmp";
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return PrivateDir(base, "quorvel-" + std::to_string(geteuid()));
}

std::string PicturesDir() {
    std::string d = UserDir("XDG_PICTURES_DIR");
    return Ensure(d.empty() ? Home() + "/Pictures" : d);
}

std::string VideosDir() {
    std::string d = UserDir("XDG_VIDEOS_DIR");
    return Ensure(d.empty() ? Home() + "/Videos" : d);
}

std::string ProgramDir() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return CurrentDir();
    return WithSlash(DirOf(std::string(buf, size_t(n))));
}

std::string CurrentDir() {
    char buf[PATH_MAX];
    return getcwd(buf, sizeof buf) ? WithSlash(buf) : std::string("/");
}

bool SetCurrentDir(const std::string& dir) { return !dir.empty() && chdir(dir.c_str()) == 0; }

int GetPathKind(const std::string& path) {
    std::string p = path;
    if (p.size() > 1 && p.back() == '/') p.pop_back();
    struct stat st {};
    if (p.empty() || stat(p.c_str(), &st) != 0) return 0;
    if (!S_ISDIR(st.st_mode)) return 1;
    if (IsRemovableMount(p, st)) {
        struct statvfs vfs {};
        return statvfs(p.c_str(), &vfs) == 0 ? 1 : 0;
    }
    return 2;
}

int FindHighestFileNumber(const std::string& pattern, int prefixLength, int extensionLength) {
    size_t slash = pattern.rfind('/');
    std::string dir = slash == std::string::npos ? "." : pattern.substr(0, slash + 1);
    std::string glob = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    DIR* d = opendir(dir.c_str());
    if (!d) return 0;
    int best = 0;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == ".." || fnmatch(glob.c_str(), name.c_str(), FNM_PERIOD | FNM_CASEFOLD) != 0) continue;
        size_t cut = size_t(std::max(extensionLength, 0));
        name = name.size() > cut ? name.substr(0, name.size() - cut) : std::string();
        size_t skip = size_t(std::max(prefixLength, 0));
        name = name.size() > skip ? name.substr(skip) : std::string();
        // Leading digits count; anything else reads as 0. Huge numbers saturate.
        long long v = 0;
        for (char c : name) {
            if (c < '0' || c > '9') break;
            v = std::min<long long>(v * 10 + (c - '0'), INT_MAX);
        }
        best = std::max(best, int(v));
    }
    closedir(d);
    return best;
}

bool AtomicWriteFile(const std::string& path, const std::string& data, unsigned newFileMode) {
    static std::atomic<unsigned> counter{0};
    std::string dir = DirOf(path);
    MakeDirs(dir, 0755);
    mode_t mode = mode_t(newFileMode & 07777);
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;
    std::string tmp = path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, data) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok || rename(tmp.c_str(), path.c_str()) != 0) {
        unlink(tmp.c_str());
        return false;
    }
    int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        fsync(dfd);
        close(dfd);
    }
    return true;
}

}  // namespace plat
