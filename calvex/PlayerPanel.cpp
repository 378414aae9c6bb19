// The player half of the video browser window.
#include "calvex/PlayerPanel.h"

#include <wx/artprov.h>
#include <wx/bmpbuttn.h>
#include <wx/dcbuffer.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/image.h>

#include <cmath>

namespace calvex {
namespace {

constexpr int kSeekSteps = 1000;

wxBitmap Icon(const char* name) {
    return wxArtProvider::GetBitmap(wxString(name), wxART_BUTTON, wxSize(24, 24));
}

wxString TimeText(double s) {
    const std::string t = FormatDuration(s);
    return t.empty() ? wxString("--:--") : wxString::FromUTF8(t);
}

}  // namespace

CPlayerPanel::CPlayerPanel(wxWindow* parent, std::function<void()> onFullScreen)
    : wxPanel(parent), onFullScreen_(std::move(onFullScreen)), timer_(this) {
    video_ = new wxWindow(this, wxID_ANY, wxDefaultPosition, wxSize(480, 270), wxFULL_REPAINT_ON_RESIZE);
    video_->SetBackgroundStyle(wxBG_STYLE_PAINT);
    video_->SetBackgroundColour(*wxBLACK);
    video_->Bind(wxEVT_PAINT, &CPlayerPanel::OnPaintVideo, this);
    video_->Bind(wxEVT_LEFT_DCLICK, [this](wxMouseEvent&) { onFullScreen_(); });
    video_->Bind(wxEVT_LEFT_UP, [this](wxMouseEvent&) { TogglePlay(); });
    // The sink redraws at the new size once the native window has it.
    video_->Bind(wxEVT_SIZE, [this](wxSizeEvent& e) {
        CallAfter([this] {
            player_.Expose();
            // The native window is not repainted whole by itself.
            if (!player_.IsOpen()) video_->Refresh();
        });
        e.Skip();
    });
    controls_ = MakeControls();
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(video_, 1, wxEXPAND);
    sizer->Add(controls_, 0, wxEXPAND);
    SetSizer(sizer);
    Bind(wxEVT_TIMER, &CPlayerPanel::OnTick, this);
    UpdateControls();
}

CPlayerPanel::~CPlayerPanel() {
    timer_.Stop();
    player_.Close();
}

wxWindow* CPlayerPanel::MakeControls() {
    auto* p = new wxPanel(this);
    title_ = new wxStaticText(p, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, wxST_ELLIPSIZE_END);
    title_->SetFont(title_->GetFont().Bold().Larger());
    detail_ = new wxStaticText(p, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, wxST_ELLIPSIZE_END);
    detail_->SetForegroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT));
    back_ = new wxBitmapButton(p, wxID_ANY, Icon("media-skip-backward"));
    play_ = new wxBitmapButton(p, wxID_ANY, Icon("media-playback-start"));
    forward_ = new wxBitmapButton(p, wxID_ANY, Icon("media-skip-forward"));
    full_ = new wxBitmapButton(p, wxID_ANY, Icon("view-fullscreen"));
    back_->SetToolTip("Previous frame (,)");
    play_->SetToolTip("Play (Space)");
    forward_->SetToolTip("Next frame (.)");
    full_->SetToolTip("Full screen (F)");
    seek_ = new wxSlider(p, wxID_ANY, 0, 0, kSeekSteps);
    seek_->SetToolTip("Position");
    seek_->SetMinSize(wxSize(140, -1));
    time_ = new wxStaticText(p, wxID_ANY, "--:-- / --:--");
    volume_ = new wxSlider(p, wxID_ANY, 100, 0, 100, wxDefaultPosition, wxSize(100, -1));
    volume_->SetToolTip("Volume");
    auto* speaker = new wxStaticBitmap(p, wxID_ANY, Icon("audio-volume-high"));

    back_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Step(false); });
    forward_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Step(true); });
    play_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { TogglePlay(); });
    full_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { onFullScreen_(); });
    seek_->Bind(wxEVT_SCROLL_THUMBTRACK, &CPlayerPanel::OnSeekDrag, this);
    seek_->Bind(wxEVT_SCROLL_THUMBRELEASE, &CPlayerPanel::OnSeekDone, this);
    seek_->Bind(wxEVT_SCROLL_CHANGED, &CPlayerPanel::OnSeekDone, this);
    volume_->Bind(wxEVT_SLIDER, [this](wxCommandEvent&) { player_.SetVolume(volume_->GetValue() / 100.0); });

    auto* titles = new wxBoxSizer(wxVERTICAL);
    titles->Add(title_, 0, wxEXPAND);
    titles->Add(detail_, 0, wxEXPAND | wxTOP, 2);
    // The seek bar spans the pane; the buttons sit under it.
    auto* bar = new wxBoxSizer(wxHORIZONTAL);
    bar->Add(seek_, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
    bar->Add(time_, 0, wxALIGN_CENTER_VERTICAL);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(back_, 0, wxALIGN_CENTER_VERTICAL);
    row->Add(play_, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 2);
    row->Add(forward_, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 2);
    row->AddStretchSpacer();
    row->Add(speaker, 0, wxALIGN_CENTER_VERTICAL);
    row->Add(volume_, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
    row->Add(full_, 0, wxALIGN_CENTER_VERTICAL);
    auto* col = new wxBoxSizer(wxVERTICAL);
    col->Add(titles, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 8);
    col->Add(bar, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 6);
    col->Add(row, 0, wxEXPAND | wxALL, 6);
    p->SetSizer(col);
    return p;
}

void CPlayerPanel::Show(const Recording& r) {
    if (r.path != path_) {
        player_.Close();
        timer_.Stop();
        path_ = r.path;
        message_.clear();
    }
    duration_ = r.probed ? r.info.duration : -1;
    frame_ = wxBitmap();
    if (!r.frame.rgb.empty()) {
        wxImage img(r.frame.width, r.frame.height);
        std::copy(r.frame.rgb.begin(), r.frame.rgb.end(), img.GetData());
        frame_ = wxBitmap(img);
    }
    title_->SetLabel(wxString::FromUTF8(r.name));
    std::string detail = r.probed ? (r.info.ok ? r.info.format : "not a video file libavformat can read") : "";
    if (!r.probed) detail = "reading…";
    detail_->SetLabel(wxString::FromUTF8(detail));
    detail_->SetForegroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT));
    controls_->Layout();
    UpdateControls();
    video_->Refresh();
}

