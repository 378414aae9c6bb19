// The About box: program icon, two lines of text, links to the project's web
// site and support address, and OK.
#pragma once

#include <wx/dialog.h>

class CHyperLink;

inline constexpr const char* kProjectSite = "https://tellura-tv.org/";
inline constexpr const char* kSupportMail = "mailto:support@tellura-tv.org";

class CAboutDlg : public wxDialog {
public:
    explicit CAboutDlg(wxWindow* parent);
    CHyperLink* WebLink() const { return m_web; }
    CHyperLink* MailLink() const { return m_mail; }

private:
    CHyperLink* m_web = nullptr;
    CHyperLink* m_mail = nullptr;
};
