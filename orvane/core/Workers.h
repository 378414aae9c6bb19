// The remote-control polling thread and the stop/continue gate of the scan
// thread. The card calls come in as functions so the threads run the same
// against the library and against a test model.
#pragma once
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace orvane {

// Manual-reset stop and continue signals; stop wins when both are set.
class ScanGate {
public:
    void Start();     // stop cleared, continue set
    void RequestStop();  // continue cleared, stop set
    bool WaitContinue();  // blocks until either is set; false when stopped
    void Hold();      // continue cleared before a probe
    void Release();   // continue set after it
private:
    std::mutex m_;
    std::condition_variable cv_;
    bool stop_ = false, go_ = false;
};

// Polls every 100 ms while enabled and hands each code to send().
class RemoteThread {
public:
    using Poll = std::function<int()>;
    using Send = std::function<void(int)>;
    ~RemoteThread() { Stop(); }
    void Start(Poll poll, Send send, const std::atomic<int>* enabled);
    void Stop();  // returns once the thread has ended
    bool Running() const { return worker_.joinable(); }
private:
    void Run(Poll poll, Send send, const std::atomic<int>* enabled);
    std::mutex m_;
    std::condition_variable cv_;
    bool stop_ = false;
    std::thread worker_;
};

}  // namespace orvane
