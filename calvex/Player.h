// Playback of one file with GStreamer's playbin, drawn into an X11 window
// the caller owns. No threads of its own and no main loop needed: the owner
// calls Poll() from a timer on its user-interface thread, which reads the
// bus. A missing sound server costs the sound only.
#pragma once
#include <string>

typedef struct _GstElement GstElement;

namespace calvex {

class Player {
public:
    // Failed: nothing more will play (*error says why). SoundMissing: the
    // picture plays but the sound's decoder is absent (*error names it).
    enum class Event { None, Ended, Failed, SoundMissing };

    Player();
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Loads the file, paused on its first picture. False with *error set
    // when it cannot be played.
    bool Open(const std::string& path, unsigned long xid, std::string* error);
    void Close();
    bool IsOpen() const { return pipeline_ != nullptr; }
    const std::string& Path() const { return path_; }

    void Play();
    void Pause();
    bool Playing() const { return playing_; }
    // Seconds; < 0 when not known (yet).
    double Position() const;
    double Duration() const;
    // Seeks to the picture at (or just before) seconds.
    void Seek(double seconds);
    // One picture forward or back, leaving the player paused.
    void Step(bool forward);
    void SetVolume(double v);  // 0..1
    // The time stamp of the picture on the screen in seconds; < 0 when none.
    double ShownPictureTime() const;
    // The size of the pictures the video sink is given; false before the first.
    bool PictureSize(int* width, int* height) const;
    // Redraws the last picture (after the window was covered or resized).
    void Expose();
    // Reads the bus: what happened since the last call; *error gets the text.
    // A stream whose decoder is not installed counts as a failure for the
    // picture, so a file never plays on with a frozen picture.
    Event Poll(std::string* error);

private:
    GstElement* pipeline_ = nullptr;
    std::string path_;
    bool playing_ = false;
    double volume_ = 1.0;
    bool soundMissingTold_ = false;
};

// The user's text for a decoder or demultiplexer that is not installed:
// "The MPEG-1 Video decoder is not installed (package gstreamer1.0-libav)."
std::string MissingPartText(const std::string& description, bool sound);

// The video sink: TELLURA_VIDEO_SINK=gl|xv|x where it exists, else the
// best the display offers. Caller owns the returned floating element.
GstElement* MakeVideoSink();

}  // namespace calvex
