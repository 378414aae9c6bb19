// Local windows: an ordered message queue drained on the UI thread, and for
// titled windows a socket server that answers other processes.
#include "platform/Window.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/WindowSocket.h"

namespace plat {
namespace {

struct Message {
    UINT msg;
    WPARAM wp;
    LPARAM lp;
};

// Runs tasks in order on one thread; stands in for the UI thread when the
// window's owner gives no dispatcher.
class TaskThread {
public:
    TaskThread() : thread_([this] { Run(); }) {}
    ~TaskThread() {
        Stop();
        thread_.join();
    }
    void Stop() {
        {
            std::lock_guard lock(mu_);
            stop_ = true;
        }
        cv_.notify_all();
    }
    void Push(std::function<void()> task) {
        {
            std::lock_guard lock(mu_);
            tasks_.push_back(std::move(task));
        }
        cv_.notify_all();
    }
    std::thread::id Id() const { return thread_.get_id(); }

private:
    void Run() {
        std::unique_lock lock(mu_);
        for (;;) {
            cv_.wait(lock, [this] { return stop_ || !tasks_.empty(); });
            if (stop_) return;
            auto task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
    }
    std::mutex mu_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> tasks_;
    bool stop_ = false;
    std::thread thread_;
};

// What the queue drain and the socket server share with the window; it lives
// as long as any scheduled task still refers to it.
struct State {
    std::mutex mu;
    std::deque<Message> queue;
    MessageSink sink;
    UiDispatcher dispatcher;
    std::thread::id uiThread;
    bool drainScheduled = false;
    bool alive = true;
    std::unique_ptr<TaskThread> ownThread;

    // Called with mu held: makes sure a drain runs on the UI thread.
    void ScheduleDrain(std::unique_lock<std::mutex>& lock, const std::shared_ptr<State>& self) {
        if (drainScheduled || !sink || queue.empty()) return;
        drainScheduled = true;
        UiDispatcher d = dispatcher;
        lock.unlock();
        d([self] { self->Drain(); });
        lock.lock();
    }

    void Drain() {
        std::unique_lock lock(mu);
        drainScheduled = false;
        while (alive && sink && !queue.empty()) {
            Message m = queue.front();
            queue.pop_front();
            MessageSink s = sink;
            lock.unlock();
            s(m.msg, m.wp, m.lp);
            lock.lock();
        }
    }
};

class LocalWindow final : public Window {
public:
    LocalWindow() : state_(std::make_shared<State>()) {}
    ~LocalWindow() override { Shutdown(); }

    bool Post(UINT msg, WPARAM wp, LPARAM lp) override {
        std::unique_lock lock(state_->mu);
        if (!state_->alive) return false;
        state_->queue.push_back({msg, wp, lp});
        state_->ScheduleDrain(lock, state_);
        return true;
    }

    LRESULT Send(UINT msg, WPARAM wp, LPARAM lp) override {
        std::unique_lock lock(state_->mu);
        if (!state_->alive || !state_->sink) return 0;
        MessageSink sink = state_->sink;
        if (std::this_thread::get_id() == state_->uiThread) {
            lock.unlock();
            return sink(msg, wp, lp);
        }
        UiDispatcher dispatcher = state_->dispatcher;
        lock.unlock();
        auto done = std::make_shared<Completion>();
        dispatcher([done, sink, msg, wp, lp] { done->Finish(sink(msg, wp, lp)); });
        return done->Wait([this] { return Alive(); });
    }

    bool Alive() const override {
        std::lock_guard lock(state_->mu);
        return state_->alive;
    }

    void SetTitle(const std::string& title, bool publish) override {
        std::lock_guard lock(titleMu_);
        title_ = title;
        if (!publish) {
            server_.reset();
        } else if (server_) {
            server_->Retitle(title);
        } else {
            server_ = WindowServer::Start(title, this, [this](bool sync, UINT m, WPARAM w, LPARAM l) {
                return sync ? Send(m, w, l) : LRESULT(Post(m, w, l));
            });
        }
    }

    std::string Title() const override {
        std::lock_guard lock(titleMu_);
        return title_;
    }

    void SetNative(unsigned long id) override { native_ = id; }
    unsigned long Native() const override { return native_; }

