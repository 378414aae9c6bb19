// CConfigDlg: the "Advanced Settings" page: snapshot and video folders (with
// the folder picker), snapshot file type and JPEG quality, rename before
// saving, 320 x 240 snapshots, overlay mode, deinterlacing, sound capture and
// auto start.
// It stores nothing until the System Settings dialog runs its OK step.
#pragma once
#include <string>

#include <wx/panel.h>

class CConfigSet;
class wxCheckBox;
class wxRadioButton;
class wxSlider;
class wxTextCtrl;

class CConfigDlg : public wxPanel {
public:
    CConfigDlg(wxWindow* parent, CConfigSet& sheet);

    // The OK step: folder checks (a message and the picker when one fails,
    // then nothing is stored), else every value, the shared folder values,
    // auto start and the overlay mode.
    void OkStep();
    bool HalfPicture() const;
    bool OverlayMode() const;

    // The two folder pickers ("Browse" 1008 and 1010).
    void BrowseSnapshotFolder();
    void BrowseVideoFolder();

private:
    void Browse(wxTextCtrl* field, const char* title, bool mustExist);
    bool CheckFolder(const std::string& folder, int& okFlag, const char* message, bool snapshot);
    void OnFileType();
    void OnQualitySlider();
    void OnOverlay();

    CConfigSet& m_sheet;
    wxTextCtrl* m_snapFolder = nullptr;
    wxTextCtrl* m_videoFolder = nullptr;
    wxRadioButton* m_bmp = nullptr;
    wxRadioButton* m_jpg = nullptr;
    wxSlider* m_qualitySlider = nullptr;
    wxTextCtrl* m_quality = nullptr;
    wxCheckBox* m_rename = nullptr;
    wxCheckBox* m_half = nullptr;
    wxCheckBox* m_overlay = nullptr;
    wxCheckBox* m_deinterlace = nullptr;
    wxCheckBox* m_audio = nullptr;
    wxCheckBox* m_auto = nullptr;
};
