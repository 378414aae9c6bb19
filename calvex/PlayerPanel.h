// The playing side of the video browser: the picture (the preview frame
// until playback starts), and under it play/pause, frame steps, the seek bar
// with the position, the volume and full screen.
#pragma once
#include <wx/bitmap.h>
#include <wx/panel.h>
#include <wx/timer.h>

#include <functional>
#include <string>

#include "calvex/Player.h"
#include "calvex/VideoFolder.h"

class wxBitmapButton;
class wxDC;
class wxSlider;
class wxStaticText;

namespace calvex {

class CPlayerPanel : public wxPanel {
public:
    CPlayerPanel(wxWindow* parent, std::function<void()> onFullScreen);
    ~CPlayerPanel() override;

    // Shows the recording's preview frame and name, ready to play.
    void Show(const Recording& r);
    // Empties the picture (no selection, or the file went away).
    void Clear();
    void Play();
    void TogglePlay();
    void Step(bool forward);
    void SeekTo(double seconds);
    void SetControlsShown(bool shown);  // hidden in full screen
    void FocusPicture();                // full screen's keys arrive there
    // The file in the player, if any, is let go (before a rename or delete).
    void Release(const std::string& path);

    const std::string& CurrentPath() const { return path_; }
    bool Playing() const { return player_.Playing(); }
    double Position() const { return player_.Position(); }
    double Duration() const { return player_.Duration(); }
    // The text shown on the picture instead of it ("" when none).
    const std::string& Message() const { return message_; }
    // The picture area and the player, for the tests' grabs.
    wxWindow* VideoWindow() const { return video_; }
    const Player& Engine() const { return player_; }
    int Volume() const;

private:
    wxWindow* MakeControls();
    bool EnsureOpen();
    void OnTick(wxTimerEvent&);
    void OnPaintVideo(wxPaintEvent&);
    void OnSeekDrag(wxScrollEvent&);
    void OnSeekDone(wxScrollEvent&);
    void UpdateControls();
    void SetStatus(const wxString& text);
    void DrawNotice(wxDC& dc, const wxString& text, const wxSize& area);

    Player player_;
    std::function<void()> onFullScreen_;
    wxWindow* video_ = nullptr;
    wxWindow* controls_ = nullptr;
    wxBitmapButton *play_ = nullptr, *back_ = nullptr, *forward_ = nullptr, *full_ = nullptr;
    wxSlider* seek_ = nullptr;
    wxSlider* volume_ = nullptr;
    wxStaticText* time_ = nullptr;
    wxStaticText* title_ = nullptr;
    wxStaticText* detail_ = nullptr;
    wxBitmap frame_;
    wxTimer timer_;
    std::string path_;
    std::string message_;      // shown on the picture (a playback error)
    bool dragging_ = false;
    double duration_ = -1;     // from the list, until the player knows
};

// The X11 window behind a wx window, made native for the video sink (0 when
// the display is not X11).
unsigned long NativeXidOf(wxWindow* w);

}  // namespace calvex
