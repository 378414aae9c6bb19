// Layout helpers shared by the settings pages and dialogs.
#pragma once
#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

// One row of a label grid: the label, its control stretched, and an optional
// third item (a "Browse" button).
inline void AddLabelled(wxFlexGridSizer* grid, wxWindow* parent, const char* label, wxWindow* control,
                        wxWindow* extra = nullptr) {
    grid->Add(new wxStaticText(parent, wxID_ANY, label), 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(control, 1, wxEXPAND);
    if (extra) grid->Add(extra);
}

// The dialogs' right-aligned "OK" (the default) and "Cancel" buttons.
inline wxSizer* OkCancelRow(wxWindow* parent) {
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->AddStretchSpacer();
    auto* ok = new wxButton(parent, wxID_OK, "OK");
    buttons->Add(ok, 0, wxRIGHT, 8);
    buttons->Add(new wxButton(parent, wxID_CANCEL, "Cancel"));
    ok->SetDefault();
    return buttons;
}
