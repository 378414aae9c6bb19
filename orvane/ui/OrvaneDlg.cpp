// Main window: creation, layout of the video child, the animated border,
// moving and sizing by mouse, keys, and the platform window messages.
#include "orvane/ui/OrvaneDlg.h"

#include "orvane/ui/PropertyFrame.h"

#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/menu.h>
#include <wx/time.h>

#include "orvane/core/Mixer.h"
#include "orvane/core/Settings.h"
#include "orvane/ui/ControlDlg.h"
#include "orvane/ui/Menus.h"
#include "orvane/ui/Resource.h"
#include "orvane/ui/SYSTEMTRAY.h"
#include "orvane/ui/Skin.h"
#include "orvane/ui/TVControl.h"
#include "orvane/ui/dispDlg.h"
#include "platform/Paths.h"
#include "strova/Strova.h"

using orvane::Rt;

namespace {

// Template 102 is 263 x 201 dialog units; the stored rectangle replaces it.
const wxSize kTemplateSize(395, 327);

}  // namespace

unsigned long NativeXidOf(wxWindow* w);  // OrvaneDlgNative.cpp
bool WindowManagerRunning();             // OrvaneDlgNative.cpp

COrvaneDlg::COrvaneDlg()
    : wxFrame(nullptr, wxID_ANY, wxString(), wxDefaultPosition, kTemplateSize,
              wxBORDER_NONE | wxCLIP_CHILDREN | wxSYSTEM_MENU | wxMINIMIZE_BOX),
      m_timer(this, TIMER_MAIN), m_keeper(this) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetBackgroundColour(*wxBLACK);
    SetMinSize(wxSize(orvane::kMinWidth, orvane::kMinHeight));
    m_hwnd = plat::CreateWindowHandle(nullptr);
    plat::SetMessageSink(
        m_hwnd, [this](plat::UINT msg, plat::WPARAM wp, plat::LPARAM lp) { return OnWindowMessage(msg, wp, lp); },
        [](std::function<void()> task) {
            if (wxTheApp) wxTheApp->CallAfter(std::move(task));
        });
    CreateVideoWindow();
    BindEvents();
    BindCommands();
}

COrvaneDlg::~COrvaneDlg() {
    RegisterPropertyFrameHost(nullptr);
    m_timer.Stop();
    StopRemote();
    if (m_scanRunning.load()) {
        if (m_evContinue) plat::ResetEvent(m_evContinue);
        if (m_evStop) plat::SetEvent(m_evStop);
    }
    JoinScan();
    // The panel has no parent; the main window takes it down with itself.
    if (m_panel) m_panel->Destroy();
    m_panel = nullptr;
    m_tray.reset();
    delete m_menu;
    if (m_hwnd) plat::DestroyWindowHandle(m_hwnd);
    for (plat::HANDLE h : {m_evContinue, m_evStop, m_evStopRemote})
        if (h) plat::CloseHandle(h);
    if (Rt().mainWindow == this) Rt().mainWindow = nullptr;
}

void COrvaneDlg::CreateVideoWindow() {
    const orvane::Rect pic = orvane::PictureRect(GetClientSize().x, GetClientSize().y);
    m_video = new wxWindow(this, wxID_ANY, wxPoint(pic.x, pic.y), wxSize(pic.w, pic.h),
                           wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE);
    m_video->SetBackgroundStyle(wxBG_STYLE_PAINT);
    // The sink paints this window; an empty handler keeps GTK from erasing it.
    m_video->Bind(wxEVT_PAINT, [this](wxPaintEvent&) { wxPaintDC dc(m_video); });
    // Clicks on the picture act as clicks on the window.
    auto forward = [this](wxMouseEvent& e) {
        wxMouseEvent copy(e);
        copy.SetPosition(ScreenToClient(m_video->ClientToScreen(e.GetPosition())));
        copy.SetEventObject(this);
        GetEventHandler()->ProcessEvent(copy);
    };
    for (auto type : {wxEVT_LEFT_DOWN, wxEVT_LEFT_UP, wxEVT_MOTION, wxEVT_RIGHT_DOWN, wxEVT_RIGHT_DCLICK})
        m_video->Bind(type, forward);
}

