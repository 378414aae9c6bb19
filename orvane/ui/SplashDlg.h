// The start-up picture: a borderless, topmost window showing a BMP file
// stretched to its size; a mouse click closes it.
#pragma once

#include <cstdint>
#include <vector>

#include <wx/bitmap.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/timer.h>

// Decodes a whole BMP file image. False (and no image) for a missing, short,
// damaged or non-BMP file.
bool LoadBmpFile(const wxString& path, wxImage* image);

class CSplashDlg : public wxFrame {
public:
    CSplashDlg() = default;
    // Loads the picture and creates the window (not yet shown); false and no
    // window on failure, when the object is deleted with plain delete.
    bool CreateFromFile(int templateId, wxWindow* parent, const wxString& path);
    wxSize PictureSize() const { return m_picture.IsOk() ? m_picture.GetSize() : wxSize(); }
    // Whether the picture has been drawn on the screen once.
    bool Painted() const { return m_paintedAt != 0; }
    // Closes the window once it has been on the screen for `ms` (at once
    // when it has been that long already, or was never drawn).
    void CloseWhenShownFor(int ms);

private:
    void OnPaint(wxPaintEvent&);
    void OnClick(wxMouseEvent&);

    wxImage m_picture;
    long long m_paintedAt = 0;  // wxGetLocalTimeMillis of the first paint
    wxTimer m_closeTimer;
};
