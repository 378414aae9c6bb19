#include "orvane/ui/RecMode.h"

#include <algorithm>
#include <cstdlib>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "common/RegKey.h"
#include "orvane/core/RecProfiles.h"
#include "orvane/core/Settings.h"
#include "orvane/ui/ConfigDlg.h"
#include "orvane/ui/ConfigSet.h"
#include "orvane/ui/PageLayout.h"
#include "orvane/ui/VideoSet.h"

using orvane::Rt;

namespace {

const char* const kAudioRates[] = {"64", "80", "96", "112", "128", "160", "192", "224", "256", "320", "384"};
constexpr int kAudioCount = 11;
constexpr int kPresetAudio = 7;  // 224 Kbps

struct Preset {
    int mpeg, bitRate;
};
// Indexed by mode; the custom row is the start of a new custom format.
// The profiles for keeps use neither value; they keep the AVI row's.
const Preset kPresets[] = {{0, 1120}, {0, 1120}, {1, 2400}, {0, 1120}, {0, 1120}, {0, 1120}};

// The H.264 profile's qualities, best first, as stored in "H264Quality".
const char* const kQualityNames[] = {"High", "Standard", "Small"};
const int kQualities[] = {90, 70, 50};
constexpr int kDefaultQuality = 1;

const char kRangeText[] = "Please enter an integer between 976 and 14648.";
const char kUncompressedText[] = "None: uncompressed pictures (very large files)";
const char kBadNameText[] = "A profile name may not begin with \".\" or contain \"/\".";

}  // namespace