void COrvaneDlg::BindEvents() {
    Bind(wxEVT_PAINT, &COrvaneDlg::OnPaint, this);
    Bind(wxEVT_SIZE, &COrvaneDlg::OnSize, this);
    Bind(wxEVT_MOVE, &COrvaneDlg::OnMove, this);
    Bind(wxEVT_LEFT_DOWN, &COrvaneDlg::OnLeftDown, this);
    Bind(wxEVT_MOTION, &COrvaneDlg::OnMotion, this);
    Bind(wxEVT_LEFT_UP, &COrvaneDlg::OnLeftUp, this);
    Bind(wxEVT_RIGHT_DOWN, &COrvaneDlg::OnRightDown, this);
    Bind(wxEVT_RIGHT_DCLICK, &COrvaneDlg::OnRightDClick, this);
    Bind(wxEVT_CHAR_HOOK, &COrvaneDlg::OnCharHook, this);
    Bind(wxEVT_CLOSE_WINDOW, &COrvaneDlg::OnCloseWindow, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent&) { m_drag = Drag::Idle; });
    Bind(wxEVT_TIMER, [this](wxTimerEvent&) { OnTimerTick(); }, TIMER_MAIN);
    // Without a notification area hiding is a minimise; whatever brings the
    // window back from it (task bar, window manager) must run the full restore.
    // Without a window manager nothing minimises, and the first mapping of a
    // window started minimised is no restore.
    Bind(wxEVT_ICONIZE, [this](wxIconizeEvent& e) {
        e.Skip();
        if (!e.IsIconized() && m_initialised && !m_ended && Rt().hidden && WindowManagerRunning())
            ShowFromTray();
    });
}

bool COrvaneDlg::Show(bool show) {
    if (show && !IsShown()) m_keeper.Arm();
    return wxFrame::Show(show);
}

int COrvaneDlg::DoModal() {
    if (m_ended) return m_endCode;
    wxGUIEventLoop loop;  // the window's modal loop
    m_inLoop = true;
    m_loop = &loop;
    loop.Run();
    m_loop = nullptr;
    m_inLoop = false;
    return m_endCode;
}

void COrvaneDlg::EndModal(int code) {
    m_ended = true;
    m_endCode = code;
    m_timer.Stop();
    if (m_loop) m_loop->Exit(code);
}

// ---------------------------------------------------------------- layout

void COrvaneDlg::PlaceVideo() {
    if (m_fullScreen) {
        // The picture covers the screen wherever the window manager let the
        // window lie (some keep a window's corner on screen), so no part of
        // the border shows.
        const wxPoint at = GetScreenPosition();
        m_video->SetSize(m_fullScreenRect.x - at.x, m_fullScreenRect.y - at.y, m_fullScreenRect.width,
                         m_fullScreenRect.height);
        return;
    }
    const wxSize c = GetClientSize();
    const orvane::Rect pic = orvane::PictureRect(c.x, c.y);
    m_video->SetSize(pic.x, pic.y, pic.w, pic.h);
}

// The library's window follows the video child; a size it already has is not
// sent again, so the sink redraws only for real changes.
void COrvaneDlg::LayoutVideo() {
    PlaceVideo();
    const wxSize v = m_video->GetClientSize();
    if (v == m_videoSize) return;
    if (Strova_SetWindowPos(Rt().deviceIndex, 0, 0, v.x, v.y) >= 0) m_videoSize = v;
}

// Not skipped: the frame's default handler would stretch its only child,
// the picture, over the border.
void COrvaneDlg::OnSize(wxSizeEvent&) {
    PlaceVideo();
    Refresh(false);
    if (m_initialised) AfterSizeChange();
}

void COrvaneDlg::OnMove(wxMoveEvent& e) {
    e.Skip();
    if (m_fullScreen) LayoutVideo();
    if (m_initialised && m_osd && IsShown()) m_osd->Reposition(this, true);
}

orvane::Rect COrvaneDlg::WindowRect() const {
    const wxRect r = GetScreenRect();
    return {r.x, r.y, r.width, r.height};
}

// ---------------------------------------------------------------- border

void COrvaneDlg::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    PaintBorder(dc);
}

