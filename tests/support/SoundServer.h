// A PulseAudio server of one test's own: a null sink "tellura_null" as the
// default output, its socket in a private runtime folder, PULSE_SERVER
// pointing at it while it lives. Works as root and as a normal user. What is
// played can be recorded back from the sink's monitor.
#pragma once
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tellura::test {

class PrivateSoundServer {
public:
    static constexpr int kRate = 48000;
    static constexpr const char* kSink = "tellura_null";

    // folder: a private folder for the socket, cookie and script.
    explicit PrivateSoundServer(const std::string& folder);
    ~PrivateSoundServer();
    PrivateSoundServer(const PrivateSoundServer&) = delete;
    PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

    // Starts the server and waits until it answers; false when it does not.
    bool Start();
    // Ends the server and waits for it (a server that goes away).
    void Stop();
    bool Running() const { return pid_ > 0; }

    // Output of `pactl <args>` against this server ("" on failure).
    std::string Pactl(const std::string& args) const;
    // ms milliseconds of what the null sink plays, mono, as 16-bit samples.
    std::vector<int16_t> Record(int ms) const;

private:
    std::string folder_;
    std::string socket_;
    std::string savedServer_;
    bool hadServer_ = false;
    pid_t pid_ = -1;
};

// Share of a block's energy at the given frequencies (Goertzel), 0..1-ish.
double ToneShare(const std::vector<int16_t>& block, const std::vector<double>& hz, int rate);
// The notes of a virtual-card station's tune: its tone times the melody's steps.
std::vector<double> StationNotes(double toneHz);
// Mean ToneShare of the notes over the sound's 100 ms blocks.
double NotesShare(const std::vector<int16_t>& sound, const std::vector<double>& notes);
// Root mean square of the samples (0 for none).
double Rms(const std::vector<int16_t>& samples);

}  // namespace tellura::test
