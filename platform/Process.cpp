// Program start over posix_spawn. A reaper thread per child waits for it, so
// finished children never linger as zombies and the caller never blocks.
#include "platform/Process.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace plat {

bool StartProcess(const std::string& program, const std::vector<std::string>& args) {
    return StartProcess(program, args, nullptr);
}

bool StartProcess(const std::string& program, const std::vector<std::string>& args,
                  std::function<void()> onExit) {
    return StartProcessStatus(program, args, [onExit = std::move(onExit)](int) {
               if (onExit) onExit();
           }) == 0;
}

int StartProcessStatus(const std::string& program, const std::vector<std::string>& args,
                       std::function<void(int exitCode)> onExit) {
    if (program.empty()) return ENOENT;
    std::vector<std::string> argv0{program};
    argv0.insert(argv0.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argv0) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    bool byPath = program.find('/') == std::string::npos;
    int rc = byPath ? posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ)
                    : posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (rc != 0) return rc;
    std::thread([pid, onExit = std::move(onExit)] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        const int code = WIFEXITED(status) ? WEXITSTATUS(status)
                         : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 255;
        if (onExit) onExit(code);
    }).detach();
    return 0;
}

bool OpenDocument(const std::string& pathOrUrl) {
    return !pathOrUrl.empty() && StartProcess("xdg-open", {pathOrUrl});
}

}  // namespace plat
