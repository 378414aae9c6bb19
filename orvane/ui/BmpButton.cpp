#include "orvane/ui/BmpButton.h"

#include <wx/dcbuffer.h>

#include "orvane/ui/Skin.h"

bool CBmpButton::s_heldDown = false;
bool CBmpButton::s_togglePending = false;

CBmpButton::CBmpButton(wxWindow* parent, int command, const wxPoint& pos)
    : wxWindow(parent, wxID_ANY, pos, wxSize(1, 1), wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE),
      m_command(command) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &CBmpButton::OnPaint, this);
    Bind(wxEVT_MOTION, &CBmpButton::OnMotion, this);
    Bind(wxEVT_ENTER_WINDOW, &CBmpButton::OnMotion, this);
    Bind(wxEVT_LEAVE_WINDOW, &CBmpButton::OnLeave, this);
    Bind(wxEVT_LEFT_DOWN, &CBmpButton::OnLeftDown, this);
    Bind(wxEVT_LEFT_DCLICK, &CBmpButton::OnLeftDown, this);
    Bind(wxEVT_LEFT_UP, &CBmpButton::OnLeftUp, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &CBmpButton::OnCaptureLost, this);
    Bind(wxEVT_KILL_FOCUS, &CBmpButton::OnKillFocus, this);
}

bool CBmpButton::LoadBitmaps(int hover, int normal, int pressed, int disabled) {
    if (hover == 0 || normal == 0 || pressed == 0 || disabled == 0) return false;
    for (auto& b : m_bitmaps) b = wxBitmap();
    const int ids[4] = {hover, normal, pressed, disabled};
    for (int i = 0; i < 4; ++i) {
        m_bitmaps[i] = LoadSkinBitmap(ids[i]);
        if (!m_bitmaps[i].IsOk()) return false;
    }
    SetSize(m_bitmaps[0].GetWidth(), m_bitmaps[0].GetHeight());
    Redraw();
    return true;
}

void CBmpButton::SetToggle(bool enable) {
    if (enable == m_toggle) return;
    m_toggle = enable;
    Redraw();
}

void CBmpButton::SetToggled(bool state) {
    if (!m_toggle || state == m_toggled) return;
    m_toggled = state;
    Redraw();
}

bool CBmpButton::Enable(bool enable) {
    const bool changed = wxWindow::Enable(enable);
    SetState(enable ? kNormal : kDisabled);
    return changed;
}

// A toggled button shows its pressed picture instead of the normal one.
void CBmpButton::SetState(int s) {
    if (s < 0 || s > 3) return;
    if (m_toggle && m_toggled && s == kNormal) s = kPressed;
    if (s == m_state || !m_bitmaps[s].IsOk()) return;
    m_state = s;
    Refresh(false);
}

// Full repaint: the state is worked out again from scratch.
void CBmpButton::Redraw() {
    m_state = -1;
    SetState(!IsThisEnabled() ? kDisabled : m_selected ? kPressed : kNormal);
    Refresh(false);
}

void CBmpButton::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    if (m_backdrop && m_backdrop->IsOk()) {
        const wxPoint p = GetPosition();
        dc.DrawBitmap(*m_backdrop, -p.x, -p.y, false);
    } else {
        dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
        dc.Clear();
    }
    if (m_state < 0) {
        const int s = !IsThisEnabled() ? kDisabled : m_selected ? kPressed : kNormal;
        m_state = (m_toggle && m_toggled && s == kNormal) ? kPressed : s;
    }
    if (m_bitmaps[m_state].IsOk()) dc.DrawBitmap(m_bitmaps[m_state], 0, 0, true);
}

void CBmpButton::OnMotion(wxMouseEvent& e) {
    e.Skip();
    if (!IsThisEnabled()) return;
    if (!s_heldDown && !m_toggled) SetState(kHover);
}

void CBmpButton::OnLeave(wxMouseEvent& e) {
    e.Skip();
    if (IsThisEnabled()) SetState(kNormal);
}

void CBmpButton::OnKillFocus(wxFocusEvent& e) {
    e.Skip();
    if (IsThisEnabled()) SetState(kNormal);
}

void CBmpButton::OnLeftDown(wxMouseEvent&) {
    if (!IsThisEnabled()) return;
    s_togglePending = true;
    s_heldDown = true;
    m_selected = true;
    if (!HasCapture() && IsShownOnScreen()) CaptureMouse();
    SetState(kPressed);
}

void CBmpButton::OnLeftUp(wxMouseEvent& e) {
    const bool inside = wxRect(GetClientSize()).Contains(e.GetPosition());
    const bool wasSelected = m_selected;
    if (s_togglePending && m_toggle) {
        s_togglePending = false;
        if (inside) m_toggled = !m_toggled;
    }
    s_heldDown = false;
    m_selected = false;
    if (HasCapture()) ReleaseMouse();
    Redraw();
    if (inside && wasSelected && m_forward && IsThisEnabled()) {
        wxCommandEvent click(wxEVT_BUTTON, m_command);
        click.SetEventObject(this);
        GetParent()->GetEventHandler()->ProcessEvent(click);
    }
}

void CBmpButton::OnCaptureLost(wxMouseCaptureLostEvent&) {
    s_heldDown = false;
    m_selected = false;
    Redraw();
}
