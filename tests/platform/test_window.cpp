// Window messages within the process (order, thread of delivery, synchronous
// send, queueing before the sink exists) and across processes by title.
#include <dirent.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/TestEnv.h"
#include "platform/Paths.h"
#include "platform/Window.h"

extern char** environ;

namespace {
using namespace plat;

// A stand-in UI thread: runs dispatched tasks in order.
class UiLoop {
public:
    UiLoop() : thread_([this] { Run(); }) {}
    ~UiLoop() {
        {
            std::lock_guard l(mu_);
            stop_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    UiDispatcher Dispatcher() {
        return [this](std::function<void()> t) {
            std::lock_guard l(mu_);
            tasks_.push_back(std::move(t));
            cv_.notify_all();
        };
    }
    // Runs f on the loop thread and waits for it.
    void Call(std::function<void()> f) {
        std::atomic<bool> done{false};
        Dispatcher()([&] { f(); done = true; });
        while (!done) std::this_thread::yield();
    }
    std::thread::id Id() const { return thread_.get_id(); }

private:
    void Run() {
        std::unique_lock l(mu_);
        while (true) {
            cv_.wait(l, [this] { return stop_ || !tasks_.empty(); });
            if (tasks_.empty()) return;
            auto t = std::move(tasks_.front());
            tasks_.pop_front();
            l.unlock();
            t();
            l.lock();
        }
    }
    std::mutex mu_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> tasks_;
    bool stop_ = false;
    std::thread thread_;
};

struct Received {
    std::mutex mu;
    std::vector<std::pair<UINT, WPARAM>> messages;
    bool offThread = false;
    size_t Count() {
        std::lock_guard l(mu);
        return messages.size();
    }
};

bool WaitFor(const std::function<bool()>& cond, int ms = 5000) {
    for (int i = 0; i < ms / 5; ++i) {
        if (cond()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return cond();
}

TEST(WindowMessages, PostsFromManyThreadsArriveInOrderOnTheUiThread) {
    tellura::test::ScopedHome home;
    UiLoop ui;
    Received got;
    HWND w = CreateWindowHandle(nullptr);
    ui.Call([&] {
        SetMessageSink(
            w,
            [&](UINT msg, WPARAM wp, LPARAM) -> LRESULT {
                std::lock_guard l(got.mu);
                if (std::this_thread::get_id() != ui.Id()) got.offThread = true;
                got.messages.emplace_back(msg, wp);
                return 0;
            },
            ui.Dispatcher());
    });
    constexpr int kThreads = 4, kEach = 300;
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t)
        senders.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) ASSERT_TRUE(PostMessage(w, 0x400 + t, WPARAM(i), 0));
        });
    for (auto& s : senders) s.join();
    ASSERT_TRUE(WaitFor([&] { return got.Count() == kThreads * kEach; }));
    std::map<UINT, WPARAM> next;
    for (auto [msg, wp] : got.messages) {
        EXPECT_EQ(wp, next[msg]) << "message " << msg << " out of order";
        next[msg] = wp + 1;
    }
    EXPECT_FALSE(got.offThread);
    DestroyWindowHandle(w);
}

TEST(WindowMessages, SendWaitsForTheResultAndRunsDirectlyOnTheUiThread) {
    UiLoop ui;
    HWND w = CreateWindowHandle(nullptr);
    std::atomic<bool> onUi{true};
    ui.Call([&] {
        SetMessageSink(
            w,
            [&](UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
                if (std::this_thread::get_id() != ui.Id()) onUi = false;
                return LRESULT(msg + wp) * lp;
            },
            ui.Dispatcher());
    });
    EXPECT_EQ(SendMessage(w, 1, 2, 7), 21);
    LRESULT inside = 0;
    ui.Call([&] { inside = SendMessage(w, 3, 1, 5); });  // would deadlock if dispatched
    EXPECT_EQ(inside, 20);
    EXPECT_TRUE(onUi);
    DestroyWindowHandle(w);
}

TEST(WindowMessages, QueuedBeforeTheSinkAndRefusedAfterDestroy) {
    HWND w = CreateWindowHandle(nullptr);
    ASSERT_TRUE(IsWindow(w));
    EXPECT_EQ(SendMessage(w, 5, 0, 0), 0);  // nobody to answer yet
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(PostMessage(w, 0x500, WPARAM(i), 0));
    Received got;
    SetMessageSink(
        w,
        [&](UINT msg, WPARAM wp, LPARAM) -> LRESULT {
            std::lock_guard l(got.mu);
            got.messages.emplace_back(msg, wp);
            return 0;
        },
        nullptr);
    ASSERT_TRUE(WaitFor([&] { return got.Count() == 10; }));
    for (int i = 0; i < 10; ++i) EXPECT_EQ(got.messages[size_t(i)].second, WPARAM(i));
    SetNativeWindow(w, 0x2a00007);
    EXPECT_EQ(GetNativeWindow(w), 0x2a00007u);
    DestroyWindowHandle(w);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(PostMessage(w, 1, 0, 0));
    EXPECT_FALSE(PostMessage(nullptr, 1, 0, 0));
    EXPECT_EQ(SendMessage(nullptr, 1, 0, 0), 0);
}

TEST(WindowLookup, ExactTitleOnlyIncludingTheEmptyTitle) {
    tellura::test::ScopedHome home;
    HWND a = CreateWindowHandle("Quorvel Tellura Capture");
    HWND child = CreateWindowHandle(nullptr);
    EXPECT_EQ(FindWindowA(nullptr, "Quorvel Tellura Capture"), a);
    EXPECT_EQ(FindWindowA(nullptr, "Quorvel Tellura"), nullptr);
    EXPECT_EQ(FindWindowA("ignored", "quorvel tellura capture"), nullptr);
    EXPECT_EQ(FindWindowA(nullptr, ""), nullptr);  // an unpublished window is no top-level window
    SetWindowTitle(child, "");
    EXPECT_EQ(FindWindowA(nullptr, ""), child);
    SetWindowTitle(a, "Renamed");
    EXPECT_EQ(FindWindowA(nullptr, "Quorvel Tellura Capture"), nullptr);
    EXPECT_EQ(FindWindowA(nullptr, "Renamed"), a);
    EXPECT_EQ(GetWindowTitle(a), "Renamed");
    UnpublishWindow(a);
    EXPECT_EQ(FindWindowA(nullptr, "Renamed"), nullptr);
    DestroyWindowHandle(a);
    DestroyWindowHandle(child);
    EXPECT_EQ(FindWindowA(nullptr, ""), nullptr);
    EXPECT_EQ(FindWindowA(nullptr, nullptr), nullptr);
}

// A peer process running platform-window-peer with a title.
struct Peer {
    pid_t pid = -1;
    bool Start(const std::string& title) {
        int fds[2];
        if (pipe(fds) != 0) return false;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
        posix_spawn_file_actions_addclose(&fa, fds[0]);
        std::string prog = tellura::test::BinDir() + "/platform-window-peer";
        char* argv[] = {prog.data(), const_cast<char*>(title.c_str()), nullptr};
        int rc = posix_spawn(&pid, prog.c_str(), &fa, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&fa);
        close(fds[1]);
        char buf[6] = {};
        bool ready = rc == 0 && read(fds[0], buf, 5) == 5 && std::string(buf) == "ready";
        close(fds[0]);
        return ready;
    }
    int Wait() {
        int status = -1;
        waitpid(pid, &status, 0);
        pid = -1;
        return status;
    }
    ~Peer() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            Wait();
        }
    }
};

