// Main window modes: full screen, always on top, the 4:3 lock, normal and
// forced sizes, the sizing rules and what follows every size change.
#include "orvane/ui/OrvaneDlg.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

#include <wx/display.h>

#include "orvane/core/Settings.h"
#include "orvane/ui/ControlDlg.h"
#include "orvane/ui/Resource.h"
#include "orvane/ui/TVControl.h"
#include "orvane/ui/dispDlg.h"
#include "strova/Strova.h"

using orvane::Rt;

namespace {

std::vector<orvane::Rect> Monitors() {
    std::vector<orvane::Rect> out;
    for (unsigned i = 0; i < wxDisplay::GetCount(); ++i) {
        const wxRect g = wxDisplay(i).GetGeometry();
        out.push_back({g.x, g.y, g.width, g.height});
    }
    return out;
}

int ToInt(long long v) { return int(std::clamp<long long>(v, INT_MIN / 2, INT_MAX / 2)); }

}  // namespace

// The stored rectangle, put back on a monitor when the settings file holds
// one no screen shows (another monitor layout, a damaged or edited file).
void COrvaneDlg::PlaceStoredWindow() {
    const orvane::RunTime& rt = Rt();
    const orvane::Rect stored{ToInt(rt.lMainWnd), ToInt(rt.tMainWnd), ToInt(1LL * rt.rMainWnd - rt.lMainWnd),
                              ToInt(1LL * rt.bMainWnd - rt.tMainWnd)};
    const orvane::Rect r = orvane::PlaceOnScreen(stored, Monitors());
    SetSize(r.x, r.y, r.w, r.h);
}

void COrvaneDlg::PlaceStoredPanel() {
    if (!m_panel) return;
    const wxSize s = m_panel->GetSize();
    const orvane::Rect r = orvane::PlaceOnScreen({Rt().xToolWnd, Rt().yToolWnd, s.x, s.y}, Monitors());
    m_panel->Move(r.x, r.y);
}

// Full screen places the window 5 pixels beyond each edge of its screen so
// the border lies off screen. Leaving it asks for the rectangle from before
// and holds it until the screen shows it (see PlacementKeeper).
void COrvaneDlg::ToggleFullScreen() {
    if (m_fullScreen) {
        m_fullScreen = false;
        const orvane::Rect& r = m_restoreRect;
        m_keeper.Hold(wxRect(r.x, r.y, r.w, r.h));
        LayoutVideo();  // the border again, even if no size change is reported
        Refresh(false);
        CheckMenu(ID_FULLSCREEN, false);
        SetButtonToggled(ID_FULLSCREEN, false);
        SetButtonTip(ID_FULLSCREEN, "Full Screen");
        return;
    }
    // Where the window is meant to be, not what wx last heard.
    const wxRect before = m_keeper.Intended();
    m_keeper.Disarm();
    m_restoreRect = {before.x, before.y, before.width, before.height};
    const int index = wxDisplay::GetFromWindow(this);
    const wxRect screen = wxDisplay(index == wxNOT_FOUND ? 0u : unsigned(index)).GetGeometry();
    const orvane::Rect r = orvane::FullScreenRect(screen.width, screen.height);
    m_fullScreen = true;
    m_fullScreenRect = screen;
    SetSize(screen.x + r.x, screen.y + r.y, r.w, r.h);
    CheckMenu(ID_FULLSCREEN, true);
    SetButtonToggled(ID_FULLSCREEN, true);
    SetButtonTip(ID_FULLSCREEN, "Restore");
}

bool COrvaneDlg::IsOnTop() const { return m_onTop; }

void COrvaneDlg::ToggleOnTop() {
    const bool top = !m_onTop;
    m_onTop = top;
    const long style = GetWindowStyleFlag();
    SetWindowStyleFlag(top ? style | wxSTAY_ON_TOP : style & ~wxSTAY_ON_TOP);
    CheckMenu(ID_ALWAYS_ON_TOP, top);
    SetButtonToggled(ID_ALWAYS_ON_TOP, top);
    SetButtonTip(ID_ALWAYS_ON_TOP, top ? "Restore" : "Always On Top");
    Rt().isTopMost = top ? 1 : 0;
    if (m_help) m_help->KeepAbove(top);
}

void COrvaneDlg::Toggle43() {
    orvane::RunTime& rt = Rt();
    rt.isFixed43 = rt.isFixed43 ? 0 : 1;
    CheckMenu(ID_FORCE_RATIO_43, rt.isFixed43 != 0);
    if (!rt.isFixed43) return;
    const wxSize s = GetSize();
    Resize(s.x, orvane::LockedHeight(s.x));
}

// The picture's own size plus the border, from the preview output where the
// device has one.
void COrvaneDlg::NormalSize() {
    if (m_fullScreen) ToggleFullScreen();
    const int dev = Rt().deviceIndex;
    int preview = 0;
    Strova_IsPreviewPinExisted(dev, &preview);
    VideoInfo info{};
    if (Strova_GetVideoInfo(dev, &info, preview ? STROVA_PIN_PREVIEW : STROVA_PIN_CAPTURE) < 0) return;
    const orvane::Rect r = orvane::WindowForPicture(0, 0, info.bmi.width, std::abs(info.bmi.height));
    Resize(r.w, r.h);
}

void COrvaneDlg::ForceSize(int w, int h) {
    const orvane::Rect r = orvane::WindowForPicture(0, 0, w, h);
    Resize(r.w, r.h);
}

// The position kept is where the window is meant to be: a restore or size
// still on its way counts, a stale report of wx does not.
void COrvaneDlg::Resize(int w, int h) {
    m_keeper.Hold(wxRect(m_keeper.Intended().GetPosition(), wxSize(std::max(w, 1), std::max(h, 1))));
}

orvane::Rect COrvaneDlg::SizingRect(orvane::Rect proposed, orvane::Edge edge) {
    const orvane::Rect r = orvane::SizeWhileDragging(proposed, edge, Rt().isFixed43 != 0);
    m_borderForward = orvane::BorderForward(edge, r, m_lastSizing);
    m_lastSizing = r;
    return r;
}

void COrvaneDlg::AfterSizeChange() {
    if (!IsIconized() && !m_fullScreen && m_keypad && m_panel && m_panel->IsShown())
        m_keypad->Show(Rt().ctrShow != 0);
    LayoutVideo();
    if (m_osd && IsShown()) m_osd->Reposition(this, true);
}