void CPlayerPanel::Clear() {
    player_.Close();
    timer_.Stop();
    path_.clear();
    message_.clear();
    frame_ = wxBitmap();
    title_->SetLabel("");
    detail_->SetLabel("");
    UpdateControls();
    video_->Refresh();
}

void CPlayerPanel::Release(const std::string& path) {
    if (path != path_ || !player_.IsOpen()) return;
    player_.Close();
    timer_.Stop();
    UpdateControls();
    video_->Refresh();
}

bool CPlayerPanel::EnsureOpen() {
    if (player_.IsOpen()) return true;
    if (path_.empty()) return false;
    std::string error;
    if (!player_.Open(path_, NativeXidOf(video_), &error)) {
        message_ = error;
        video_->Refresh();
        return false;
    }
    player_.SetVolume(volume_->GetValue() / 100.0);
    message_.clear();
    timer_.Start(100);
    return true;
}

void CPlayerPanel::Play() {
    if (!EnsureOpen()) return;
    player_.Play();
    UpdateControls();
    video_->Refresh();
}

void CPlayerPanel::TogglePlay() {
    if (player_.Playing())
        player_.Pause();
    else
        Play();
    UpdateControls();
}

void CPlayerPanel::Step(bool forward) {
    if (!EnsureOpen()) return;
    player_.Step(forward);
    UpdateControls();
}

void CPlayerPanel::SeekTo(double seconds) {
    if (!EnsureOpen()) return;
    player_.Seek(seconds);
    UpdateControls();
}

void CPlayerPanel::SetControlsShown(bool shown) {
    controls_->Show(shown);
    Layout();
}

void CPlayerPanel::FocusPicture() { video_->SetFocus(); }

int CPlayerPanel::Volume() const { return volume_->GetValue(); }

void CPlayerPanel::OnTick(wxTimerEvent&) {
    std::string error;
    switch (player_.Poll(&error)) {
    case Player::Event::Failed:
        // A file deleted or cut short while playing ends here, with its reason.
        player_.Close();
        timer_.Stop();
        message_ = error.empty() ? "The file cannot be played." : error;
        video_->Refresh();
        break;
    case Player::Event::SoundMissing:
        // The picture plays on; the line under the title says why it is silent.
        detail_->SetLabel(wxString::FromUTF8(error));
        detail_->SetForegroundColour(wxColour(200, 40, 30));
        controls_->Layout();
        break;
    case Player::Event::Ended: break;
    case Player::Event::None: break;
    }
    UpdateControls();
}

