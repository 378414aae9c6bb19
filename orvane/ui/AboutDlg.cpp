#include "orvane/ui/AboutDlg.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "orvane/ui/HyperLink.h"
#include "orvane/ui/Resource.h"
#include "orvane/ui/Skin.h"

CAboutDlg::CAboutDlg(wxWindow* parent)
    : wxDialog(parent, IDD_ABOUTBOX, "About Tellura", wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE) {
    auto* top = new wxBoxSizer(wxHORIZONTAL);
    wxIcon icon = LoadSkinIcon(IDR_MAINFRAME, 48);
    wxBitmap bmp;
    if (icon.IsOk()) bmp.CopyFromIcon(icon);
    top->Add(new wxStaticBitmap(this, wxID_ANY, bmp), 0, wxALL, 12);

    auto* text = new wxBoxSizer(wxVERTICAL);
    auto* title = new wxStaticText(this, wxID_ANY, "Tellura for Linux, version 0.1");
    title->SetFont(title->GetFont().Bold().Scaled(1.2f));
    text->Add(title, 0, wxBOTTOM, 4);
    text->Add(new wxStaticText(this, wxID_ANY,
                               "Watch, record and snapshot analogue TV.\n"
                               "Copyright (C) 2026 the Tellura developers."),
              0, wxBOTTOM, 10);
    m_web = new CHyperLink(this, IDC_WEB_LINK, "tellura-tv.org");
    m_mail = new CHyperLink(this, IDC_MAIL_LINK, "support@tellura-tv.org");
    m_web->SetTarget(kProjectSite);
    m_mail->SetTarget(kSupportMail);
    text->Add(m_web, 0, wxBOTTOM, 4);
    text->Add(m_mail, 0, wxBOTTOM, 10);
    top->Add(text, 1, wxTOP | wxRIGHT, 12);

    auto* all = new wxBoxSizer(wxVERTICAL);
    all->Add(top, 1, wxEXPAND);
    all->Add(new wxButton(this, wxID_OK, "OK"), 0, wxALIGN_RIGHT | wxALL, 10);
    SetSizerAndFit(all);
    CentreOnParent();
}
