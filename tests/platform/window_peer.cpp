// A second process with one published window, for the cross-process tests.
// Usage: platform-window-peer <title>. Prints "ready" once published.
// Messages: 0x401 answers wp + lp; 0x402 answers this process's id;
// 0x10 ends the program.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/Window.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    std::atomic<bool> quit{false};
    plat::HWND w = plat::CreateWindowHandle(nullptr);
    plat::SetMessageSink(
        w,
        [&](plat::UINT msg, plat::WPARAM wp, plat::LPARAM lp) -> plat::LRESULT {
            if (msg == 0x401) return plat::LRESULT(wp) + lp;
            if (msg == 0x402) return getpid();
            if (msg == 0x10) quit = true;
            return 0;
        },
        nullptr);
    plat::SetWindowTitle(w, argv[1]);
    std::printf("ready\n");
    std::fflush(stdout);
    while (!quit) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    plat::DestroyWindowHandle(w);
    return 0;
}
