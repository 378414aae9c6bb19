// Starting programs and opening documents. Children are reaped in the
// background so none is left a zombie. Thread-safe.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace plat {
// Starts program (a path, or a name looked up in PATH) with args, without
// waiting. False when it cannot be started.
bool StartProcess(const std::string& program, const std::vector<std::string>& args);
// The same; onExit runs on a background thread once the program has ended.
bool StartProcess(const std::string& program, const std::vector<std::string>& args,
                  std::function<void()> onExit);
// The same, reporting how the program ended: onExit gets its exit code (128 +
// the signal number when it was killed), on a background thread. Returns 0
// when the program started, else the error number of the failed start.
int StartProcessStatus(const std::string& program, const std::vector<std::string>& args,
                       std::function<void(int exitCode)> onExit);
// Opens a file or link with the desktop's handler (xdg-open).
bool OpenDocument(const std::string& pathOrUrl);
}  // namespace plat