namespace {

// The band's pixels, held as four images around the picture.
class BorderImages {
public:
    BorderImages(int w, int h)
        : w_(w), h_(h), top_(w, orvane::kBorder), bottom_(w, orvane::kBorder),
          left_(orvane::kBorder, std::max(1, h - 2 * orvane::kBorder)),
          right_(orvane::kBorder, std::max(1, h - 2 * orvane::kBorder)) {
        for (wxImage* img : {&top_, &bottom_, &left_, &right_}) img->Clear(0);
    }
    void Set(int x, int y, const wxColour& c) {
        if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
        const int b = orvane::kBorder;
        if (y < b) top_.SetRGB(x, y, c.Red(), c.Green(), c.Blue());
        else if (y >= h_ - b) bottom_.SetRGB(x, y - (h_ - b), c.Red(), c.Green(), c.Blue());
        else if (x < b) left_.SetRGB(x, y - b, c.Red(), c.Green(), c.Blue());
        else if (x >= w_ - b) right_.SetRGB(x - (w_ - b), y - b, c.Red(), c.Green(), c.Blue());
    }
    void HLine(int x0, int x1, int y, const wxColour& c) {
        for (int x = x0; x <= x1; ++x) Set(x, y, c);
    }
    void VLine(int x, int y0, int y1, const wxColour& c) {
        for (int y = y0; y <= y1; ++y) Set(x, y, c);
    }
    void Draw(wxDC& dc) {
        const int b = orvane::kBorder;
        dc.DrawBitmap(wxBitmap(top_), 0, 0);
        dc.DrawBitmap(wxBitmap(bottom_), 0, h_ - b);
        if (h_ > 2 * b) {
            dc.DrawBitmap(wxBitmap(left_), 0, b);
            dc.DrawBitmap(wxBitmap(right_), w_ - b, b);
        }
    }

private:
    int w_, h_;
    wxImage top_, bottom_, left_, right_;
};

// Outer bevel lit from the top left, inner bevel 4 pixels inside it sunk.
void Bevels(BorderImages& img, int R, int B) {
    const wxColour light(200, 220, 245), dark(10, 20, 40);
    img.HLine(0, R, 0, light);
    img.VLine(0, 0, B, light);
    img.HLine(0, R, B, dark);
    img.VLine(R, 0, B, dark);
    img.HLine(4, R - 4, 4, dark);
    img.VLine(4, 4, B - 4, dark);
    img.HLine(4, R - 4, B - 4, light);
    img.VLine(R - 4, 4, B - 4, light);
}

}  // namespace

// Walks the band clockwise, one strip colour per position, three pixels
// across; the strip turns by 4 pixels at each paint so the colours travel.
void COrvaneDlg::PaintBorder(wxDC& dc) {
    const wxSize sz = GetClientSize();
    if (sz.x < 2 * orvane::kBorder || sz.y < 2 * orvane::kBorder) return;
    BorderImages img(sz.x, sz.y);
    const int R = sz.x - 1, B = sz.y - 1;
    Bevels(img, R, B);
    const int n = static_cast<int>(m_strip.size() / 3);
    if (n == 0) {
        img.Draw(dc);
        return;
    }
    orvane::RotateStrip(m_strip.data(), n, m_borderForward);
    int k = 0;
    auto next = [&] {
        const unsigned char* p = &m_strip[static_cast<size_t>(k) * 3];
        k = (k + 1) % n;
        return wxColour(p[0], p[1], p[2]);
    };
    for (int x = 0; x <= R - 1; ++x) img.VLine(x, 1, 3, next());
    for (int y = 4; y <= B - 5; ++y) img.HLine(R - 3, R - 1, y, next());
    for (int x = R; x >= 1; --x) img.VLine(x, B - 3, B - 1, next());
    for (int y = B - 4; y >= 5; --y) img.HLine(1, 3, y, next());
    img.Draw(dc);
}

// ---------------------------------------------------------------- mouse

