#include "orvane/ui/ControlDlg.h"

#include <wx/dcbuffer.h>
#include <wx/region.h>
#include <wx/thread.h>

#include "orvane/ui/Skin.h"
#include "orvane/ui/SkinTable.h"
#include "orvane/ui/TVControl.h"
#include "orvane/ui/ViewerHost.h"

CControlDlg::CControlDlg(ViewerHost& host)
    : wxFrame(nullptr, wxID_ANY, "Tellura Control Panel", wxDefaultPosition,
              wxSize(kPanelSize, kPanelSize),
              wxFRAME_SHAPED | wxBORDER_NONE | wxFRAME_TOOL_WINDOW | wxFRAME_NO_TASKBAR),
      m_host(host) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    m_background = LoadSkinBitmap(IDB_PANEL);
    if (m_background.IsOk()) SetSize(m_background.GetWidth(), m_background.GetHeight());

    wxPoint shape[65];
    for (int i = 0; i < 65; ++i) shape[i] = wxPoint(kPanelShape[i][0], kPanelShape[i][1]);
    SetShape(wxRegion(65, shape, wxWINDING_RULE));

    CreateButtons();
    Bind(wxEVT_BUTTON, &CControlDlg::OnButton, this);
    Bind(wxEVT_PAINT, &CControlDlg::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, &CControlDlg::OnLeftDown, this);
    Bind(wxEVT_MOTION, &CControlDlg::OnMotion, this);
    Bind(wxEVT_LEFT_UP, &CControlDlg::OnLeftUp, this);
    Bind(wxEVT_MOVE, &CControlDlg::OnMove, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent&) { m_dragOffset = {-1, -1}; });
    // Esc is the main window's key (full screen on and off) even after a
    // click on a button left the focus here.
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& e) {
        wxWindow* target = m_host.CommandTarget();
        if (e.GetKeyCode() != WXK_ESCAPE || !target) {
            e.Skip();
            return;
        }
        wxKeyEvent copy(e);
        copy.SetEventObject(target);
        target->GetEventHandler()->ProcessEvent(copy);
    });
}

bool CControlDlg::Show(bool show) {
    if (show && !IsShown()) m_keeper.Arm();
    return wxFrame::Show(show);
}

void CControlDlg::CreateButtons() {
    for (const ButtonSpec& b : kPanelButtons) {
        auto* button = new CBmpButton(this, b.id, wxPoint(b.x, b.y));
        button->SetBackdrop(&m_background);
        button->LoadBitmaps(b.bitmaps[0], b.bitmaps[1], b.bitmaps[2], b.bitmaps[3]);
        button->SetToggle(b.toggle);
        button->SetForwardClicks(!b.indicator);
        if (*b.tip) button->SetToolTip(b.tip);
        m_buttons[b.id] = button;
    }
    // The recording indicator is hidden until a recording runs.
    m_buttons[IDC_REC_INDICATOR]->Hide();
}

CBmpButton* CControlDlg::GetButton(int id) {
    auto it = m_buttons.find(id);
    return it == m_buttons.end() ? nullptr : it->second;
}

void CControlDlg::SetDisplayText(const wxString& text) {
    if (text.length() > kMaxDisplayText) return;
    if (!wxThread::IsMain()) {  // the channel scan reports from its own thread
        CallAfter([this, t = text.Clone()] { SetDisplayText(t); });
        return;
    }
    m_text = text;
    RefreshRect(wxRect(wxPoint(kDisplayLeft, kDisplayTop), wxPoint(kDisplayRight, kDisplayBottom)),
                false);
}

// Sent synchronously, as the main window's own command.
void CControlDlg::OnButton(wxCommandEvent& e) {
    wxWindow* target = m_host.CommandTarget();
    if (!target) return;
    wxCommandEvent cmd(wxEVT_MENU, e.GetId());
    cmd.SetEventObject(e.GetEventObject());
    target->GetEventHandler()->ProcessEvent(cmd);
}

void CControlDlg::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    if (m_background.IsOk()) dc.DrawBitmap(m_background, 0, 0, false);
    else dc.Clear();
    dc.SetFont(wxFont(wxFontInfo(wxSize(0, 18)).Family(wxFONTFAMILY_SWISS).FaceName("Arial")));
    dc.SetTextForeground(wxColour(0, 255, 0));
    dc.SetTextBackground(*wxBLACK);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    const wxSize ext = dc.GetTextExtent(m_text);
    dc.DrawText(m_text, 160 - ext.x / 2, kDisplayTop);
}

// Dragging by any point of the background moves the panel.
void CControlDlg::OnLeftDown(wxMouseEvent& e) {
    m_keeper.Disarm();
    m_dragOffset = e.GetPosition();
    if (!HasCapture() && IsShownOnScreen()) CaptureMouse();
}

void CControlDlg::OnMotion(wxMouseEvent& e) {
    if (m_dragOffset.x < 0 || !e.LeftIsDown()) return;
    Move(ClientToScreen(e.GetPosition()) - m_dragOffset);
}

void CControlDlg::OnLeftUp(wxMouseEvent&) {
    m_dragOffset = {-1, -1};
    if (HasCapture()) ReleaseMouse();
}

// The keypad stays docked to the panel's right side.
void CControlDlg::OnMove(wxMoveEvent& e) {
    e.Skip();
    if (CTVControl* keypad = m_host.Keypad()) keypad->DockToPanel();
}