void CPlayerPanel::OnSeekDrag(wxScrollEvent&) {
    dragging_ = true;
    const double d = player_.IsOpen() ? player_.Duration() : duration_;
    if (d > 0)
        time_->SetLabel(TimeText(d * seek_->GetValue() / kSeekSteps) + " / " + TimeText(d));
}

void CPlayerPanel::OnSeekDone(wxScrollEvent&) {
    dragging_ = false;
    const double d = player_.IsOpen() ? player_.Duration() : duration_;
    if (d > 0) SeekTo(d * seek_->GetValue() / kSeekSteps);
}

void CPlayerPanel::UpdateControls() {
    const bool any = !path_.empty();
    for (wxWindow* w : {static_cast<wxWindow*>(play_), static_cast<wxWindow*>(back_),
                        static_cast<wxWindow*>(forward_), static_cast<wxWindow*>(seek_)})
        w->Enable(any);
    const bool playing = player_.Playing();
    play_->SetBitmap(Icon(playing ? "media-playback-pause" : "media-playback-start"));
    play_->SetToolTip(playing ? "Pause (Space)" : "Play (Space)");
    const double d = player_.IsOpen() && player_.Duration() > 0 ? player_.Duration() : duration_;
    const double p = player_.IsOpen() ? std::max(0.0, player_.Position()) : 0.0;
    if (!dragging_) {
        seek_->SetValue(d > 0 ? int(std::lround(std::min(1.0, p / d) * kSeekSteps)) : 0);
        time_->SetLabel(any ? TimeText(p) + " / " + TimeText(d) : wxString("--:-- / --:--"));
    }
}

// Until the player draws, the picture area shows the preview frame, or the
// reason the file does not play.
void CPlayerPanel::OnPaintVideo(wxPaintEvent&) {
    if (player_.IsOpen()) {
        // The sink draws the picture; painting here would cover it.
        wxPaintDC dc(video_);
        player_.Expose();
        return;
    }
    wxAutoBufferedPaintDC dc(video_);
    dc.SetBackground(*wxBLACK_BRUSH);
    dc.Clear();
    const wxSize c = video_->GetClientSize();
    if (frame_.IsOk() && c.x > 0 && c.y > 0) {
        const double s = std::min(double(c.x) / frame_.GetWidth(), double(c.y) / frame_.GetHeight());
        const int w = std::max(1, int(frame_.GetWidth() * s)), h = std::max(1, int(frame_.GetHeight() * s));
        wxImage img = frame_.ConvertToImage().Scale(w, h, wxIMAGE_QUALITY_BILINEAR);
        dc.DrawBitmap(wxBitmap(img), (c.x - w) / 2, (c.y - h) / 2);
    }
    wxString text = wxString::FromUTF8(message_);
    if (text.empty() && !frame_.IsOk())
        text = path_.empty() ? "Choose a recording to play it here." : "No picture to show.";
    if (!text.empty()) DrawNotice(dc, text, c);
}

// The text on a dark box in the middle of the picture, wrapped to fit, so it
// reads over any picture.
void CPlayerPanel::DrawNotice(wxDC& dc, const wxString& text, const wxSize& area) {
    dc.SetFont(GetFont().Larger());
    const int pad = FromDIP(12), maxW = std::max(FromDIP(120), std::min(area.x - 4 * pad, FromDIP(560)));
    // Greedy word wrap into lines no wider than maxW.
    wxArrayString lines;
    wxString line;
    for (const wxString& word : wxSplit(text, ' ', 0)) {
        const wxString tryLine = line.empty() ? word : line + " " + word;
        if (!line.empty() && dc.GetTextExtent(tryLine).x > maxW) lines.Add(line), line = word;
        else line = tryLine;
    }
    if (!line.empty()) lines.Add(line);
    int w = 0;
    const int lh = dc.GetCharHeight();
    for (const wxString& l : lines) w = std::max(w, dc.GetTextExtent(l).x);
    const int h = lh * int(lines.size());
    const wxRect box((area.x - w) / 2 - pad, (area.y - h) / 2 - pad, w + 2 * pad, h + 2 * pad);
    dc.SetPen(wxPen(wxColour(90, 90, 96)));
    dc.SetBrush(wxBrush(wxColour(24, 24, 28)));
    dc.DrawRoundedRectangle(box, FromDIP(6));
    dc.SetTextForeground(*wxWHITE);
    for (size_t i = 0; i < lines.size(); ++i)
        dc.DrawText(lines[i], (area.x - dc.GetTextExtent(lines[i]).x) / 2, box.y + pad + lh * int(i));
}

}  // namespace calvex
