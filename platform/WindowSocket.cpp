// Cross-process window messages. Each published window has "<pid>-<n>.sock",
// a listening Unix socket, and "<pid>-<n>.title" with its exact title, in a
// folder only this user can open. A request is one fixed record per
// connection; the answer is the 64-bit result.
#include "platform/WindowSocket.h"

#include <dirent.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/Paths.h"

namespace plat {
namespace {

constexpr uint32_t kMagic = 0x314D5751;  // "QWM1"
constexpr int kReplyTimeoutMs = 5000;
constexpr int kRequestTimeoutMs = 1000;

struct Request {
    uint32_t magic;
    uint32_t sync;
    uint32_t msg;
    uint32_t reserved;
    uint64_t wp;
    int64_t lp;
};

std::string WindowsFolder() { return RuntimeDir() + "windows/"; }

bool FillAddress(const std::string& path, sockaddr_un* addr) {
    if (path.size() >= sizeof addr->sun_path) return false;
    std::memset(addr, 0, sizeof *addr);
    addr->sun_family = AF_UNIX;
    std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
    return true;
}

// Reads or writes exactly n bytes, waiting at most timeoutMs for each part.
bool Transfer(int fd, void* buf, size_t n, int timeoutMs, bool reading) {
    auto* p = static_cast<char*>(buf);
    while (n > 0) {
        pollfd pfd{fd, short(reading ? POLLIN : POLLOUT), 0};
        int r = poll(&pfd, 1, timeoutMs);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        ssize_t k = reading ? read(fd, p, n) : send(fd, p, n, MSG_NOSIGNAL);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) return false;
        p += k;
        n -= size_t(k);
    }
    return true;
}

// Connects to a window socket; -1 with errno set when nobody listens.
int Connect(const std::string& path) {
    sockaddr_un addr{};
    if (!FillAddress(path, &addr)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        int e = errno;
        close(fd);
        errno = e;
        return -1;
    }
    return fd;
}

class RemoteWindow final : public Window {
public:
    RemoteWindow(std::string socketPath, std::string title) : path_(std::move(socketPath)), title_(std::move(title)) {}
    bool Post(UINT msg, WPARAM wp, LPARAM lp) override {
        LRESULT r = 0;
        return Transact(false, msg, wp, lp, &r) && r != 0;
    }
    LRESULT Send(UINT msg, WPARAM wp, LPARAM lp) override {
        LRESULT r = 0;
        return Transact(true, msg, wp, lp, &r) ? r : 0;
    }
    bool Alive() const override { return access(path_.c_str(), F_OK) == 0; }
    void SetTitle(const std::string&, bool) override {}  // another process's window keeps its title
    std::string Title() const override { return title_; }
    void SetNative(unsigned long) override {}
    unsigned long Native() const override { return 0; }

private:
    bool Transact(bool sync, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) const {
        int fd = Connect(path_);
        if (fd < 0) return false;
        Request req{kMagic, sync ? 1u : 0u, msg, 0, uint64_t(wp), int64_t(lp)};
        int64_t reply = 0;
        bool ok = Transfer(fd, &req, sizeof req, kReplyTimeoutMs, false) &&
                  Transfer(fd, &reply, sizeof reply, kReplyTimeoutMs, true);
        close(fd);
        *result = LRESULT(reply);
        return ok;
    }
    std::string path_;
    std::string title_;
};

}  // namespace

struct WindowServer::Impl {
    Window* owner = nullptr;
    Handler handler;
    std::string base;  // folder + "<pid>-<n>", without suffix
    std::mutex mu;
    std::string title;
    int listenFd = -1;
    int wake[2] = {-1, -1};
    std::thread thread;

