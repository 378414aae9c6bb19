#include "orvane/ui/dispDlg.h"

#include <wx/dcbuffer.h>
#include <wx/thread.h>
#include <wx/arrstr.h>

#include "orvane/ui/ControlDlg.h"
#include "orvane/ui/Resource.h"
#include "orvane/ui/TVControl.h"
#include "orvane/ui/ViewerHost.h"

namespace osd {

Offsets BottomLeftOffsets(int clientW, int clientH) {
    const int x = std::max(6, clientW / 15);
    const int y = clientH / 10 < 13 ? clientH - 13 : clientH - clientH / 10;
    return {x, y};
}

wxRect NumberRect(const wxRect& screen, size_t chars) {
    return wxRect(screen.GetRight() + 1 - 60, screen.y + 15, int(chars) * 15, 32);
}

wxRect TextRect(const wxRect& screen, Offsets o, size_t chars) {
    return wxRect(screen.x + o.x, screen.y + o.y, int(chars) * 7, 16);
}

wxRect BarRect(const wxRect& screen, Offsets o, int clientW) {
    return wxRect(screen.x + o.x, screen.y + o.y, clientW * 13 / 15, 16);
}

int BarMarks(int clientW) { return (clientW * 13 / 15 - 55) / 4; }

wxColour KeyColour(int cardModel, bool useSnapCap) {
    if (cardModel != 1) return wxColour(16, 0, 0);
    return useSnapCap ? wxColour(0, 0, 198) : wxColour(16, 0, 16);
}

}  // namespace osd

namespace {
const wxColour kFigures(0, 255, 0), kBarDim(0, 155, 0), kBarLit(0, 225, 0);

wxFont SmallFont() { return wxFont(wxFontInfo(wxSize(0, 12)).Family(wxFONTFAMILY_SWISS)); }
}  // namespace

CDispDlg::CDispDlg(wxWindow* owner, ViewerHost& host)
    : wxFrame(owner, wxID_ANY, "Tellura OSD", wxDefaultPosition, wxSize(30, 32),
              wxBORDER_NONE | wxFRAME_TOOL_WINDOW | wxFRAME_NO_TASKBAR |
                  (owner ? wxFRAME_FLOAT_ON_PARENT : 0)),
      m_host(host), m_timer(this, TIMER_OSD) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &CDispDlg::OnPaint, this);
    Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Tick(); }, TIMER_OSD);
    Bind(wxEVT_LEFT_DOWN, &CDispDlg::OnLeftDown, this);
    Bind(wxEVT_LEFT_DCLICK, &CDispDlg::OnLeftDown, this);
    Bind(wxEVT_MOTION, &CDispDlg::OnMotion, this);
    m_timer.Start(kTickMs);
}

// The channel scan calls these from its own thread: hand the work over.
void CDispDlg::ShowNumber(const wxString& text) {
    if (wxThread::IsMain()) ShowNumberNow(text);
    else CallAfter([this, t = text.Clone()] { ShowNumberNow(t); });
}

void CDispDlg::ShowText(const wxString& text) {
    if (wxThread::IsMain()) ShowTextNow(text);
    else CallAfter([this, t = text.Clone()] { ShowTextNow(t); });
}

void CDispDlg::ShowMessage(const wxString& text) {
    if (!wxThread::IsMain()) {
        CallAfter([this, t = text.Clone()] { ShowMessage(t); });
        return;
    }
    m_text = text;
    m_numberMode = false;
    m_textMode = true;
    m_sticky = true;
    m_level = m_range = 100;
    m_tick = 0;
    Present(false);
}

void CDispDlg::ClearMessage() {
    if (!m_sticky) return;
    m_sticky = false;
    m_lines.clear();
    Hide();
    m_showing = false;
}

void CDispDlg::ShowBar(const wxString& label, int value, int maximum) {
    if (wxThread::IsMain()) ShowBarNow(label, value, maximum);
    else CallAfter([this, l = label.Clone(), value, maximum] { ShowBarNow(l, value, maximum); });
}

void CDispDlg::ShowNumberNow(const wxString& text) {
    m_sticky = false;
    m_text = text;
    m_numberMode = true;
    m_tick = 0;
    Present(false);
}

void CDispDlg::ShowTextNow(const wxString& text) {
    m_sticky = false;
    m_text = text;
    m_numberMode = false;
    m_textMode = true;
    m_level = m_range = 100;
    m_tick = 10;
    Present(false);
}

void CDispDlg::ShowBarNow(const wxString& label, int value, int maximum) {
    m_sticky = false;
    m_text = label;
    m_numberMode = false;
    if (maximum < value) {
        m_level = m_range = 0;
        m_tick = 3;
        Present(true);
        return;
    }
    m_textMode = false;
    // 64-bit product: a scan reports frequencies in kHz against a large maximum.
    m_level = maximum > 0 ? int(int64_t(value) * 100 / maximum) : 0;
    m_range = 100;
    m_tick = 0;
    Present(false);
}

// Shows the display and keeps the panel and keypad above it.
void CDispDlg::Present(bool raiseAlways) {
    PlaceForMode();
    Refresh(false);
    ShowWithoutActivating();
    m_showing = true;
    CControlDlg* panel = m_host.ControlPanel();
    if (!panel || (!raiseAlways && !panel->IsShown())) return;
    panel->ShowWithoutActivating();
    panel->Raise();
    CTVControl* keypad = m_host.Keypad();
    if (keypad && keypad->IsShown() && !m_host.IsScanRunning()) keypad->Raise();
}

