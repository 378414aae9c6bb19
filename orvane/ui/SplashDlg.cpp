#include "orvane/ui/SplashDlg.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include <wx/dcbuffer.h>
#include <wx/log.h>
#include <wx/mstream.h>
#include <wx/time.h>

namespace {

uint32_t Le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }

// The largest picture the decoder is handed: a splash is a few hundred pixels
// a side, and a compressed file can declare any size in a few bytes.
#ifndef SPLASH_MAX_PIXELS
#define SPLASH_MAX_PIXELS (uint64_t(1) << 24)
#endif

// The file header must say "BM", point at pixels inside the file, and be
// followed by an info header that fits. The picture it declares must have a
// size, stay under the cap, and, when stored uncompressed, have every row in
// the file: the decoder allocates what the header declares before reading.
bool PlausibleBmp(const std::vector<unsigned char>& data) {
    constexpr size_t kFileHeader = 14;
    if (data.size() < kFileHeader + 12 || data[0] != 'B' || data[1] != 'M') return false;
    const uint32_t pixelOffset = Le32(&data[10]);
    const uint32_t infoSize = Le32(&data[14]);
    if (infoSize < 12 || kFileHeader + infoSize > data.size() || pixelOffset < kFileHeader + infoSize ||
        pixelOffset >= data.size())
        return false;
    int64_t width, height;
    uint32_t bits, compression = 0;
    if (infoSize == 12) {  // OS/2 core header: 16-bit sizes, never compressed
        width = Le16(&data[18]);
        height = Le16(&data[20]);
        bits = Le16(&data[24]);
    } else {
        if (infoSize < 20) return false;
        width = int32_t(Le32(&data[18]));
        height = int32_t(Le32(&data[22]));
        bits = Le16(&data[28]);
        compression = Le32(&data[30]);
    }
    if (height < 0) height = -height;  // top-down rows
    if (width <= 0 || height <= 0 || uint64_t(width) * uint64_t(height) > SPLASH_MAX_PIXELS) return false;
    constexpr uint32_t kRgb = 0, kBitFields = 3;
    if (compression != kRgb && compression != kBitFields) return true;
    const uint64_t stride = (uint64_t(width) * bits + 31) / 32 * 4;
    return stride > 0 && pixelOffset + stride * uint64_t(height) <= data.size();
}

}  // namespace

bool LoadBmpFile(const wxString& path, wxImage* image) {
    std::ifstream in(path.utf8_string(), std::ios::binary);
    if (!in) return false;
    std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!PlausibleBmp(data)) return false;
    if (wxImage::FindHandler(wxBITMAP_TYPE_BMP) == nullptr) wxImage::AddHandler(new wxBMPHandler);
    wxLogNull quiet;  // a damaged file is a plain failure, not a log window
    wxMemoryInputStream stream(data.data(), data.size());
    wxImage decoded;
    if (!decoded.LoadFile(stream, wxBITMAP_TYPE_BMP) || !decoded.IsOk()) return false;
    *image = decoded;
    return true;
}

bool CSplashDlg::CreateFromFile(int templateId, wxWindow* parent, const wxString& path) {
    if (!LoadBmpFile(path, &m_picture)) return false;
    if (!Create(parent, templateId, "Tellura", wxDefaultPosition, m_picture.GetSize(),
                wxBORDER_NONE | wxSTAY_ON_TOP | wxFRAME_NO_TASKBAR))
        return false;
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetSize(m_picture.GetSize());
    CentreOnScreen();
    Bind(wxEVT_PAINT, &CSplashDlg::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, &CSplashDlg::OnClick, this);
    Bind(wxEVT_RIGHT_DOWN, &CSplashDlg::OnClick, this);
    return true;
}

void CSplashDlg::CloseWhenShownFor(int ms) {
    const long long shown = m_paintedAt ? (wxGetLocalTimeMillis() - m_paintedAt).GetValue() : ms;
    if (shown >= ms) {
        Destroy();
        return;
    }
    m_closeTimer.SetOwner(this);
    Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Destroy(); });
    m_closeTimer.StartOnce(int(ms - shown));
}

void CSplashDlg::OnPaint(wxPaintEvent&) {
    if (!m_paintedAt) m_paintedAt = wxGetLocalTimeMillis().GetValue();
    wxAutoBufferedPaintDC dc(this);
    const wxSize size = GetClientSize();
    if (size == m_picture.GetSize()) dc.DrawBitmap(wxBitmap(m_picture), 0, 0);
    else if (size.x > 0 && size.y > 0)
        dc.DrawBitmap(wxBitmap(m_picture.Scale(size.x, size.y, wxIMAGE_QUALITY_BILINEAR)), 0, 0);
}

void CSplashDlg::OnClick(wxMouseEvent&) {
    Hide();
    Destroy();
}