bool COrvaneDlg::EdgeAt(const wxPoint& p, orvane::Edge* edge) const {
    const wxSize c = GetClientSize();
    const int b = orvane::kBorder, corner = 3 * orvane::kBorder;
    const bool left = p.x < b, right = p.x >= c.x - b, top = p.y < b, bottom = p.y >= c.y - b;
    if (!left && !right && !top && !bottom) return false;
    const bool nearLeft = p.x < corner, nearRight = p.x >= c.x - corner;
    const bool nearTop = p.y < corner, nearBottom = p.y >= c.y - corner;
    using orvane::Edge;
    if ((top && nearLeft) || (left && nearTop)) *edge = Edge::TopLeft;
    else if ((top && nearRight) || (right && nearTop)) *edge = Edge::TopRight;
    else if ((bottom && nearLeft) || (left && nearBottom)) *edge = Edge::BottomLeft;
    else if ((bottom && nearRight) || (right && nearBottom)) *edge = Edge::BottomRight;
    else if (top) *edge = Edge::Top;
    else if (bottom) *edge = Edge::Bottom;
    else if (left) *edge = Edge::Left;
    else *edge = Edge::Right;
    return true;
}

void COrvaneDlg::OnLeftDown(wxMouseEvent& e) {
    if (e.ControlDown()) {
        SendCommand(IDC_SNAPSHOT);
        return;
    }
    if (e.ShiftDown()) {
        SendCommand(IDC_SAVE_IMAGE_AS);
        return;
    }
    if (m_fullScreen || IsIconized()) return;
    m_keeper.Disarm();
    orvane::Edge edge;
    m_drag = EdgeAt(e.GetPosition(), &edge) ? Drag::Size : Drag::Move;
    m_dragEdge = edge;
    m_dragStart = ClientToScreen(e.GetPosition());
    m_dragRect = WindowRect();
    m_lastSizing = m_dragRect;
    if (!HasCapture()) CaptureMouse();
}

namespace {

orvane::Rect DraggedRect(orvane::Rect r, orvane::Edge edge, int dx, int dy) {
    using orvane::Edge;
    const bool left = edge == Edge::Left || edge == Edge::TopLeft || edge == Edge::BottomLeft;
    const bool right = edge == Edge::Right || edge == Edge::TopRight || edge == Edge::BottomRight;
    const bool top = edge == Edge::Top || edge == Edge::TopLeft || edge == Edge::TopRight;
    const bool bottom = edge == Edge::Bottom || edge == Edge::BottomLeft || edge == Edge::BottomRight;
    if (left) { r.x += dx; r.w -= dx; }
    if (right) r.w += dx;
    if (top) { r.y += dy; r.h -= dy; }
    if (bottom) r.h += dy;
    return r;
}

}  // namespace

void COrvaneDlg::OnMotion(wxMouseEvent& e) {
    if (m_drag == Drag::Idle || !e.LeftIsDown()) return;
    const wxPoint now = ClientToScreen(e.GetPosition());
    const int dx = now.x - m_dragStart.x, dy = now.y - m_dragStart.y;
    if (m_drag == Drag::Move) {
        Move(m_dragRect.x + dx, m_dragRect.y + dy);
        return;
    }
    orvane::Rect r = SizingRect(DraggedRect(m_dragRect, m_dragEdge, dx, dy), m_dragEdge);
    // The edges that are not dragged stay where they were.
    using orvane::Edge;
    const Edge g = m_dragEdge;
    if (g == Edge::Left || g == Edge::TopLeft || g == Edge::BottomLeft) r.x = m_dragRect.x + m_dragRect.w - r.w;
    else r.x = m_dragRect.x;
    if (g == Edge::Top || g == Edge::TopLeft || g == Edge::TopRight) r.y = m_dragRect.y + m_dragRect.h - r.h;
    else r.y = m_dragRect.y;
    SetSize(r.x, r.y, r.w, r.h);
}

void COrvaneDlg::OnLeftUp(wxMouseEvent&) {
    m_drag = Drag::Idle;
    if (HasCapture()) ReleaseMouse();
}

void COrvaneDlg::OnRightDown(wxMouseEvent& e) {
    if (!m_pop) return;
    UpdateChannelsMenu();
    const int item = GetPopupMenuSelectionFromUser(*m_pop, e.GetPosition());
    if (item != wxID_NONE) SendCommand(CommandFromMenuItem(item));
    else m_menuCancelled = wxGetLocalTimeMillis();
}

void COrvaneDlg::OnRightDClick(wxMouseEvent& e) {
    if (!e.ControlDown()) return;
    Strova_ListAllFilter(Rt().deviceIndex, (plat::StateDir() + "Filter.log").c_str());
}

