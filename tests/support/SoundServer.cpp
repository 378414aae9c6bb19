#include "support/SoundServer.h"

#include "support/TestEnv.h"

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tellura::test {

namespace {

std::string Run(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n = 0;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    return pclose(p) == 0 ? out : std::string();
}

}  // namespace

PrivateSoundServer::PrivateSoundServer(const std::string& folder)
    : folder_(folder), socket_(folder + "/native") {
    const char* old = getenv("PULSE_SERVER");
    hadServer_ = old != nullptr;
    if (old) savedServer_ = old;
    setenv("PULSE_SERVER", ("unix:" + socket_).c_str(), 1);
}

PrivateSoundServer::~PrivateSoundServer() {
    Stop();
    if (hadServer_)
        setenv("PULSE_SERVER", savedServer_.c_str(), 1);
    else
        unsetenv("PULSE_SERVER");
}

bool PrivateSoundServer::Start() {
    if (pid_ > 0) return true;
    // The null sink runs at the card's rate, so nothing is resampled.
    const std::string script = folder_ + "/server.pa";
    WriteFile(script, std::string("load-module module-null-sink sink_name=") + kSink +
                          " rate=48000 channels=2\n"
                          "load-module module-native-protocol-unix auth-anonymous=1 socket=" + socket_ +
                          "\nset-default-sink " + kSink + "\n");
    // -n: no default script; no daemon, pid file or idle exit, so this
    // process owns it; the same flags work for root and for a normal user.
    std::vector<std::string> args = {"pulseaudio", "-n", "-F", script, "--daemonize=no", "--exit-idle-time=-1",
                                     "--use-pid-file=no", "--disable-shm=yes", "--log-target=stderr",
                                     "--log-level=error"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string log = folder_ + "/server.log";
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        // The server ends with the test, even one killed by its timeout.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int out = open("/dev/null", O_WRONLY);
        const int err = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out >= 0) dup2(out, 1);
        if (err >= 0) dup2(err, 2);
        execvp("pulseaudio", argv.data());
        _exit(127);
    }
    pid_ = pid;
    // Ready once it answers on its socket.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
        if (!Pactl("info").empty()) return true;
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    Stop();
    return false;
}

void PrivateSoundServer::Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::string PrivateSoundServer::Pactl(const std::string& args) const {
    return Run("pactl --server=unix:" + socket_ + " " + args + " 2>/dev/null");
}

std::vector<int16_t> PrivateSoundServer::Record(int ms) const {
    const size_t want = size_t(kRate) * size_t(ms) / 1000;
    const std::string bytes = std::to_string(want * 2);
    const std::string raw = Run("parec --server=unix:" + socket_ + " --device=" + kSink +
                                ".monitor --format=s16le --rate=48000 --channels=1 --latency-msec=20 --raw"
                                " 2>/dev/null | head -c " + bytes);
    std::vector<int16_t> out(raw.size() / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = int16_t(uint16_t(uint8_t(raw[2 * i])) | uint16_t(uint8_t(raw[2 * i + 1])) << 8);
    return out;
}

double ToneShare(const std::vector<int16_t>& block, const std::vector<double>& hz, int rate) {
    double energy = 0;
    for (int16_t s : block) energy += double(s) * s;
    if (block.empty() || energy <= 0) return 0;
    double share = 0;
    for (double f : hz) {
        const double k = 2 * std::cos(2 * M_PI * f / rate);
        double s1 = 0, s2 = 0;
        for (int16_t x : block) {
            const double s0 = x + k * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        const double power = s1 * s1 + s2 * s2 - k * s1 * s2;
        // A full-block sine holds N/2 of its energy at its frequency.
        share += power / (energy * block.size() / 2);
    }
    return share;
}

std::vector<double> StationNotes(double toneHz) {
    return {toneHz * 0.75, toneHz, toneHz * 1.25, toneHz * 1.5};
}

double NotesShare(const std::vector<int16_t>& sound, const std::vector<double>& notes) {
    const size_t block = PrivateSoundServer::kRate / 10;
    double sum = 0;
    int blocks = 0;
    for (size_t at = 0; at + block <= sound.size(); at += block, ++blocks)
        sum += ToneShare({sound.begin() + long(at), sound.begin() + long(at + block)}, notes, PrivateSoundServer::kRate);
    return blocks ? sum / blocks : 0;
}

double Rms(const std::vector<int16_t>& samples) {
    if (samples.empty()) return 0;
    double sum = 0;
    for (int16_t s : samples) sum += double(s) * s;
    return std::sqrt(sum / samples.size());
}

}  // namespace tellura::test
