#include "orvane/ui/ConfigDlg.h"

#include <unistd.h>

#include <algorithm>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "common/FolderDialog.h"
#include "common/RegKey.h"
#include "orvane/core/AutoStart.h"
#include "orvane/core/CaptureCommands.h"
#include "orvane/core/Settings.h"
#include "orvane/ui/ConfigSet.h"
#include "orvane/ui/PageLayout.h"
#include "orvane/ui/RecMode.h"
#include "platform/Paths.h"
#include "strova/Strova.h"

using orvane::Rt;

namespace {

constexpr int kPreviewBranch = 2;

// A folder the viewer can save into.
bool UsableFolder(const std::string& path) {
    return plat::GetPathKind(path) == 2 && access(path.c_str(), W_OK | X_OK) == 0;
}

std::string Text(const wxTextCtrl* t) { return t->GetValue().utf8_string(); }

int ClampQuality(long q) { return int(std::clamp(q, 10L, 100L)); }

// File names are appended to the stored folders, so they keep their separator.
std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

}  // namespace

CConfigDlg::CConfigDlg(wxWindow* parent, CConfigSet& sheet) : wxPanel(parent, 195), m_sheet(sheet) {
    orvane::RunTime& rt = Rt();
    auto* top = new wxBoxSizer(wxVERTICAL);

    auto* dirBox = new wxStaticBoxSizer(wxVERTICAL, this, "Directory");
    wxWindow* db = dirBox->GetStaticBox();
    auto* dirs = new wxFlexGridSizer(3, wxSize(8, 6));
    dirs->AddGrowableCol(1);
    m_snapFolder = new wxTextCtrl(db, 1009, wxString::FromUTF8(rt.snapshotPath));
    m_videoFolder = new wxTextCtrl(db, 1011, wxString::FromUTF8(rt.recordPath));
    auto* snapBrowse = new wxButton(db, 1008, "Browse");
    auto* videoBrowse = new wxButton(db, 1010, "Browse");
    AddLabelled(dirs, db, "Image Folder :", m_snapFolder, snapBrowse);
    AddLabelled(dirs, db, "Video Folder :", m_videoFolder, videoBrowse);
    dirBox->Add(dirs, 0, wxEXPAND | wxALL, 4);
    top->Add(dirBox, 0, wxEXPAND | wxBOTTOM, 8);

    auto* snapBox = new wxStaticBoxSizer(wxVERTICAL, this, "Snapshot file settings");
    wxWindow* sb = snapBox->GetStaticBox();
    auto* types = new wxBoxSizer(wxHORIZONTAL);
    m_bmp = new wxRadioButton(sb, 1016, "BMP", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    m_jpg = new wxRadioButton(sb, 1017, "JPG");
    types->Add(m_bmp, 0, wxRIGHT, 16);
    types->Add(m_jpg);
    snapBox->Add(types, 0, wxALL, 4);
    auto* quality = new wxBoxSizer(wxHORIZONTAL);
    const int q = ClampQuality(rt.jpegQuality);
    quality->Add(new wxStaticText(sb, wxID_ANY, "Image Quality:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
    m_quality = new wxTextCtrl(sb, 1018, wxString::Format("%d", q), wxDefaultPosition, wxSize(60, -1));
    m_quality->Disable();
    quality->Add(m_quality, 0, wxRIGHT, 8);
    m_qualitySlider = new wxSlider(sb, 1019, q, 10, 100);
    m_qualitySlider->SetTickFreq(10);
    quality->Add(m_qualitySlider, 1, wxALIGN_CENTER_VERTICAL);
    snapBox->Add(quality, 0, wxEXPAND | wxALL, 4);
    m_rename = new wxCheckBox(sb, 1020, "Rename before saving");
    m_half = new wxCheckBox(sb, 1042, "Set snap size as 320X240");
    snapBox->Add(m_rename, 0, wxALL, 4);
    snapBox->Add(m_half, 0, wxALL, 4);
    top->Add(snapBox, 0, wxEXPAND | wxBOTTOM, 8);

    auto* otherBox = new wxStaticBoxSizer(wxVERTICAL, this, "Other options");
    wxWindow* ob = otherBox->GetStaticBox();
    m_overlay = new wxCheckBox(ob, 1015, "Overlay Mode");
    m_deinterlace = new wxCheckBox(ob, wxID_ANY, "Deinterlace the picture");
    m_audio = new wxCheckBox(ob, 1014, "Capture audio when recording");
    m_auto = new wxCheckBox(ob, 1043, "Auto Startup");
    // Two columns, so the page keeps its height with the deinterlace choice.
    auto* options = new wxGridSizer(2, wxSize(16, 0));
    for (wxCheckBox* c : {m_overlay, m_deinterlace, m_audio, m_auto}) options->Add(c, 0, wxALL, 4);
    otherBox->Add(options, 0, wxEXPAND);
    top->Add(otherBox, 0, wxEXPAND);
    SetSizer(top);

    m_jpg->SetValue(rt.isSaveAsJpeg != 0);
    m_bmp->SetValue(rt.isSaveAsJpeg == 0);
    m_qualitySlider->Enable(rt.isSaveAsJpeg != 0);
    m_rename->SetValue(rt.userEnSnap != 0);
    m_half->SetValue(rt.halfPic != 0);
    m_overlay->SetValue(rt.preView != 0);
    m_deinterlace->SetValue(rt.deinterlace != 0);
    m_audio->SetValue(rt.isCaptureAudio != 0);
    m_auto->SetValue(rt.autoStart != 0);

    snapBrowse->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { BrowseSnapshotFolder(); });
    videoBrowse->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { BrowseVideoFolder(); });
    m_bmp->Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { OnFileType(); });
    m_jpg->Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { OnFileType(); });
    m_qualitySlider->Bind(wxEVT_SLIDER, [this](wxCommandEvent&) { OnQualitySlider(); });
    m_overlay->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { OnOverlay(); });
}

