#include "platform/Events.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>

namespace plat {

struct EventObject {
  bool manual = true;
  bool signalled = false;
  int refs = 1;
  std::string name;
};

namespace {
// One lock and one condition for all events keeps multi-object waits simple.
std::mutex& Lock() { static std::mutex m; return m; }
std::condition_variable& Changed() { static std::condition_variable c; return c; }
std::map<std::string, EventObject*>& Names() { static std::map<std::string, EventObject*> n; return n; }

// Returns the index that satisfies the wait, or -1. Caller holds the lock.
int Ready(DWORD n, const HANDLE* h, bool all) {
  if (all) {
    for (DWORD i = 0; i < n; ++i) if (!h[i]->signalled) return -1;
    for (DWORD i = 0; i < n; ++i) if (!h[i]->manual) h[i]->signalled = false;
    return 0;
  }
  for (DWORD i = 0; i < n; ++i) {
    if (h[i]->signalled) {
      if (!h[i]->manual) h[i]->signalled = false;
      return static_cast<int>(i);
    }
  }
  return -1;
}
}  // namespace

HANDLE CreateEventA(void*, BOOL manualReset, BOOL initialState, const char* name) {
  std::lock_guard<std::mutex> g(Lock());
  if (name && *name) {
    auto it = Names().find(name);
    if (it != Names().end()) { ++it->second->refs; return it->second; }
  }
  auto* e = new EventObject;
  e->manual = manualReset != 0;
  e->signalled = initialState != 0;
  if (name && *name) { e->name = name; Names()[e->name] = e; }
  return e;
}

BOOL SetEvent(HANDLE h) {
  if (!h) return 0;
  { std::lock_guard<std::mutex> g(Lock()); h->signalled = true; }
  Changed().notify_all();
  return 1;
}

BOOL ResetEvent(HANDLE h) {
  if (!h) return 0;
  std::lock_guard<std::mutex> g(Lock());
  h->signalled = false;
  return 1;
}

BOOL CloseHandle(HANDLE h) {
  if (!h) return 0;
  std::lock_guard<std::mutex> g(Lock());
  if (--h->refs > 0) return 1;
  if (!h->name.empty()) Names().erase(h->name);
  delete h;
  return 1;
}

DWORD WaitForSingleObject(HANDLE h, DWORD ms) { return WaitForMultipleObjects(1, &h, 0, ms); }

DWORD WaitForMultipleObjects(DWORD n, const HANDLE* h, BOOL waitAll, DWORD ms) {
  if (n == 0 || !h) return WAIT_FAILED;
  for (DWORD i = 0; i < n; ++i) if (!h[i]) return WAIT_FAILED;
  std::unique_lock<std::mutex> g(Lock());
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    int idx = Ready(n, h, waitAll != 0);
    if (idx >= 0) return WAIT_OBJECT_0 + static_cast<DWORD>(idx);
    if (ms == INFINITE) Changed().wait(g);
    else if (Changed().wait_until(g, deadline) == std::cv_status::timeout) {
      idx = Ready(n, h, waitAll != 0);
      return idx >= 0 ? WAIT_OBJECT_0 + static_cast<DWORD>(idx) : WAIT_TIMEOUT;
    }
  }
}

}  // namespace plat
