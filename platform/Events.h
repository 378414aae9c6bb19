// Named events within one process. Handles are reference counted: creating an
// event under a name that is already open returns the same event with one more
// reference; CloseHandle drops one. Unnamed events are private. Thread-safe.
#pragma once
#include "platform/Types.h"

namespace plat {
using HANDLE = struct EventObject*;

constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

// Returns a handle, or nullptr on failure. An existing named event keeps its
// original reset mode and state.
HANDLE CreateEventA(void* attrs, BOOL manualReset, BOOL initialState, const char* name);
BOOL SetEvent(HANDLE h);
BOOL ResetEvent(HANDLE h);
BOOL CloseHandle(HANDLE h);

// Waits up to ms milliseconds. A signalled auto-reset event is reset by the wait
// that consumes it.
DWORD WaitForSingleObject(HANDLE h, DWORD ms);
// With waitAll false returns WAIT_OBJECT_0 + the index of the first signalled
// event in array order; with waitAll true WAIT_OBJECT_0 once all are signalled.
DWORD WaitForMultipleObjects(DWORD n, const HANDLE* h, BOOL waitAll, DWORD ms);
}  // namespace plat