CRecMode::CRecMode(wxWindow* parent, CConfigSet& sheet) : wxPanel(parent, 299), m_sheet(sheet) {
    auto* top = new wxBoxSizer(wxVERTICAL);
    auto* fmtBox = new wxStaticBoxSizer(wxVERTICAL, this, "Compression Format");
    auto* modeRow = new wxBoxSizer(wxHORIZONTAL);
    const char* labels[] = {"Customize", "VCD", "DVD", "AVI", "Lossless (FFV1 + PCM, Matroska)", "H.264 + AAC (MP4)"};
    const int ids[] = {1059, 1060, 1061, 1063, wxID_ANY, wxID_ANY};
    // The design's four in a row, the profiles for keeps in a row beneath.
    auto* keepRow = new wxBoxSizer(wxHORIZONTAL);
    for (int i = 0; i < kModeCount; ++i) {
        m_modes[i] = new wxRadioButton(fmtBox->GetStaticBox(), ids[i], labels[i], wxDefaultPosition, wxDefaultSize,
                                       i == 0 ? wxRB_GROUP : 0);
        (i < 4 ? modeRow : keepRow)->Add(m_modes[i], i < 4 ? 1 : 0, wxALL, 4);
        m_modes[i]->Bind(wxEVT_RADIOBUTTON, [this, i](wxCommandEvent&) { ChooseMode(i); });
    }
    m_modes[kLossless]->SetToolTip("Every frame kept as the card delivers it, both fields, with a checksum "
                                   "file beside it; large files.");
    m_modes[kH264]->SetToolTip("Small files that play everywhere.");
    keepRow->AddSpacer(16);
    fmtBox->Add(modeRow, 0, wxEXPAND);
    fmtBox->Add(keepRow, 0, wxEXPAND);
    // Each format's own choice, enabled with its format, the labels aligned.
    auto* choices = new wxFlexGridSizer(2, wxSize(8, 6));
    choices->AddGrowableCol(1);
    MakeCompressorRow(fmtBox->GetStaticBox(), choices);
    MakeQualityRow(fmtBox->GetStaticBox(), choices);
    fmtBox->Add(choices, 0, wxEXPAND | wxALL, 4);
    top->Add(fmtBox, 0, wxEXPAND | wxBOTTOM, 8);

    auto* nameBox = new wxStaticBoxSizer(wxVERTICAL, this, "Input a name for new media file");
    wxWindow* nb = nameBox->GetStaticBox();
    m_list = new wxChoice(nb, 1062);
    m_nameEdit = new wxTextCtrl(nb, 1070);
    m_nameEdit->SetMaxLength(orvane::kMaxProfileName);
    m_apply = new wxButton(nb, 1036, "&Apply");
    m_remove = new wxButton(nb, 1035, "&Remove");
    nameBox->Add(m_list, 0, wxEXPAND | wxALL, 4);
    auto* nameRow = new wxBoxSizer(wxHORIZONTAL);
    nameRow->Add(m_nameEdit, 1, wxRIGHT, 8);
    nameRow->Add(m_apply, 0, wxRIGHT, 4);
    nameRow->Add(m_remove);
    nameBox->Add(nameRow, 0, wxEXPAND | wxALL, 4);
    top->Add(nameBox, 0, wxEXPAND | wxBOTTOM, 8);

    auto* parBox = new wxStaticBoxSizer(wxVERTICAL, this, "Customized Compression Parameters");
    wxWindow* pb = parBox->GetStaticBox();
    auto* mpegRow = new wxBoxSizer(wxHORIZONTAL);
    m_mpegButtons[0] = new wxRadioButton(pb, 1056, "MPEG - I", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    m_mpegButtons[1] = new wxRadioButton(pb, 1057, "MPEG - II");
    for (int i = 0; i < 2; ++i) {
        mpegRow->Add(m_mpegButtons[i], 0, wxRIGHT, 24);
        m_mpegButtons[i]->Bind(wxEVT_RADIOBUTTON, [this, i](wxCommandEvent&) { m_mpeg = i; });
    }
    parBox->Add(mpegRow, 0, wxALL, 4);
    auto* grid = new wxFlexGridSizer(2, wxSize(8, 6));
    grid->AddGrowableCol(1);
    m_bitRateEdit = new wxTextCtrl(pb, 1064);
    m_audioList = new wxChoice(pb, 1069);
    for (const char* r : kAudioRates) m_audioList->Append(r);
    m_frameRate = new wxChoice(pb, 1068);
    m_frameRate->Append("25.00");
    m_frameRate->Append("29.97");
    m_frameRate->Disable();
    AddLabelled(grid, pb, "Video bit rate(from 976 to 14648 Kbps):", m_bitRateEdit);
    AddLabelled(grid, pb, "Audio bit rate(from 64 to 384 Kbps):", m_audioList);
    AddLabelled(grid, pb, "Frame Rate:", m_frameRate);
    parBox->Add(grid, 0, wxEXPAND | wxALL, 4);
    top->Add(parBox, 0, wxEXPAND);
    SetSizer(top);

    m_list->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { TakeListSelection(); });
    m_apply->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Apply(); });
    m_remove->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Remove(); });
    m_audioList->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { m_audio = m_audioList->GetSelection(); });

    // Opening.
    orvane::RunTime& rt = Rt();
    m_selected = std::max(rt.curInd, 0);
    const int stored = rt.sefDef;
    ChooseMode(stored >= kCustom && stored < kModeCount ? stored : kAvi);
    const CVideoSet* video = sheet.VideoPage();
    SetFrameRate(video ? video->StandardChoice() : (rt.vidStandard < 16 ? 1 : 0));
    RefillList();
    if (m_name.empty() && m_mode == kCustom) {
        m_mpeg = 0, m_bitRate = 1120, m_audio = kPresetAudio;
        ShowValues();
    }
    OverlayChanged(Overlay());
}

// "AVI compressor:" with the library's compressors, the default first
// selected, and uncompressed pictures last.
void CRecMode::MakeCompressorRow(wxWindow* parent, wxFlexGridSizer* grid) {
    m_offered = orvane::OfferedCompressors();
    m_compressor = new wxChoice(parent, wxID_ANY);
    const std::string best = orvane::DefaultAviCompressor(m_offered);
    for (const std::string& name : m_offered)
        m_compressor->Append(wxString::FromUTF8(name == best ? name + " (recommended)" : name));
    m_compressor->Append(kUncompressedText);
    m_compressor->SetToolTip("The video compression of AVI recordings; uncompressed pictures take about 21 GB an hour.");
    ChooseAviCompressor(orvane::StoredAviCompressor(m_offered));
    AddLabelled(grid, parent, "AVI compressor:", m_compressor);
}

