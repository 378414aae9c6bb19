#include "orvane/ui/HyperLink.h"

#include <cerrno>

#include <wx/dcbuffer.h>
#include <wx/msgdlg.h>
#include <wx/settings.h>
#include <wx/app.h>
#include <wx/utils.h>

#include "orvane/ui/OrvaneDlg.h"
#include "orvane/ui/Resource.h"
#include "platform/Process.h"

const wxColour CHyperLink::kLink(0, 0, 238);
const wxColour CHyperLink::kVisited(85, 26, 139);
const wxColour CHyperLink::kHover(255, 0, 0);

namespace {

// The opener's result for xdg-open's exit code: 2 a missing file, 3 no
// program for the target's kind, 4 the program failed.
int XdgOpenResult(int exitCode) {
    switch (exitCode) {
    case 0: return 33;
    case 1: return 27;
    case 2: return 2;
    case 3: case 4: return 31;
    default: return exitCode;
    }
}

int SpawnErrorResult(int error) {
    return error == ENOENT ? 2 : error == EACCES ? 5 : error == ENOMEM ? 8 : 0;
}

// Runs xdg-open with the target as its only argument (no shell involved) and
// reports its exit status on the UI thread once it has ended.
void OpenWithDesktop(const wxString& target, CHyperLink::Done done) {
    auto shared = std::make_shared<CHyperLink::Done>(std::move(done));
    const int error = plat::StartProcessStatus("xdg-open", {target.utf8_string()}, [shared](int code) {
        if (wxTheApp) wxTheApp->CallAfter([shared, code] { (*shared)(XdgOpenResult(code)); });
    });
    if (error) (*shared)(SpawnErrorResult(error));
}

CHyperLink::Opener& CurrentOpener() {
    static CHyperLink::Opener opener = OpenWithDesktop;
    return opener;
}

}  // namespace

wxString HyperlinkErrorText(int result) {
    switch (result) {
    case 0: return "The operating system is out\nof memory or resources.";
    case 2: return "The specified file was not found.";
    case 3: return "The specified path was not found.";
    case 5: return "The operating system denied\naccess to the specified file.";
    case 8: return "There was not enough memory to complete the operation.";
    case 11: return "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
    case 26: return "A sharing violation occurred. ";
    case 27: return "The filename association is\nincomplete or invalid.";
    case 28: return "The DDE transaction could not\nbe completed because the request timed out.";
    case 29: return "The DDE transaction failed.";
    case 30:
        return "The DDE transaction could not\nbe completed because other DDE transactions\n"
               "were being processed.";
    case 31: return "There is no application associated\nwith the given filename extension.";
    case 32: return "The specified dynamic-link library was not found.";
    default: return wxString::Format("Unknown Error (%d) occurred.", result);
    }
}

void CHyperLink::SetOpener(Opener opener) {
    CurrentOpener() = opener ? std::move(opener) : Opener(OpenWithDesktop);
}

CHyperLink::CHyperLink(wxWindow* parent, int id, const wxString& text, const wxPoint& pos,
                       const wxString& target)
    : wxWindow(parent, id, pos, wxDefaultSize, wxBORDER_NONE), m_hoverTimer(this, TIMER_HYPERLINK) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetLabel(text);
    m_target = target.empty() ? text : target;
    if (GetLabel().empty()) SetLabel(m_target);
    SetCursor(wxCursor(wxCURSOR_HAND));
    SelectFont(false);
    SetToolTip(m_target);
    Bind(wxEVT_PAINT, &CHyperLink::OnPaint, this);
    Bind(wxEVT_MOTION, &CHyperLink::OnMotion, this);
    Bind(wxEVT_ENTER_WINDOW, &CHyperLink::OnMotion, this);
    Bind(wxEVT_LEFT_UP, [this](wxMouseEvent&) { Click(); });
    Bind(wxEVT_TIMER, [this](wxTimerEvent&) { CheckHover(wxGetMousePosition()); }, TIMER_HYPERLINK);
}

CHyperLink::~CHyperLink() { *m_alive = false; }

void CHyperLink::SetTarget(const wxString& target) {
    m_target = target;
    FitToText();
    SetToolTip(m_target);
}

void CHyperLink::SetVisited(bool visited) {
    m_visited = visited;
    Refresh();
}

void CHyperLink::SetUnderline(int mode) {
    if (mode != m_underline) SelectFont(mode == kUnderlineAlways);
    m_underline = mode;
}

wxColour CHyperLink::CurrentColour() const {
    return m_over ? kHover : m_visited ? kVisited : kLink;
}

void CHyperLink::SelectFont(bool underlined) {
    m_underlined = underlined;
    wxFont f = GetParent()->GetFont();
    if (!f.IsOk()) f = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    f.SetUnderlined(underlined);
    SetFont(f);
    FitToText();
    Refresh();
}

// The window keeps its top-left corner and takes the text's size.
void CHyperLink::FitToText() {
    wxClientDC dc(this);
    dc.SetFont(GetFont());
    SetSize(dc.GetTextExtent(GetLabel()));
    SetMinSize(GetSize());
}

void CHyperLink::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
    dc.Clear();
    dc.SetFont(GetFont());
    dc.SetTextForeground(CurrentColour());
    dc.DrawText(GetLabel(), 0, 0);
}

void CHyperLink::OnMotion(wxMouseEvent&) {
    if (m_over) return;
    m_over = true;
    if (m_underline == kUnderlineHover) SelectFont(true);
    Refresh();
    m_hoverTimer.Start(100);
}

void CHyperLink::CheckHover(const wxPoint& screenPointer) {
    if (!m_over) return;
    if (wxRect(GetClientSize()).Contains(ScreenToClient(screenPointer))) return;
    m_over = false;
    m_hoverTimer.Stop();
    if (m_underline != kUnderlineAlways) SelectFont(false);
    Refresh();
}

void CHyperLink::Click() {
    m_over = false;
    Refresh();
    std::shared_ptr<bool> alive = m_alive;
    CurrentOpener()(m_target, [this, alive](int result) {
        if (*alive) Opened(result);
    });
}

void CHyperLink::Opened(int result) {
    if (result > 32) {
        SetVisited(true);
        return;
    }
    wxBell();
    const wxString text = "Unable to open hyperlink:\n\n" + HyperlinkErrorText(result);
    if (COrvaneDlg::MessageBoxHook()) COrvaneDlg::MessageBoxHook()(text, "Error", wxOK | wxICON_EXCLAMATION);
    else wxMessageBox(text, "Error", wxOK | wxICON_EXCLAMATION, this);
}