// Esc is the dialog's cancel: full screen on and off, except during a scan.
// Enter does nothing. One Esc closes a whole menu, so an Esc pressed just
// after a menu was dismissed is the user's second try at closing it, not a
// request for full screen.
void COrvaneDlg::OnCharHook(wxKeyEvent& e) {
    if (e.GetKeyCode() == WXK_ESCAPE) {
        const bool afterMenu = wxGetLocalTimeMillis() - m_menuCancelled < kEscAfterMenuMs;
        m_menuCancelled = 0;
        if (!IsScanRunning() && !afterMenu) ToggleFullScreen();
        return;
    }
    if (e.GetKeyCode() == WXK_RETURN || e.GetKeyCode() == WXK_NUMPAD_ENTER) return;
    e.Skip();
}

// The desktop's close request runs the close operation.
void COrvaneDlg::OnCloseWindow(wxCloseEvent& e) {
    if (e.CanVeto() && !m_ended) {
        e.Veto();
        CloseOperation();
        return;
    }
    e.Skip();
}

// ---------------------------------------------------------------- messages

plat::LRESULT COrvaneDlg::OnWindowMessage(plat::UINT msg, plat::WPARAM wp, plat::LPARAM lp) {
    switch (msg) {
    case kWmCommand: SendCommand(static_cast<int>(wp & 0xFFFF)); return 0;
    case kWmClose: CloseOperation(); return 0;
    case WM_BROWSER_CLOSED: OnBrowserClosed(false); return 0;
    case WM_VIDEO_BROWSER_CLOSED: OnBrowserClosed(true); return 0;
    case WM_BROWSER_EXITED:
        // A browser that ended without its message (a crash, a title that
        // did not match) must not leave the viewer hidden for ever.
        if (m_imageBrowserOpen) OnBrowserClosed(false);
        return 0;
    case WM_STROVA_NOTIFY: OnLibraryNotify(wp, lp); return 0;
    case WM_REMOTE_KEY: OnRemoteKey(static_cast<int>(wp)); return 0;
    case WM_TRAY_NOTIFY: return 0;
    case WM_SHOW_VIEWER: ComeForward(); return 0;
    default: return 0;
    }
}

// A second start: the window comes back from the tray or the task bar and
// to the front, with its control panel.
void COrvaneDlg::ComeForward() {
    if (m_ended || m_imageBrowserOpen) return;
    if (Rt().hidden) {
        ShowFromTray();
        return;
    }
    if (IsIconized()) Iconize(false);
    Show();
    Raise();
    if (m_panel && m_panel->IsShown()) m_panel->Raise();
}

// ---------------------------------------------------------------- ViewerHost

int COrvaneDlg::CardModel() const { return Rt().cardModel; }
bool COrvaneDlg::UseSnapCap() const { return Rt().useSnapCap != 0; }
bool COrvaneDlg::IsTunerInputSelected() const { return orvane::TunerInputSelected(Rt()); }
bool COrvaneDlg::IsSingleDigit() const { return Rt().blSingle != 0; }
void COrvaneDlg::SetSingleDigit(bool single) { Rt().blSingle = single ? 1 : 0; }
bool COrvaneDlg::IsSoundOn() const { return Rt().vNul != 0; }
bool COrvaneDlg::IsTvSound() const { return Rt().tvSound != 0; }
void COrvaneDlg::SetTvSound(bool tuner) { Rt().tvSound = tuner ? 1 : 0; }
void COrvaneDlg::SetKeypadShown(bool shown) { Rt().ctrShow = shown ? 1 : 0; }

void COrvaneDlg::HoldLineInput() {
    orvane::SetLineInputMute(true);
    m_lineCountdown = orvane::kLineHoldTicks;
}

void COrvaneDlg::SelectChannelNumber(int number) { orvane::SelectChannel(Rt(), *this, number); }
void COrvaneDlg::SetCardTvSound(int on) { SetTVSoundData(0, on); }
void COrvaneDlg::SetCardLineSound(int on) { SetADSoundData(0, on); }
// The icon's notification area is gone: the window is minimised instead, so
// the task bar can bring it back.
void COrvaneDlg::TrayAreaLost() {
    if (Rt().hidden) HideMainWindow(false);
}

// A double click on the tray icon always restores; it never closes the viewer.
void COrvaneDlg::RestoreFromTray() {
    if (Rt().hidden) ShowFromTray();
}
