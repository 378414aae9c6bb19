#include "orvane/ui/PropertyFrame.h"

#include <memory>
#include <vector>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "orvane/ui/ConfigSet.h"
#include "strova/Strova.h"

namespace {

// The picture controls in the library's property order.
const char* const kControlNames[] = {"Brightness", "Contrast", "Hue", "Saturation", "Gamma",
                                     "Color Enable", "White Balance", "Backlight Compensation", "Sharpness"};
constexpr int kControlCount = 9;

const char* const kColourNames[] = {"RGB555", "RGB24", "YUY2", "YVU9", "YV12"};
constexpr int kColourCount = 5;
const wxSize kSizes[] = {{768, 576}, {720, 576}, {720, 480}, {640, 480}, {384, 288},
                         {352, 288}, {352, 240}, {320, 240}, {176, 144}, {160, 120}};

int32_t ShowPage(void* user, int32_t card, int32_t page, void*, const char* caption) {
    auto* owner = static_cast<wxWindow*>(user);
    CPropertyFrame dlg(owner, card, page, wxString::FromUTF8(caption ? caption : ""));
    if (!dlg.HasContent()) return E_FAIL;
    dlg.ShowModal();
    return S_OK;
}

}  // namespace

void RegisterPropertyFrameHost(wxWindow* owner) {
    Strova_SetPropertyFrameHost(owner ? ShowPage : nullptr, owner);
}

CPropertyFrame::ShownFn& CPropertyFrame::ShownHook() {
    static ShownFn hook;
    return hook;
}

CPropertyFrame::CPropertyFrame(wxWindow* parent, int card, int page, const wxString& caption)
    : wxDialog(parent, wxID_ANY, caption), m_card(card), m_page(page) {
    auto* top = new wxBoxSizer(wxVERTICAL);
    auto* box = new wxStaticBoxSizer(wxVERTICAL, this,
                                     page == 0 ? "Video Proc Amp" : page == 3 ? "Video Input" : "Stream Format");
    wxWindow* b = box->GetStaticBox();
    if (page == 0) m_content = BuildControls(b, box);
    if (page == 1 || page == 2) m_content = BuildFormat(b, box);
    if (page == 3) m_content = BuildInputs(b, box);
    top->Add(box, 1, wxEXPAND | wxALL, 12);
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->AddStretchSpacer();
    auto* ok = new wxButton(this, wxID_OK, "OK");
    buttons->Add(ok, 0, wxRIGHT, 8);
    buttons->Add(new wxButton(this, wxID_CANCEL, "Cancel"));
    ok->SetDefault();
    top->Add(buttons, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 12);
    SetSizerAndFit(top);
    CentreOnParent();
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnOk(); }, wxID_OK);
}

// One slider per control the device reports, with its own range and step;
// moves reach the device at once, Cancel puts the opening values back.
bool CPropertyFrame::BuildControls(wxWindow* parent, wxSizer* sizer) {
    auto* grid = new wxFlexGridSizer(3, wxSize(10, 6));
    grid->AddGrowableCol(1);
    struct Row { int property; int32_t opening, def; wxSlider* slider; };
    auto rows = std::make_shared<std::vector<Row>>();
    for (int p = 0; p < kControlCount; ++p) {
        int32_t v[6] = {};
        if (Strova_GetVideoPropertyValue(m_card, p, v) < 0 || v[2] <= v[1]) continue;
        auto* slider = new wxSlider(parent, 2000 + p, v[0], v[1], v[2], wxDefaultPosition, wxSize(260, -1));
        slider->SetLineSize(std::max(1, v[3]));
        auto* value = new wxStaticText(parent, wxID_ANY, wxString::Format("%d", v[0]), wxDefaultPosition,
                                       wxSize(50, -1), wxALIGN_RIGHT | wxST_NO_AUTORESIZE);
        grid->Add(new wxStaticText(parent, wxID_ANY, kControlNames[p]), 0, wxALIGN_CENTER_VERTICAL);
        grid->Add(slider, 1, wxEXPAND);
        grid->Add(value, 0, wxALIGN_CENTER_VERTICAL);
        slider->Bind(wxEVT_SLIDER, [this, p, slider, value](wxCommandEvent&) {
            // A control that fails (or has gone) shows the device's value again.
            if (Strova_SetVideoPropertyValue(m_card, p, slider->GetValue()) < 0) {
                int32_t now[6] = {};
                if (Strova_GetVideoPropertyValue(m_card, p, now) >= 0) slider->SetValue(now[0]);
                else slider->Disable();
            }
            value->SetLabel(wxString::Format("%d", slider->GetValue()));
        });
        rows->push_back({p, v[0], v[4], slider});
    }
    if (rows->empty()) return false;
    sizer->Add(grid, 1, wxEXPAND | wxALL, 6);
    auto* def = new wxButton(parent, wxID_ANY, "&Default");
    sizer->Add(def, 0, wxALIGN_RIGHT | wxALL, 6);
    def->Bind(wxEVT_BUTTON, [rows, this](wxCommandEvent&) {
        for (Row& r : *rows) {
            r.slider->SetValue(r.def);
            Strova_SetVideoPropertyValue(m_card, r.property, r.def);
        }
    });
    Bind(wxEVT_BUTTON, [rows, this](wxCommandEvent&) {
        for (const Row& r : *rows) Strova_SetVideoPropertyValue(m_card, r.property, r.opening);
        EndModal(wxID_CANCEL);
    }, wxID_CANCEL);
    m_commit = [] { return true; };
    return true;
}

