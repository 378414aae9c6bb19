#include "orvane/ui/TvList.h"

#include <algorithm>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/listbox.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "orvane/ui/ConfigSet.h"
#include "orvane/ui/Resource.h"

using orvane::FaveEditor;

namespace {

// Control ids per side: list, name field, "Rename", "Delete", slider, "Apply".
struct SideIds {
    int list, name, rename, remove, slider, apply;
    const char* listLabel;
    const char* nameLabel;
};
const SideIds kIds[2] = {
    {1039, 1041, 5, 6, 1043, 9, "Channel List", "Set Channel Name"},
    {1040, 1044, 10, 11, 1045, 12, "Favorite Channel List", "Set Favorite Channel Name"},
};
constexpr int kAddId = 3, kUpId = 7, kDownId = 8, kUseFaveId = 1042;

wxString OffsetText(int position) {
    return position == 0 ? wxString("0 kHz") : wxString::Format("%+d kHz", position * orvane::kInchStep);
}

}  // namespace

CTvList::ShownFn& CTvList::ShownHook() {
    static ShownFn hook;
    return hook;
}

CTvList::CTvList(wxWindow* parent, orvane::RunTime& rt, orvane::TuneHost& host)
    : wxDialog(parent, IDD_FAVOURITES, "Favorite Channel Settings"),
      m_rt(rt), m_host(host), m_editor(std::make_unique<FaveEditor>(rt, host)) {
    auto* columns = new wxBoxSizer(wxHORIZONTAL);
    columns->Add(BuildSide(FaveEditor::kChannels), 1, wxEXPAND);
    auto* middle = new wxBoxSizer(wxVERTICAL);
    m_add = new wxButton(this, kAddId, "&Add >>");
    m_up = new wxButton(this, kUpId, "&Up");
    m_down = new wxButton(this, kDownId, "&Down");
    middle->AddSpacer(40);
    middle->Add(m_add, 0, wxEXPAND | wxBOTTOM, 16);
    middle->Add(m_up, 0, wxEXPAND | wxBOTTOM, 6);
    middle->Add(m_down, 0, wxEXPAND);
    columns->Add(middle, 0, wxLEFT | wxRIGHT, 12);
    columns->Add(BuildSide(FaveEditor::kFaves), 1, wxEXPAND);

    auto* bottom = new wxBoxSizer(wxHORIZONTAL);
    m_useFave = new wxCheckBox(this, kUseFaveId, "Enable Favorite Channel List");
    bottom->Add(m_useFave, 0, wxALIGN_CENTER_VERTICAL);
    bottom->AddStretchSpacer();
    auto* ok = new wxButton(this, wxID_OK, "&OK");
    bottom->Add(ok, 0, wxRIGHT, 8);
    bottom->Add(new wxButton(this, wxID_CANCEL, "&Cancel"));
    ok->SetDefault();

    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(columns, 1, wxEXPAND | wxALL, 12);
    top->Add(bottom, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 12);
    SetSizerAndFit(top);
    CentreOnParent();

    for (Side s : {FaveEditor::kChannels, FaveEditor::kFaves}) BindSide(s);
    m_add->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnAdd(); });
    m_up->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { m_editor->MoveUp(); Sync(); });
    m_down->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { m_editor->MoveDown(); Sync(); });
    m_useFave->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { m_editor->SetUseFave(m_useFave->GetValue()); });
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnOk(); }, wxID_OK);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnCancel(); }, wxID_CANCEL);
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { OnCancel(); });

    m_useFave->SetValue(m_editor->UseFave());
    m_editor->Open();
    Sync();
}

CTvList::~CTvList() = default;