// "H.264 quality:" with the stored quality (nearest offered) selected.
void CRecMode::MakeQualityRow(wxWindow* parent, wxFlexGridSizer* grid) {
    m_h264Quality = new wxChoice(parent, wxID_ANY);
    for (const char* name : kQualityNames) m_h264Quality->Append(name);
    unsigned stored = unsigned(kQualities[kDefaultQuality]);
    CRegKey key;
    if (key.Open(plat::HKEY_LOCAL_MACHINE, orvane::kSettingsKey) == plat::ERROR_SUCCESS)
        key.ReadNumber("H264Quality", stored);
    int best = kDefaultQuality;
    for (int i = 0; i < 3; ++i)
        if (std::abs(kQualities[i] - int(stored)) < std::abs(kQualities[best] - int(stored))) best = i;
    m_h264Quality->SetSelection(best);
    m_h264Quality->SetToolTip("The picture quality of H.264 recordings; higher quality, larger files.");
    AddLabelled(grid, parent, "H.264 quality:", m_h264Quality);
}

int CRecMode::H264Quality() const {
    const int sel = m_h264Quality->GetSelection();
    return kQualities[sel >= 0 && sel < 3 ? sel : kDefaultQuality];
}

std::string CRecMode::AviCompressor() const {
    const int sel = m_compressor->GetSelection();
    return sel >= 0 && size_t(sel) < m_offered.size() ? m_offered[size_t(sel)] : std::string();
}

void CRecMode::ChooseAviCompressor(const std::string& name) {
    const auto it = std::find(m_offered.begin(), m_offered.end(), name);
    m_compressor->SetSelection(name.empty() || it == m_offered.end() ? int(m_offered.size())
                                                                    : int(it - m_offered.begin()));
}

bool CRecMode::Overlay() const {
    const CConfigDlg* advanced = m_sheet.AdvancedPage();
    return advanced ? advanced->OverlayMode() : Rt().preView != 0;
}

void CRecMode::ShowValues() {
    if (m_mode >= 0 && m_mode < kModeCount) m_modes[m_mode]->SetValue(true);
    if (m_mpeg == 0 || m_mpeg == 1) m_mpegButtons[m_mpeg]->SetValue(true);
    m_bitRateEdit->ChangeValue(wxString::Format("%d", m_bitRate));
    if (m_audio >= 0 && m_audio < kAudioCount) m_audioList->SetSelection(m_audio);
    m_nameEdit->ChangeValue(wxString::FromUTF8(m_name));
}

void CRecMode::ChooseMode(int mode) {
    const bool custom = mode == kCustom;
    m_mode = mode;
    if (!custom) {
        m_mpeg = kPresets[mode].mpeg, m_bitRate = kPresets[mode].bitRate, m_audio = kPresetAudio;
        ShowValues();
    }
    for (wxWindow* w : std::initializer_list<wxWindow*>{m_list, m_apply, m_remove, m_mpegButtons[0], m_nameEdit,
                                                        m_bitRateEdit, m_audioList})
        w->Enable(custom);
    m_compressor->Enable(mode == kAvi);
    m_h264Quality->Enable(mode == kH264);
    m_mpegButtons[1]->Enable(custom && Overlay());
    if (custom) RefillList();
}

void CRecMode::SetFrameRate(int standardChoice) {
    if (standardChoice == 0 || standardChoice == 1) m_frameRate->SetSelection(standardChoice);
}

void CRecMode::OverlayChanged(bool overlay) {
    m_modes[kDvd]->Enable(overlay);
    m_mpegButtons[1]->Enable(overlay && m_mode == kCustom);
    if (!overlay && (m_mode == kDvd || m_mpeg == 1)) ChooseMode(kVcd);
}

void CRecMode::RefillList() {
    m_list->Clear();
    const std::vector<std::string> files = orvane::ListProfileFiles();
    int number = 0;
    for (const std::string& f : files) {
        ++number;
        if (orvane::ListableProfile(f)) m_list->Append(wxString::FromUTF8(orvane::ProfileEntry(number, f)));
    }
    m_entries = number;
    if (m_selected >= m_entries) m_selected = std::max(m_entries - 1, 0);
    if (m_selected < int(m_list->GetCount())) m_list->SetSelection(m_selected);
    else if (m_list->GetCount() > 0) m_list->SetSelection(int(m_list->GetCount()) - 1);
    TakeListSelection();
}