// Colour format and output size of the pin; OK writes them, and a format the
// device refuses keeps the dialog open with a message.
bool CPropertyFrame::BuildFormat(wxWindow* parent, wxSizer* sizer) {
    const int pin = m_page == 1 ? STROVA_PIN_CAPTURE : STROVA_PIN_PREVIEW;
    auto info = std::make_shared<VideoInfo>();
    if (Strova_GetVideoInfo(m_card, info.get(), pin) < 0) return false;
    auto* grid = new wxFlexGridSizer(2, wxSize(10, 8));
    grid->AddGrowableCol(1);
    auto* colour = new wxChoice(parent, 2100);
    for (const char* name : kColourNames) colour->Append(name);
    colour->SetSelection(info->colorCode >= 0 && info->colorCode < kColourCount ? info->colorCode : wxNOT_FOUND);
    auto* size = new wxChoice(parent, 2101);
    int current = wxNOT_FOUND;
    for (const wxSize& s : kSizes) {
        if (s.x == info->bmi.width && s.y == std::abs(info->bmi.height)) current = int(size->GetCount());
        size->Append(wxString::Format("%d x %d", s.x, s.y));
    }
    if (current == wxNOT_FOUND) {
        current = int(size->GetCount());
        size->Append(wxString::Format("%d x %d", info->bmi.width, std::abs(info->bmi.height)));
    }
    size->SetSelection(current);
    grid->Add(new wxStaticText(parent, wxID_ANY, "Color Space:"), 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(colour, 1, wxEXPAND);
    grid->Add(new wxStaticText(parent, wxID_ANY, "Output Size:"), 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(size, 1, wxEXPAND);
    sizer->Add(grid, 1, wxEXPAND | wxALL, 6);
    sizer->SetMinSize(wxSize(300, -1));
    m_commit = [this, info, colour, size, pin] {
        VideoInfo next = *info;
        if (colour->GetSelection() != wxNOT_FOUND) next.colorCode = colour->GetSelection();
        long w = 0, h = 0;
        wxString text = size->GetStringSelection();
        if (text.BeforeFirst('x').Trim().ToLong(&w) && text.AfterFirst('x').Trim(false).ToLong(&h)) {
            next.bmi.width = int32_t(w);
            next.bmi.height = int32_t(h);
        }
        if (Strova_SetVideoInfo(m_card, next, pin) >= 0) return true;
        CConfigSet::Ask(this, "The device does not accept this format.", GetTitle(), wxOK | wxICON_EXCLAMATION);
        return false;
    };
    return true;
}

// One radio button per input the card reports; OK routes the chosen one.
bool CPropertyFrame::BuildInputs(wxWindow* parent, wxSizer* sizer) {
    int32_t routed = -1;
    Strova_WhatInPinRouteToOutPin(m_card, 0, &routed);
    auto buttons = std::make_shared<std::vector<wxRadioButton*>>();
    char name[128];
    for (int i = 0; i < 64 && Strova_GetInputName(m_card, i, name, sizeof name) == S_OK; ++i) {
        auto* r = new wxRadioButton(parent, 2200 + i, wxString::FromUTF8(name), wxDefaultPosition, wxDefaultSize,
                                    i == 0 ? wxRB_GROUP : 0);
        r->SetValue(i == routed);
        sizer->Add(r, 0, wxALL, 6);
        buttons->push_back(r);
    }
    if (buttons->empty()) return false;
    sizer->SetMinSize(wxSize(300, -1));
    m_commit = [this, buttons] {
        for (size_t i = 0; i < buttons->size(); ++i)
            if ((*buttons)[i]->GetValue() && Strova_RouteInPinToOutPin(m_card, int32_t(i), 0) < 0) {
                CConfigSet::Ask(this, "The device could not switch to this input.", GetTitle(),
                                wxOK | wxICON_EXCLAMATION);
                return false;
            }
        return true;
    };
    return true;
}

void CPropertyFrame::OnOk() {
    if (!m_commit || m_commit()) EndModal(wxID_OK);
}

int CPropertyFrame::ShowModal() {
    if (ShownHook()) {
        ShownFn hook = ShownHook();
        CallAfter([this, hook] { hook(*this); });
    }
    return wxDialog::ShowModal();
}
