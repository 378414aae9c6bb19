#include "orvane/ui/PropertyFrame.h"

#include <memory>
#include <vector>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "orvane/ui/ConfigSet.h"
#include "orvane/ui/PageLayout.h"
#include "strova/Strova.h"

namespace {

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
                                     page == 0 ? "Device Controls" : page == 3 ? "Video Input" : "Stream Format");
    wxWindow* b = box->GetStaticBox();
    if (page == 0) m_content = BuildControls(b, box);
    if (page == 1 || page == 2) m_content = BuildFormat(b, box);
    if (page == 3) m_content = BuildInputs(b, box);
    top->Add(box, 1, wxEXPAND | wxALL, 12);
    top->Add(OkCancelRow(this), 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 12);
    SetSizerAndFit(top);
    CentreOnParent();
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnOk(); }, wxID_OK);
}

// One row per control the device reports, of its own kind and range:
// a slider, a check box, a list or a button. Changes reach the device at once;
// Cancel puts the opening values back.
bool CPropertyFrame::BuildControls(wxWindow* parent, wxSizer* sizer) {
    auto* grid = new wxFlexGridSizer(3, wxSize(10, 6));
    grid->AddGrowableCol(1);
    auto rows = std::make_shared<std::vector<ControlRow>>();
    StrovaControl c{};
    for (int i = 0; i < 128 && Strova_GetDeviceControl(m_card, i, &c) == S_OK; ++i) {
        ControlRow row{i, c, nullptr, nullptr};
        if (!AddControl(parent, grid, row)) continue;
        rows->push_back(row);
    }
    if (rows->empty()) return false;
    sizer->Add(grid, 1, wxEXPAND | wxALL, 6);
    auto* def = new wxButton(parent, wxID_ANY, "&Default");
    sizer->Add(def, 0, wxALIGN_RIGHT | wxALL, 6);
    def->Bind(wxEVT_BUTTON, [rows, this](wxCommandEvent&) {
        for (ControlRow& r : *rows)
            if (r.control.type != STROVA_CONTROL_BUTTON) SetControl(r, r.control.defaultValue);
    });
    Bind(wxEVT_BUTTON, [rows, this](wxCommandEvent&) {
        for (const ControlRow& r : *rows)
            if (r.control.type != STROVA_CONTROL_BUTTON) Strova_SetDeviceControl(m_card, r.control.id, r.control.value);
        EndModal(wxID_CANCEL);
    }, wxID_CANCEL);
    m_commit = [] { return true; };
    return true;
}

bool CPropertyFrame::AddControl(wxWindow* parent, wxFlexGridSizer* grid, ControlRow& row) {
    const StrovaControl& c = row.control;
    const int id = 2000 + row.index;
    wxWindow* w = nullptr;
    switch (c.type) {
    case STROVA_CONTROL_INTEGER:
        if (c.maximum <= c.minimum) return false;
        w = new wxSlider(parent, id, c.value, c.minimum, c.maximum, wxDefaultPosition, wxSize(260, -1));
        static_cast<wxSlider*>(w)->SetLineSize(std::max(1, c.step));
        row.label = new wxStaticText(parent, wxID_ANY, wxString::Format("%d", c.value), wxDefaultPosition,
                                     wxSize(50, -1), wxALIGN_RIGHT | wxST_NO_AUTORESIZE);
        break;
    case STROVA_CONTROL_BOOLEAN:
        w = new wxCheckBox(parent, id, wxEmptyString);
        static_cast<wxCheckBox*>(w)->SetValue(c.value != 0);
        break;
    case STROVA_CONTROL_MENU: {
        auto* choice = new wxChoice(parent, id);
        char item[64];
        for (int v = c.minimum; v <= c.maximum && v - c.minimum < 64; ++v)
            if (Strova_GetDeviceControlItem(m_card, row.index, v, item, sizeof item) == S_OK && item[0])
                choice->Append(wxString::FromUTF8(item), reinterpret_cast<void*>(intptr_t(v)));
        if (choice->IsEmpty()) {
            choice->Destroy();
            return false;
        }
        w = choice;
        ShowMenuValue(choice, c.value);
        break;
    }
    case STROVA_CONTROL_BUTTON:
        w = new wxButton(parent, id, wxString::FromUTF8(c.name));
        break;
    default:
        return false;
    }
    row.window = w;
    // Bound once the row is complete: the handlers keep a copy of it.
    w->Bind(wxEVT_SLIDER, [this, row](wxCommandEvent& e) { SetControl(row, e.GetInt()); });
    w->Bind(wxEVT_CHECKBOX, [this, row](wxCommandEvent& e) { SetControl(row, e.IsChecked() ? 1 : 0); });
    w->Bind(wxEVT_CHOICE, [this, row](wxCommandEvent& e) {
        if (e.GetSelection() >= 0) SetControl(row, int(intptr_t(static_cast<wxChoice*>(row.window)->GetClientData(e.GetSelection()))));
    });
    w->Bind(wxEVT_BUTTON, [this, row](wxCommandEvent&) { SetControl(row, 1); });
    grid->Add(new wxStaticText(parent, wxID_ANY, c.type == STROVA_CONTROL_BUTTON ? "" : wxString::FromUTF8(c.name)),
              0, wxALIGN_CENTER_VERTICAL);
    grid->Add(w, 1, c.type == STROVA_CONTROL_INTEGER ? wxEXPAND : 0);
    if (row.label)
        grid->Add(row.label, 0, wxALIGN_CENTER_VERTICAL);
    else
        grid->AddSpacer(0);
    return true;
}

// Sends a value; a control that fails shows the device's value again, and
// one that has gone is disabled.
void CPropertyFrame::SetControl(const ControlRow& row, int value) {
    int shown = value;
    if (Strova_SetDeviceControl(m_card, row.control.id, value) < 0) {
        StrovaControl now{};
        if (Strova_GetDeviceControl(m_card, row.index, &now) != S_OK || now.id != row.control.id) {
            row.window->Disable();
            return;
        }
        shown = now.value;
    }
    if (auto* s = dynamic_cast<wxSlider*>(row.window)) s->SetValue(shown);
    if (auto* b = dynamic_cast<wxCheckBox*>(row.window)) b->SetValue(shown != 0);
    if (auto* c = dynamic_cast<wxChoice*>(row.window)) ShowMenuValue(c, shown);
    if (row.label) row.label->SetLabel(wxString::Format("%d", shown));
}

void CPropertyFrame::ShowMenuValue(wxChoice* choice, int value) {
    for (unsigned i = 0; i < choice->GetCount(); ++i)
        if (int(intptr_t(choice->GetClientData(i))) == value) choice->SetSelection(int(i));
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
