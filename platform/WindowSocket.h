// Publication of titled windows to other processes: a Unix domain socket and a
// title file per window under RuntimeDir()/windows/, and the proxy handles
// that reach windows of other processes. Internal to platform/.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "platform/Window.h"

namespace plat {
class WindowServer {
public:
    // sync true = SendMessage (the result goes back), false = PostMessage.
    using Handler = std::function<LRESULT(bool sync, UINT msg, WPARAM wp, LPARAM lp)>;
    // Publishes owner under title and serves its socket; null on failure.
    static std::unique_ptr<WindowServer> Start(const std::string& title, Window* owner, Handler handler);
    ~WindowServer();  // stops serving and removes the socket and title file
    void Retitle(const std::string& title);

    struct Impl;

private:
    explicit WindowServer(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// A published window with exactly this title: one of this module's own
// windows directly, else a proxy for another process's (owned by the module).
HWND FindPublishedWindow(const std::string& title);
}  // namespace plat