void CDispDlg::Tick() {
    if (!m_showing || m_sticky) return;
    if (++m_tick > kHideAfter) {
        Hide();
        m_showing = false;
        m_tick = 0;
    }
}

wxRect CDispDlg::MainScreenRect(wxSize* client) const {
    wxWindow* main = m_host.CommandTarget();
    if (!main) {
        *client = wxSize(0, 0);
        return wxRect();
    }
    *client = main->GetClientSize();
    return main->GetScreenRect();
}

void CDispDlg::PlaceForMode() {
    wxSize client;
    const wxRect r = MainScreenRect(&client);
    if (m_numberMode) {
        SetSize(osd::NumberRect(r, m_text.length()));
        return;
    }
    m_offsets = osd::BottomLeftOffsets(client.x, client.y);
    if (m_sticky) {
        PlaceMessage(r, client);
        return;
    }
    SetSize(m_textMode ? osd::TextRect(r, m_offsets, m_text.length())
                       : osd::BarRect(r, m_offsets, client.x));
}

// Words go to lines no wider than the picture leaves right of the display's
// left offset; the lines grow upwards from the usual text line.
void CDispDlg::PlaceMessage(const wxRect& screen, const wxSize& client) {
    wxClientDC dc(this);
    dc.SetFont(SmallFont());
    const int room = std::max(40, client.x - 2 * m_offsets.x);
    m_lines.clear();
    wxString line;
    for (const wxString& word : wxSplit(m_text, ' ', '\0')) {
        const wxString longer = line.empty() ? word : line + " " + word;
        if (!line.empty() && dc.GetTextExtent(longer).x > room) {
            m_lines.push_back(line);
            line = word;
        } else {
            line = longer;
        }
    }
    if (!line.empty()) m_lines.push_back(line);
    int width = 0;
    for (const wxString& l : m_lines) width = std::max(width, dc.GetTextExtent(l).x + 2);
    const int height = 16 * int(m_lines.size());
    const int top = std::max(0, std::min(m_offsets.y, client.y - 2) + 16 - height);
    SetSize(wxRect(screen.x + m_offsets.x, screen.y + top, std::min(width, room), height));
}

void CDispDlg::Reposition(wxWindow* mainWindow, bool show) {
    if (!show) {
        Hide();
        return;
    }
    if (!mainWindow) return;
    const wxSize client = mainWindow->GetClientSize();
    const wxRect r = mainWindow->GetScreenRect();
    if (m_numberMode) {
        SetSize(osd::NumberRect(r, m_text.length()));
    } else {
        m_offsets = osd::BottomLeftOffsets(client.x, client.y);
        if (m_sticky) PlaceMessage(r, client);
        else SetSize(osd::BarRect(r, m_offsets, client.x));
    }
    Refresh(false);
}

wxString CDispDlg::BarLine(bool lit) const {
    wxSize client;
    MainScreenRect(&client);
    const int n = osd::BarMarks(client.x);
    wxString line = m_text + " ";
    if (n <= 0) return line;
    if (!lit) return line + wxString('|', n);
    if (m_range < 1) return wxString();
    return line + wxString('|', n * m_level / m_range);
}

void CDispDlg::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    dc.SetBackground(wxBrush(osd::KeyColour(m_host.CardModel(), m_host.UseSnapCap())));
    dc.Clear();
    if (!m_showing) return;
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    if (m_numberMode) {
        // Sized so that each figure fits the 15 pixels per character the window allows.
        dc.SetFont(wxFont(wxFontInfo(wxSize(0, 26)).Family(wxFONTFAMILY_SWISS).Bold()));
        dc.SetTextForeground(kFigures);
        dc.DrawText(m_text, 0, 1);
        return;
    }
    dc.SetFont(SmallFont());
    if (m_textMode && m_sticky) {
        dc.SetTextForeground(kFigures);
        for (size_t i = 0; i < m_lines.size(); ++i) dc.DrawText(m_lines[i], 0, 1 + 16 * int(i));
        return;
    }
    if (m_textMode) {
        m_line = m_text;
        dc.SetTextForeground(kFigures);
        dc.DrawText(m_line, 0, 1);
        return;
    }
    dc.SetTextForeground(kBarDim);
    dc.DrawText(BarLine(false), 0, 1);
    if (m_range < 1) return;
    dc.SetTextForeground(kBarLit);
    dc.DrawText(BarLine(true), 0, 1);
}

void CDispDlg::OnLeftDown(wxMouseEvent& e) {
    e.Skip();
    m_lastDrag = wxGetMousePosition();
    if (CControlDlg* panel = m_host.ControlPanel()) {
        panel->ShowWithoutActivating();
        panel->Raise();
    }
}

// Moving over the display with the left button held drags the main window.
void CDispDlg::OnMotion(wxMouseEvent& e) {
    wxWindow* main = m_host.CommandTarget();
    const wxPoint now = wxGetMousePosition();
    if (main && e.LeftIsDown() && m_lastDrag.x >= 0) main->Move(main->GetPosition() + (now - m_lastDrag));
    m_lastDrag = e.LeftIsDown() ? now : wxPoint(-1, -1);
}