bool CConfigDlg::HalfPicture() const { return m_half->GetValue(); }
bool CConfigDlg::OverlayMode() const { return m_overlay->GetValue(); }

void CConfigDlg::OnFileType() { m_qualitySlider->Enable(m_jpg->GetValue()); }

void CConfigDlg::OnQualitySlider() { m_quality->ChangeValue(wxString::Format("%d", m_qualitySlider->GetValue())); }

void CConfigDlg::OnOverlay() {
    const bool on = m_overlay->GetValue();
    if (CRecMode* rec = m_sheet.RecPage()) rec->OverlayChanged(on);
    else if (!on && Rt().sefDef == 2) Rt().sefDef = 1;  // DVD needs the overlay mode
}

void CConfigDlg::BrowseSnapshotFolder() { Browse(m_snapFolder, "Choose Snapshot Directory", true); }
void CConfigDlg::BrowseVideoFolder() { Browse(m_videoFolder, "Choose Video Directory", false); }

void CConfigDlg::Browse(wxTextCtrl* field, const char* title, bool mustExist) {
    std::string folder = Text(field);
    if (!folder.empty() && folder.back() == '/') folder.pop_back();
    CFolderDialog dlg(folder, 0, this, title);
    if (dlg.ShowModal() != CFolderDialog::kOk) return;
    std::string chosen = dlg.ChosenFolder();
    if (mustExist && plat::GetPathKind(chosen) != 2) return;
    field->ChangeValue(wxString::FromUTF8(WithSlash(chosen)));
}

// A folder that fails the check gets its message and the picker; the step
// then stores nothing.
bool CConfigDlg::CheckFolder(const std::string& folder, int& okFlag, const char* message, bool snapshot) {
    okFlag = UsableFolder(folder) ? 1 : 0;
    if (okFlag) return true;
    CConfigSet::Ask(this, message, "Error", wxOK);
    if (snapshot) BrowseSnapshotFolder();
    else BrowseVideoFolder();
    return false;
}

void CConfigDlg::OkStep() {
    orvane::RunTime& rt = Rt();
    const std::string snap = WithSlash(Text(m_snapFolder)), video = WithSlash(Text(m_videoFolder));
    if (!CheckFolder(snap, rt.snapFolderOk, orvane::kSnapFolderMissing, true) ||
        !CheckFolder(video, rt.videoFolderOk, orvane::kVideoFolderMissing, false))
        return;
    rt.isSaveAsJpeg = m_jpg->GetValue() ? 1 : 0;
    rt.jpegQuality = ClampQuality(m_qualitySlider->GetValue());
    rt.userEnSnap = m_rename->GetValue() ? 1 : 0;
    rt.halfPic = m_half->GetValue() ? 1 : 0;
    orvane::CopyField(rt.snapshotPath, snap);
    orvane::CopyField(rt.recordPath, video);
    orvane::WriteSharedPaths();

    const int autoStart = m_auto->GetValue() ? 1 : 0;
    if (autoStart != rt.autoStart) {
        rt.autoStart = autoStart;
        orvane::WriteSettingNumber("auto", unsigned(autoStart));
        orvane::WriteAutoStart(autoStart != 0);
    }
    const int overlay = m_overlay->GetValue() ? 1 : 0;
    if (overlay != rt.preView) {
        rt.preView = overlay;
        Strova_DisconnectPin(0, kPreviewBranch);
        Strova_SetDispMode(rt.preView);
        Strova_ConnectPin(0, kPreviewBranch);
    }
    const int deinterlace = m_deinterlace->GetValue() ? 1 : 0;
    if (deinterlace != rt.deinterlace) {
        rt.deinterlace = deinterlace;
        orvane::WriteSettingNumber("deinterlace", unsigned(deinterlace));
        Strova_SetDeinterlace(deinterlace);  // the running preview follows at once
    }
    rt.isCaptureAudio = m_audio->GetValue() ? 1 : 0;
}
