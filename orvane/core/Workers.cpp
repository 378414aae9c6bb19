#include "Workers.h"

#include "RemoteKeys.h"

#include <chrono>

namespace orvane {

void ScanGate::Start() {
    std::lock_guard lock(m_);
    stop_ = false;
    go_ = true;
    cv_.notify_all();
}

void ScanGate::RequestStop() {
    std::lock_guard lock(m_);
    go_ = false;
    stop_ = true;
    cv_.notify_all();
}

bool ScanGate::WaitContinue() {
    std::unique_lock lock(m_);
    cv_.wait(lock, [this] { return stop_ || go_; });
    return !stop_;
}

void ScanGate::Hold() {
    std::lock_guard lock(m_);
    go_ = false;
}

void ScanGate::Release() {
    std::lock_guard lock(m_);
    go_ = true;
    cv_.notify_all();
}

void RemoteThread::Start(Poll poll, Send send, const std::atomic<int>* enabled) {
    Stop();
    {
        std::lock_guard lock(m_);
        stop_ = false;
    }
    worker_ = std::thread(&RemoteThread::Run, this, std::move(poll), std::move(send), enabled);
}

void RemoteThread::Stop() {
    {
        std::lock_guard lock(m_);
        stop_ = true;
        cv_.notify_all();
    }
    if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id()) worker_.join();
}

void RemoteThread::Run(Poll poll, Send send, const std::atomic<int>* enabled) {
    RemotePoller poller;
    for (;;) {
        {
            std::unique_lock lock(m_);
            if (cv_.wait_for(lock, std::chrono::milliseconds(100), [this] { return stop_; }))
                return;
        }
        if (enabled && enabled->load() == 0) continue;
        for (int code : poller.Codes(poll())) send(code);
    }
}

}  // namespace orvane