void CRecMode::TakeListSelection() {
    const int sel = m_list->GetSelection();
    m_name = sel == wxNOT_FOUND ? std::string() : orvane::NameFromEntry(m_list->GetString(sel).utf8_string());
    if (sel != wxNOT_FOUND) m_selected = sel;
    m_nameEdit->ChangeValue(wxString::FromUTF8(m_name));
    LoadProfile(m_name);
}

void CRecMode::LoadProfile(const std::string& name) {
    if (m_mode != kCustom) return;
    orvane::ProfileRecord r{};
    if (orvane::ReadProfile(name, r)) {
        m_mpeg = Overlay() && r.mpgMode == 1 ? 1 : 0;
        m_bitRate = r.bitRate;
        if (r.audioIndex >= 0 && r.audioIndex < kAudioCount) m_audio = r.audioIndex;
    }
    ShowValues();
}

void CRecMode::SaveProfile(const std::string& name) {
    if (name.empty()) return;
    if (orvane::ProfileExists(name)) {
        const std::vector<std::string> files = orvane::ListProfileFiles();
        const auto it = std::find(files.begin(), files.end(), name + ".ini");
        if (it != files.end()) m_selected = int(it - files.begin());
    }
    orvane::WriteProfile(name, orvane::ProfileRecord{m_mpeg, m_audio, m_bitRate});
}

// Reads the controls; the bit rate of a custom format must be in range and
// the name must stay inside the profile folder.
bool CRecMode::ReadBack() {
    m_name = m_nameEdit->GetValue().utf8_string();
    m_mpeg = m_mpegButtons[1]->GetValue() ? 1 : 0;
    m_audio = std::max(m_audioList->GetSelection(), 0);
    if (m_mode != kCustom) return true;
    long rate = 0;
    if (!m_bitRateEdit->GetValue().Trim().Trim(false).ToLong(&rate) || rate < orvane::kMinBitRate ||
        rate > orvane::kMaxBitRate) {
        CConfigSet::Ask(this, kRangeText, "Error", wxOK | wxICON_EXCLAMATION);
        m_bitRateEdit->SetFocus();
        return false;
    }
    m_bitRate = int(rate);
    if (!m_name.empty() && !orvane::ValidProfileName(m_name)) {
        CConfigSet::Ask(this, kBadNameText, "Error", wxOK | wxICON_EXCLAMATION);
        m_nameEdit->SetFocus();
        return false;
    }
    return true;
}

void CRecMode::Apply() {
    if (!ReadBack()) return;
    if (!m_name.empty()) m_selected = m_entries++;
    SaveProfile(m_name);
    RefillList();
}

void CRecMode::Remove() {
    const std::string name = m_nameEdit->GetValue().utf8_string();
    if (name.empty()) return;
    if (CConfigSet::Ask(this, "Are you sure to remove the current settings?(Unable to restore no longer!)",
                        "Recording Settings", wxYES_NO | wxICON_QUESTION) != wxYES)
        return;
    orvane::RemoveProfile(name);
    RefillList();
}

bool CRecMode::ValidateForOk() {
    if (m_mode != kCustom) return true;
    if (!ReadBack()) return false;
    if (m_name.empty()) return true;
    if (orvane::ProfileExists(m_name)) {
        SaveProfile(m_name);
        return true;
    }
    if (CConfigSet::Ask(this, "Save the current custom compression format?", "Recording Settings",
                        wxYES_NO | wxICON_QUESTION) == wxYES) {
        m_selected = m_entries++;
        SaveProfile(m_name);
        RefillList();
    }
    return true;
}

void CRecMode::StoreOnOk() {
    orvane::RunTime& rt = Rt();
    rt.curInd = m_selected;
    rt.sefDef = rt.captureMode = m_mode;
    rt.mpgMode = m_mpeg, rt.audioRate = m_audio, rt.bitStream = m_bitRate;
    CRegKey key;
    key.Open(plat::HKEY_LOCAL_MACHINE, orvane::kSettingsKey);
    key.WriteNumber("CaptureMode", unsigned(m_mode));
    key.WriteNumber("mpgmode", unsigned(m_mpeg));
    key.WriteNumber("audiorate", unsigned(m_audio));
    key.WriteNumber("bitstream", unsigned(m_bitRate));
    key.WriteNumber("H264Quality", unsigned(H264Quality()));
    orvane::StoreAviCompressor(AviCompressor());
}
