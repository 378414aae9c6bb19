#include "lumora/AboutDlg.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "lumora/Artwork.h"
#include "lumora/Resource.h"

CAboutDlg::CAboutDlg(wxWindow* parent)
    : wxDialog(parent, lumora::IDD_ABOUTBOX, "About Lumora", wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE) {
    wxBitmap icon;
    icon.CopyFromIcon(lumora::ProgramIcon(48));
    auto* title = new wxStaticText(this, wxID_ANY, "Lumora image browser, version 0.1");
    title->SetFont(title->GetFont().Bold().Scaled(1.2f));
    auto* lines = new wxBoxSizer(wxVERTICAL);
    lines->Add(title, 0, wxBOTTOM, 4);
    lines->Add(new wxStaticText(this, wxID_ANY, "Browse the snapshots of Tellura.\nCopyright (C) 2026 the Tellura developers."));
    auto* body = new wxBoxSizer(wxHORIZONTAL);
    body->Add(new wxStaticBitmap(this, wxID_ANY, icon), 0, wxALL, 12);
    body->Add(lines, 1, wxTOP | wxRIGHT, 16);
    auto* page = new wxBoxSizer(wxVERTICAL);
    page->Add(body, 1, wxEXPAND);
    page->Add(CreateStdDialogButtonSizer(wxOK), 0, wxEXPAND | wxALL, 12);
    SetSizerAndFit(page);
    CentreOnParent();
}