wxSizer* CTvList::BuildSide(Side s) {
    const SideIds& id = kIds[s];
    SideControls& c = m_side[s];
    auto* col = new wxBoxSizer(wxVERTICAL);
    col->Add(new wxStaticText(this, wxID_ANY, id.listLabel), 0, wxBOTTOM, 4);
    c.list = new wxListBox(this, id.list, wxDefaultPosition, wxSize(200, 220));
    col->Add(c.list, 1, wxEXPAND | wxBOTTOM, 10);

    auto* box = new wxStaticBoxSizer(wxVERTICAL, this, id.nameLabel);
    wxWindow* b = box->GetStaticBox();
    c.name = new wxTextCtrl(b, id.name);
    c.name->SetMaxLength(orvane::kMaxChannelName);
    box->Add(c.name, 0, wxEXPAND | wxALL, 4);
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    c.rename = new wxButton(b, id.rename, "Rename");
    c.remove = new wxButton(b, id.remove, "Delete");
    buttons->Add(c.rename, 1, wxRIGHT, 6);
    buttons->Add(c.remove, 1);
    box->Add(buttons, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 4);

    auto* inch = new wxBoxSizer(wxHORIZONTAL);
    inch->Add(new wxStaticText(b, wxID_ANY, "Inching:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    c.slider = new wxSlider(b, id.slider, 0, orvane::kInchMin, orvane::kInchMax, wxDefaultPosition, wxSize(150, -1));
    inch->Add(c.slider, 1, wxALIGN_CENTER_VERTICAL);
    c.offset = new wxStaticText(b, wxID_ANY, OffsetText(orvane::kInchMin), wxDefaultPosition, wxDefaultSize,
                                wxALIGN_RIGHT | wxST_NO_AUTORESIZE);
    // Wide enough for every offset: "+" is wider than "-" in most fonts.
    int widest = 0;
    for (int pos = orvane::kInchMin; pos <= orvane::kInchMax; ++pos)
        widest = std::max(widest, c.offset->GetTextExtent(OffsetText(pos)).x);
    c.offset->SetMinSize(wxSize(widest + c.offset->FromDIP(2), -1));
    inch->Add(c.offset, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 6);
    box->Add(inch, 0, wxEXPAND | wxLEFT | wxRIGHT, 4);
    c.apply = new wxButton(b, id.apply, "Apply");
    box->Add(c.apply, 0, wxALIGN_RIGHT | wxALL, 4);
    col->Add(box, 0, wxEXPAND);
    return col;
}

void CTvList::BindSide(Side s) {
    SideControls& c = m_side[s];
    c.list->Bind(wxEVT_LISTBOX, [this, s](wxCommandEvent& e) {
        m_editor->SelectRow(s, e.GetSelection());
        Sync();
    });
    // A click on the row that is already highlighted selects nothing new, so
    // no selection event comes: the click itself makes that side active.
    c.list->Bind(wxEVT_LEFT_DOWN, [this, s](wxMouseEvent& e) {
        e.Skip();
        CallAfter([this, s] {
            const int row = m_side[s].list->GetSelection();
            if (!m_editor->SideEnabled(s) && row != wxNOT_FOUND) {
                m_editor->SelectRow(s, row);
                Sync();
            }
        });
    });
    c.rename->Bind(wxEVT_BUTTON, [this, s](wxCommandEvent&) {
        m_editor->Rename(s, m_side[s].name->GetValue().utf8_string());
        Sync();
    });
    c.remove->Bind(wxEVT_BUTTON, [this, s](wxCommandEvent&) {
        m_editor->Delete(s);
        Sync();
    });
    c.slider->Bind(wxEVT_SLIDER, [this, s](wxCommandEvent&) {
        m_editor->Inch(s, m_side[s].slider->GetValue());
        m_side[s].offset->SetLabel(OffsetText(m_editor->Slider(s)));
    });
    c.apply->Bind(wxEVT_BUTTON, [this, s](wxCommandEvent&) {
        m_editor->Apply(s);
        Sync();
    });
}

void CTvList::FillList(Side s) {
    wxListBox* list = m_side[s].list;
    wxArrayString rows;
    for (int i = 0; i < m_editor->Count(s); ++i) rows.Add(wxString::FromUTF8(m_editor->RowText(s, i)));
    list->Set(rows);
    if (!rows.empty()) list->SetSelection(m_editor->SelectedRow(s));
}

// Moves the editor's state into the controls: changed lists, name fields,
// sliders and what is enabled.
void CTvList::Sync() {
    const int dirty = m_editor->TakeDirty();
    for (Side s : {FaveEditor::kChannels, FaveEditor::kFaves}) {
        SideControls& c = m_side[s];
        if (dirty & (1 << s)) FillList(s);
        // The field holds 10 characters; a longer stored name shows cut, not empty.
        c.name->ChangeValue(wxString::FromUTF8(m_editor->NameField(s)).Left(orvane::kMaxChannelName));
        c.slider->SetValue(m_editor->Slider(s));
        c.offset->SetLabel(OffsetText(m_editor->Slider(s)));
        const bool on = m_editor->SideEnabled(s);
        for (wxWindow* w : {static_cast<wxWindow*>(c.name), static_cast<wxWindow*>(c.rename),
                            static_cast<wxWindow*>(c.remove), static_cast<wxWindow*>(c.slider),
                            static_cast<wxWindow*>(c.apply)})
            w->Enable(on);
    }
    m_add->Enable(m_editor->AddEnabled());
    m_up->Enable(m_editor->UpDownEnabled());
    m_down->Enable(m_editor->UpDownEnabled());
}

void CTvList::OnAdd() {
    switch (m_editor->Add()) {
    case FaveEditor::AddResult::Duplicate:
        CConfigSet::Ask(this, "The current channel has been added into favorite channel list.", "Tellura", wxOK);
        break;
    case FaveEditor::AddResult::Full:
        CConfigSet::Ask(this, "The favorite channel list is full: delete a favorite channel first.", "Tellura",
                        wxOK | wxICON_INFORMATION);
        break;
    case FaveEditor::AddResult::Added:
        Sync();
        break;
    }
}

void CTvList::OnOk() {
    m_editor->SetUseFave(m_useFave->GetValue());
    m_editor->CommitTo(m_rt);
    EndModal(wxID_OK);
}

void CTvList::OnCancel() {
    FaveEditor::Retune(m_rt, m_host);
    EndModal(wxID_CANCEL);
}

int CTvList::ShowModal() {
    if (ShownHook()) {
        ShownFn hook = ShownHook();
        CallAfter([this, hook] { hook(*this); });
    }
    return wxDialog::ShowModal();
}