    void Install(MessageSink sink, UiDispatcher dispatcher) {
        std::unique_lock lock(state_->mu);
        if (!dispatcher) {
            if (!state_->ownThread) state_->ownThread = std::make_unique<TaskThread>();
            TaskThread* t = state_->ownThread.get();
            dispatcher = [t](std::function<void()> task) { t->Push(std::move(task)); };
            state_->uiThread = t->Id();
        } else {
            state_->uiThread = std::this_thread::get_id();
        }
        state_->sink = std::move(sink);
        state_->dispatcher = std::move(dispatcher);
        state_->ScheduleDrain(lock, state_);
    }

    // Stops delivery. The window dies first, so a send that the socket server
    // is waiting on returns, then the server stops and unpublishes.
    void Shutdown() {
        std::unique_ptr<TaskThread> own;
        {
            std::lock_guard lock(state_->mu);
            state_->alive = false;
            state_->queue.clear();
            state_->sink = nullptr;
            own = std::move(state_->ownThread);
        }
        std::lock_guard lock(titleMu_);
        server_.reset();
        // A window destroyed from its own delivery thread cannot join that
        // thread: it is told to stop and left to end by itself.
        if (own && own->Id() == std::this_thread::get_id()) {
            own->Stop();
            own.release();
        }
    }

private:
    struct Completion {
        std::mutex mu;
        std::condition_variable cv;
        bool done = false;
        LRESULT result = 0;
        void Finish(LRESULT r) {
            std::lock_guard lock(mu);
            result = r;
            done = true;
            cv.notify_all();
        }
        // Waits for the result; gives 0 once the window is gone, since a
        // destroyed window's pending tasks may never run.
        template <class Alive>
        LRESULT Wait(Alive alive) {
            std::unique_lock lock(mu);
            while (!cv.wait_for(lock, std::chrono::milliseconds(100), [this] { return done; })) {
                lock.unlock();
                bool living = alive();
                lock.lock();
                if (!living && !done) return 0;
            }
            return result;
        }
    };

    std::shared_ptr<State> state_;
    mutable std::mutex titleMu_;
    std::string title_;
    std::unique_ptr<WindowServer> server_;
    std::atomic<unsigned long> native_{0};
};

// Destroyed windows are kept as dead objects until exit, so a stale handle
// still answers "not a window" instead of touching freed memory.
std::mutex& GraveMutex() {
    static std::mutex mu;
    return mu;
}
std::vector<std::unique_ptr<Window>>& Graveyard() {
    static std::vector<std::unique_ptr<Window>> dead;
    return dead;
}

}  // namespace

HWND CreateWindowHandle(const char* title) {
    auto* w = new LocalWindow();
    if (title && *title) w->SetTitle(title, true);
    return w;
}

void DestroyWindowHandle(HWND hwnd) {
    auto* local = dynamic_cast<LocalWindow*>(hwnd);
    if (!local) return;
    local->Shutdown();
    std::lock_guard lock(GraveMutex());
    Graveyard().emplace_back(local);
}

void SetMessageSink(HWND hwnd, MessageSink sink, UiDispatcher dispatcher) {
    if (auto* local = dynamic_cast<LocalWindow*>(hwnd)) local->Install(std::move(sink), std::move(dispatcher));
}

bool PostMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) { return hwnd && hwnd->Post(msg, wp, lp); }

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) { return hwnd ? hwnd->Send(msg, wp, lp) : 0; }

void SetWindowTitle(HWND hwnd, const char* title) {
    if (hwnd && hwnd->Alive()) hwnd->SetTitle(title ? title : "", true);
}

void UnpublishWindow(HWND hwnd) {
    if (hwnd && hwnd->Alive()) hwnd->SetTitle(hwnd->Title(), false);
}

std::string GetWindowTitle(HWND hwnd) { return hwnd ? hwnd->Title() : std::string(); }

HWND FindWindowA(const char* /*className*/, const char* title) {
    if (!title) return nullptr;
    return FindPublishedWindow(title);
}

void SetNativeWindow(HWND hwnd, unsigned long x11Window) {
    if (hwnd) hwnd->SetNative(x11Window);
}

unsigned long GetNativeWindow(HWND hwnd) { return hwnd ? hwnd->Native() : 0; }

bool IsWindow(HWND hwnd) { return hwnd && hwnd->Alive(); }

}  // namespace plat