    bool Open() {
        static std::atomic<unsigned> counter{0};
        base = WindowsFolder() + std::to_string(getpid()) + "-" + std::to_string(++counter);
        sockaddr_un addr{};
        if (mkdir(WindowsFolder().c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (!FillAddress(base + ".sock", &addr)) return false;
        unlink(addr.sun_path);
        listenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (listenFd < 0 || bind(listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            listen(listenFd, 16) != 0 || pipe2(wake, O_CLOEXEC) != 0)
            return false;
        return WriteTitle(title);
    }

    bool WriteTitle(const std::string& t) { return AtomicWriteFile(base + ".title", t, 0600); }

    void Serve() {
        for (;;) {
            pollfd fds[2] = {{listenFd, POLLIN, 0}, {wake[0], POLLIN, 0}};
            if (poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[1].revents) return;
            int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            Answer(fd);
            close(fd);
        }
    }

    void Answer(int fd) {
        Request req{};
        if (!Transfer(fd, &req, sizeof req, kRequestTimeoutMs, true) || req.magic != kMagic) return;
        int64_t reply = handler(req.sync != 0, req.msg, WPARAM(req.wp), LPARAM(req.lp));
        Transfer(fd, &reply, sizeof reply, kRequestTimeoutMs, false);
    }

    void Stop() {
        if (thread.joinable()) {
            char c = 1;
            (void)!write(wake[1], &c, 1);
            thread.join();
        }
        for (int fd : {listenFd, wake[0], wake[1]})
            if (fd >= 0) close(fd);
        if (!base.empty()) {
            unlink((base + ".title").c_str());
            unlink((base + ".sock").c_str());
        }
    }
};

namespace {
// This module's published windows, for lookups that need no socket.
std::mutex& ServersMutex() {
    static std::mutex mu;
    return mu;
}
std::vector<WindowServer::Impl*>& Servers() {
    static std::vector<WindowServer::Impl*> list;
    return list;
}
}  // namespace

WindowServer::WindowServer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

std::unique_ptr<WindowServer> WindowServer::Start(const std::string& title, Window* owner, Handler handler) {
    auto impl = std::make_unique<Impl>();
    impl->owner = owner;
    impl->handler = std::move(handler);
    impl->title = title;
    if (!impl->Open()) {
        impl->Stop();
        return nullptr;
    }
    Impl* raw = impl.get();
    impl->thread = std::thread([raw] { raw->Serve(); });
    std::lock_guard lock(ServersMutex());
    Servers().push_back(raw);
    return std::unique_ptr<WindowServer>(new WindowServer(std::move(impl)));
}

WindowServer::~WindowServer() {
    {
        std::lock_guard lock(ServersMutex());
        auto& list = Servers();
        list.erase(std::remove(list.begin(), list.end(), impl_.get()), list.end());
    }
    impl_->Stop();
}

void WindowServer::Retitle(const std::string& title) {
    std::lock_guard lock(impl_->mu);
    impl_->title = title;
    impl_->WriteTitle(title);
}

namespace {

std::string ReadTitle(const std::string& path, bool* ok) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    *ok = bool(in) || in.eof();
    return text.str();
}

HWND FindLocal(const std::string& title) {
    std::lock_guard lock(ServersMutex());
    for (WindowServer::Impl* s : Servers()) {
        std::lock_guard tl(s->mu);
        if (s->title == title) return s->owner;
    }
    return nullptr;
}

// Proxies are kept for the life of the process, one per socket.
HWND Proxy(const std::string& socketPath, const std::string& title) {
    static std::mutex mu;
    static std::map<std::string, std::unique_ptr<RemoteWindow>> proxies;
    std::lock_guard lock(mu);
    auto& slot = proxies[socketPath];
    if (!slot || slot->Title() != title) {
        if (slot) proxies[socketPath + "#" + std::to_string(proxies.size())] = std::move(slot);
        slot = std::make_unique<RemoteWindow>(socketPath, title);
    }
    return slot.get();
}

}  // namespace

HWND FindPublishedWindow(const std::string& title) {
    if (HWND local = FindLocal(title)) return local;
    std::string folder = WindowsFolder();
    DIR* d = opendir(folder.c_str());
    if (!d) return nullptr;
    std::vector<std::string> bases;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() > 6 && name.compare(name.size() - 6, 6, ".title") == 0)
            bases.push_back(folder + name.substr(0, name.size() - 6));
    }
    closedir(d);
    for (const std::string& base : bases) {
        bool ok = false;
        if (ReadTitle(base + ".title", &ok) != title || !ok) continue;
        int fd = Connect(base + ".sock");
        if (fd < 0) {
            if (errno == ECONNREFUSED || errno == ENOENT) {  // its process is gone
                unlink((base + ".sock").c_str());
                unlink((base + ".title").c_str());
            }
            continue;
        }
        close(fd);
        return Proxy(base + ".sock", title);
    }
    return nullptr;
}

}  // namespace plat
