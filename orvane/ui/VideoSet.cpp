#include "orvane/ui/VideoSet.h"

#include <wx/button.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "orvane/core/Settings.h"
#include "orvane/ui/ConfigSet.h"
#include "orvane/ui/PageLayout.h"
#include "orvane/ui/ControlDlg.h"
#include "orvane/ui/RecMode.h"
#include "orvane/ui/Resource.h"
#include "orvane/ui/TVControl.h"
#include "orvane/ui/ViewerHost.h"
#include "strova/Strova.h"

using orvane::Rt;

namespace {

constexpr int kPal = 16, kNtsc = 1;  // AnalogVideo_PAL_B, AnalogVideo_NTSC_M
constexpr int kNeutral = 5000;
const char* const kSourceLabels[] = {"S-Video", "Video1-In", "Video2-In"};

// Slider ids 1061..1064 in order, their labels and library property index.
struct Colour {
    int id;
    const char* label;
    int property;
};
const Colour kColours[] = {{1061, "Brightness", 0}, {1062, "Contrast", 1}, {1063, "Saturation", 3}, {1064, "Hue", 2}};

int* StoredColour(orvane::RunTime& rt, int slot) {
    int* fields[] = {&rt.vidBrightness, &rt.vidContrast, &rt.vidSaturation, &rt.vidHue};
    return fields[slot];
}

}  // namespace

CVideoSet::CVideoSet(wxWindow* parent, CConfigSet& sheet) : wxPanel(parent, 298), m_sheet(sheet) {
    orvane::RunTime& rt = Rt();
    m_source = rt.vidSource;
    m_standard = rt.vidStandard < 16 ? 1 : 0;

    auto* top = new wxBoxSizer(wxVERTICAL);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    auto* stdBox = new wxStaticBoxSizer(wxVERTICAL, this, "Video Standard");
    m_standards[0] = new wxRadioButton(stdBox->GetStaticBox(), 1056, "PAL", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    m_standards[1] = new wxRadioButton(stdBox->GetStaticBox(), 1057, "NTSC");
    for (auto* r : m_standards) stdBox->Add(r, 0, wxALL, 4);
    auto* srcBox = new wxStaticBoxSizer(wxVERTICAL, this, "Video Source");
    m_sources[0] = new wxRadioButton(srcBox->GetStaticBox(), 1058, "S-Video", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    // The inputs read as the control panel and the card's input page name them.
    m_sources[1] = new wxRadioButton(srcBox->GetStaticBox(), 1059, "Video1-In (TV)");
    m_sources[2] = new wxRadioButton(srcBox->GetStaticBox(), 1060, "Video2-In");
    for (auto* r : m_sources) srcBox->Add(r, 0, wxALL, 4);
    row->Add(stdBox, 1, wxEXPAND | wxRIGHT, 8);
    row->Add(srcBox, 1, wxEXPAND);
    top->Add(row, 0, wxEXPAND | wxBOTTOM, 8);

    auto* colBox = new wxStaticBoxSizer(wxVERTICAL, this, "Color Settings");
    auto* grid = new wxFlexGridSizer(2, wxSize(12, 6));
    grid->AddGrowableCol(1);
    for (int i = 0; i < 4; ++i) {
        wxWindow* box = colBox->GetStaticBox();
        m_sliders[i] = new wxSlider(box, kColours[i].id, *StoredColour(rt, i), 0, 10000);
        m_sliders[i]->SetPageSize(100);
        AddLabelled(grid, box, kColours[i].label, m_sliders[i]);
    }
    colBox->Add(grid, 1, wxEXPAND | wxALL, 4);
    auto* def = new wxButton(colBox->GetStaticBox(), 1035, "&Default");
    colBox->Add(def, 0, wxALIGN_RIGHT | wxALL, 4);
    top->Add(colBox, 0, wxEXPAND);
    SetSizer(top);

    if (m_standard >= 0 && m_standard < 2) m_standards[m_standard]->SetValue(true);
    if (m_source >= 0 && m_source < 3) m_sources[m_source]->SetValue(true);

    Bind(wxEVT_SLIDER, &CVideoSet::OnSlider, this);
    def->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnDefault(); });
    for (int i = 0; i < 2; ++i)
        m_standards[i]->Bind(wxEVT_RADIOBUTTON, [this, i](wxCommandEvent&) { ChooseStandard(i); });
    for (int i = 0; i < 3; ++i)
        m_sources[i]->Bind(wxEVT_RADIOBUTTON, [this, i](wxCommandEvent&) { ChooseSource(i); });
}

void CVideoSet::OnSlider(wxCommandEvent& e) {
    for (int i = 0; i < 4; ++i)
        if (e.GetEventObject() == m_sliders[i])
            Strova_SetVideoPropertyValue(0, kColours[i].property, m_sliders[i]->GetValue());
}

void CVideoSet::OnDefault() {
    for (wxSlider* s : m_sliders) s->SetValue(kNeutral);
    for (int p : {0, 1, 3, 2}) Strova_SetVideoPropertyValue(0, p, kNeutral);
}

void CVideoSet::ChooseStandard(int choice) {
    m_standard = choice;
    Strova_SetVideoStandard(0, choice == 0 ? kPal : kNtsc);
    if (CRecMode* rec = m_sheet.RecPage()) rec->SetFrameRate(choice);
}

void CVideoSet::ChooseSource(int choice) {
    m_source = choice;
    Strova_RouteInPinToOutPin(0, choice, 0);
    SourceSoundAndLabel(choice);
}

// The sound flag is set to the opposite of what the input needs and the
// keypad's sound key switches it over, routing the card's sound with it.
void CVideoSet::SourceSoundAndLabel(int source) {
    if (source < 0 || source > 2) return;
    ViewerHost& host = m_sheet.Host();
    host.SetTvSound(source != 1);
    if (CTVControl* keypad = host.Keypad()) keypad->PressKey(KEYPAD_SOUND_KEY);
    if (CControlDlg* panel = host.ControlPanel()) panel->SetDisplayText(kSourceLabels[source]);
}

bool CVideoSet::StoreOnOk() {
    orvane::RunTime& rt = Rt();
    rt.vidSource = m_source;
    for (int i = 0; i < 4; ++i) *StoredColour(rt, i) = m_sliders[i]->GetValue();
    for (int i = 0; i < 2; ++i)
        if (m_standards[i]->GetValue()) m_standard = i;
    rt.vidStandard = m_standard == 1 ? kNtsc : kPal;
    orvane::WriteSettingNumber("vid_standard", unsigned(rt.vidStandard));
    return true;
}

void CVideoSet::CancelChanges() {
    orvane::RunTime& rt = Rt();
    rt.vidStandard = rt.vidStandard < 16 ? kNtsc : kPal;
    for (int p : {0, 1, 3, 2}) {
        const int slot = p == 0 ? 0 : p == 1 ? 1 : p == 3 ? 2 : 3;
        Strova_SetVideoPropertyValue(0, p, *StoredColour(rt, slot));
    }
    Strova_SetVideoStandard(0, rt.vidStandard);
    Strova_RouteInPinToOutPin(0, rt.vidSource, 0);
    SourceSoundAndLabel(rt.vidSource);
}