int CountTitleFiles() {
    int n = 0;
    if (DIR* d = opendir((RuntimeDir() + "windows").c_str())) {
        while (dirent* e = readdir(d)) n += std::string(e->d_name).find(".title") != std::string::npos;
        closedir(d);
    }
    return n;
}

TEST(WindowLookup, FindsAndTalksToAWindowOfAnotherProcess) {
    tellura::test::ScopedHome home;
    Peer peer;
    ASSERT_TRUE(peer.Start("Peer viewer"));
    HWND remote = FindWindowA(nullptr, "Peer viewer");
    ASSERT_NE(remote, nullptr);
    EXPECT_EQ(FindWindowA(nullptr, "Peer"), nullptr);
    EXPECT_EQ(SendMessage(remote, 0x401, 40, 2), 42);
    EXPECT_EQ(SendMessage(remote, 0x402, 0, 0), peer.pid);
    EXPECT_EQ(FindWindowA(nullptr, "Peer viewer"), remote);  // one proxy per window
    EXPECT_TRUE(PostMessage(remote, 0x10, 0, 0));
    int status = peer.Wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(FindWindowA(nullptr, "Peer viewer"), nullptr);
    EXPECT_FALSE(PostMessage(remote, 0x401, 0, 0));
    EXPECT_EQ(SendMessage(remote, 0x401, 1, 1), 0);
}

TEST(WindowLookup, WindowsOfAKilledProcessAreIgnoredAndCleanedUp) {
    tellura::test::ScopedHome home;
    {
        Peer peer;
        ASSERT_TRUE(peer.Start("Doomed"));
        EXPECT_EQ(CountTitleFiles(), 1);
        kill(peer.pid, SIGKILL);
        peer.Wait();
    }
    EXPECT_EQ(CountTitleFiles(), 1);  // left behind by the killed process
    EXPECT_EQ(FindWindowA(nullptr, "Doomed"), nullptr);
    EXPECT_EQ(CountTitleFiles(), 0);
    // A new window under the same title is found again.
    HWND w = CreateWindowHandle("Doomed");
    EXPECT_EQ(FindWindowA(nullptr, "Doomed"), w);
    DestroyWindowHandle(w);
}

}  // namespace
