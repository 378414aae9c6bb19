// Window handles and messages.
//
// An HWND names one window of this process, or stands for a titled top-level
// window of another process found with FindWindowA. Messages posted to a local
// window are queued and delivered in order on the UI thread through the sink
// the UI installs; a remote window receives them over its Unix domain socket
// under $XDG_RUNTIME_DIR/quorvel/windows/.
//
// Window is an abstract object: delivery goes through its virtual functions,
// never through global state, so a copy of this library linked privately into
// a shared library can post to a window that the program created.
//
// Ownership: CreateWindowHandle's handle belongs to the caller until
// DestroyWindowHandle. Handles returned by FindWindowA belong to the platform
// layer and stay valid for the life of the process; callers never free them.
// All functions are thread-safe.
#pragma once
#include <functional>
#include <string>

#include "platform/Types.h"

namespace plat {
struct Window {
    virtual ~Window() = default;
    virtual bool Post(UINT msg, WPARAM wp, LPARAM lp) = 0;
    virtual LRESULT Send(UINT msg, WPARAM wp, LPARAM lp) = 0;
    virtual bool Alive() const = 0;
    virtual void SetTitle(const std::string& title, bool publish) = 0;
    virtual std::string Title() const = 0;
    virtual void SetNative(unsigned long x11Window) = 0;
    virtual unsigned long Native() const = 0;
};
using HWND = Window*;

using MessageSink = std::function<LRESULT(UINT msg, WPARAM wp, LPARAM lp)>;
// Runs a task on the UI thread (the viewer passes one that calls CallAfter).
using UiDispatcher = std::function<void(std::function<void()>)>;

// Creates a local window. A non-empty title publishes it at once as a
// top-level window; null or "" leaves it unpublished (a child window).
HWND CreateWindowHandle(const char* title);
// Unpublishes and frees a window made by CreateWindowHandle. Messages still
// queued for it are dropped; later posts to the handle are a caller error.
void DestroyWindowHandle(HWND hwnd);

// Installs where the window's messages go and how to reach the UI thread.
// Messages posted before the sink is installed are delivered when it is. A null
// dispatcher delivers on a platform thread (used by tests and tools).
void SetMessageSink(HWND hwnd, MessageSink sink, UiDispatcher dispatcher);

// Queues a message; false for a null, destroyed or unreachable window.
bool PostMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
// Delivers synchronously and returns the sink's result: a direct call on the
// UI thread, otherwise dispatched and waited for. A remote window answers
// within 5 seconds or the result is 0.
LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// Publishes the window as a top-level window under that exact title (an empty
// title is a title too, as for any top-level window); UnpublishWindow makes it
// a private window again.
void SetWindowTitle(HWND hwnd, const char* title);
void UnpublishWindow(HWND hwnd);
std::string GetWindowTitle(HWND hwnd);

// Finds a published top-level window of any process by exact title; className
// is ignored. Sockets left by processes that died are removed. Null if none.
HWND FindWindowA(const char* className, const char* title);

// The X11 window the video is drawn into (0 = none).
void SetNativeWindow(HWND hwnd, unsigned long x11Window);
unsigned long GetNativeWindow(HWND hwnd);

bool IsWindow(HWND hwnd);
}  // namespace plat
