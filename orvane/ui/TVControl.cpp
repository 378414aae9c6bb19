#include "orvane/ui/TVControl.h"

#include <wx/dcbuffer.h>
#include <wx/graphics.h>

#include "orvane/ui/ControlDlg.h"
#include "orvane/ui/Skin.h"
#include "orvane/ui/SkinTable.h"
#include "orvane/ui/ViewerHost.h"
#include "orvane/ui/dispDlg.h"

CTVControl::CTVControl(wxWindow* owner, ViewerHost& host)
    : wxFrame(owner, wxID_ANY, "Tellura Remote-Control Unit", wxDefaultPosition,
              wxSize(kKeypadWidth, kKeypadHeight),
              wxFRAME_SHAPED | wxBORDER_NONE | wxFRAME_TOOL_WINDOW | wxFRAME_NO_TASKBAR |
                  (owner ? wxFRAME_FLOAT_ON_PARENT : 0)),
      m_host(host), m_lapse(this, TIMER_KEYPAD) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    m_background = LoadSkinBitmap(IDB_KEYPAD);
    if (m_background.IsOk()) SetSize(m_background.GetWidth(), m_background.GetHeight());
    // Round the corners to the skin's body.
    wxGraphicsPath shape = wxGraphicsRenderer::GetDefaultRenderer()->CreatePath();
    shape.AddRoundedRectangle(0, 0, kKeypadWidth, kKeypadHeight, 22);
    SetShape(shape);
    for (const ButtonSpec& b : kKeypadButtons) {
        auto* button = new CBmpButton(this, b.id, wxPoint(b.x, b.y));
        button->SetBackdrop(&m_background);
        button->LoadBitmaps(b.bitmaps[0], b.bitmaps[1], b.bitmaps[2], b.bitmaps[3]);
        button->SetToolTip(b.tip);
        m_buttons[b.id] = button;
    }
    DockToPanel();
    Bind(wxEVT_BUTTON, &CTVControl::OnButton, this);
    Bind(wxEVT_TIMER, [this](wxTimerEvent&) { OnLapse(); }, TIMER_KEYPAD);
    Bind(wxEVT_PAINT, &CTVControl::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, &CTVControl::OnLeftDown, this);
    Bind(wxEVT_MOTION, &CTVControl::OnMotion, this);
    Bind(wxEVT_LEFT_UP, &CTVControl::OnLeftUp, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent&) { m_dragOffset = {-1, -1}; });
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& e) {
        if (e.GetKeyCode() == WXK_ESCAPE) HandleCommand(IDC_KEY_HIDE);
        else e.Skip();
    });
}

CBmpButton* CTVControl::GetButton(int id) {
    auto it = m_buttons.find(id);
    return it == m_buttons.end() ? nullptr : it->second;
}

void CTVControl::PressKey(int n) {
    m_host.HoldLineInput();
    HandleCommand(IDC_KEY_0 + n);
}

void CTVControl::SelectChannel(int number) {
    if (!m_host.IsTunerInputSelected()) return;
    m_pending = 0;
    m_lapse.Stop();
    m_host.SelectChannelNumber(number);
}

void CTVControl::DockToPanel() {
    if (CControlDlg* panel = m_host.ControlPanel()) {
        const wxPoint p = panel->GetPosition();
        Move(p.x + kKeypadDockX, p.y + kKeypadDockY);
    }
}

void CTVControl::HandleCommand(int id) {
    if (id >= IDC_KEY_0 && id <= IDC_KEY_9) Digit(id - IDC_KEY_0);
    else if (id == IDC_KEY_DIGITS) ToggleDigitMode();
    else if (id == IDC_KEY_SOUND) ToggleSoundSource();
    else if (id == IDC_KEY_HIDE) {
        m_host.SetKeypadShown(false);
        Hide();
    }
}

// One-digit mode selects at once; two-digit mode waits up to 3 s for the
// second digit. A first 0 is kept as 100 so that "0 7" selects 7.
void CTVControl::Digit(int d) {
    m_host.HoldLineInput();
    if (m_host.IsSingleDigit()) {
        SelectChannel(d);
        m_pending = 0;
        return;
    }
    if (m_pending > 9) {
        m_pending += d;
        if (m_pending > 99) m_pending -= 100;
        SelectChannel(m_pending);
        return;
    }
    m_pending = d * 10;
    ShowOsdNumber(wxString::Format("%d_", d));
    if (d == 0) m_pending = 100;
    m_lapse.StartOnce(kLapseMs);
}

void CTVControl::OnLapse() {
    m_lapse.Stop();
    m_pending = 0;
}

void CTVControl::ToggleDigitMode() {
    const bool single = !m_host.IsSingleDigit();
    m_host.SetSingleDigit(single);
    ShowPanelIndicator(IDC_SINGLE_DIGIT_INDICATOR, single);
    ShowOsdNumber(single ? "_" : "__");
}

void CTVControl::ToggleSoundSource() {
    if (!m_host.IsSoundOn()) return;
    const bool tuner = !m_host.IsTvSound();
    m_host.SetTvSound(tuner);
    if (!tuner) {
        m_host.SetCardTvSound(0);
        m_host.SetCardLineSound(1);
    } else {
        m_host.SetCardTvSound(1);
    }
    ShowPanelIndicator(IDC_LINE_SOUND_INDICATOR, !tuner);
}

void CTVControl::ShowPanelIndicator(int id, bool show) {
    if (CControlDlg* panel = m_host.ControlPanel())
        if (CBmpButton* b = panel->GetButton(id)) b->Show(show);
}

void CTVControl::ShowOsdNumber(const wxString& text) {
    if (CDispDlg* osd = m_host.Osd()) osd->ShowNumber(text);
}

void CTVControl::OnButton(wxCommandEvent& e) { HandleCommand(e.GetId()); }

void CTVControl::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    if (m_background.IsOk()) dc.DrawBitmap(m_background, 0, 0, false);
    else dc.Clear();
}

// Dragged by its background; the next move of the panel docks it again.
void CTVControl::OnLeftDown(wxMouseEvent& e) {
    m_dragOffset = e.GetPosition();
    if (!HasCapture() && IsShownOnScreen()) CaptureMouse();
}

void CTVControl::OnMotion(wxMouseEvent& e) {
    if (m_dragOffset.x < 0 || !e.LeftIsDown()) return;
    Move(ClientToScreen(e.GetPosition()) - m_dragOffset);
}

void CTVControl::OnLeftUp(wxMouseEvent&) {
    m_dragOffset = {-1, -1};
    if (HasCapture()) ReleaseMouse();
}
