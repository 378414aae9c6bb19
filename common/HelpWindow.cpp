#include "common/HelpWindow.h"

#include <sys/stat.h>

#include <wx/app.h>
#include <wx/filename.h>
#include <wx/frame.h>
#include <wx/html/helpctrl.h>

#include "platform/Paths.h"
#include "platform/Window.h"

namespace {
constexpr plat::UINT kWmClose = 0x0010;
}

std::string HelpBookPath() { return plat::ProgramDir() + "help/tellura.hhp"; }

struct CHelpWindow::Impl {
    std::unique_ptr<wxHtmlHelpController> help;
    plat::HWND published = nullptr;
    bool loaded = false;
    bool above = false;

    wxFrame* Frame() const { return help ? help->GetFrame() : nullptr; }

    // Publishes the title while the frame lives; a close message closes it.
    void Publish() {
        wxFrame* frame = Frame();
        if (!frame || published) return;
        published = plat::CreateWindowHandle(kHelpTitle);
        plat::SetMessageSink(
            published,
            [this](plat::UINT msg, plat::WPARAM, plat::LPARAM) -> plat::LRESULT {
                if (msg == kWmClose)
                    if (wxFrame* f = Frame()) f->Close(true);
                return 0;
            },
            [](std::function<void()> task) { wxTheApp->CallAfter(std::move(task)); });
        frame->Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& e) {
            Unpublish();
            e.Skip();
        });
    }
    void ApplyAbove() {
        wxFrame* f = Frame();
        if (!f) return;
        const long style = f->GetWindowStyleFlag();
        const long want = above ? style | wxSTAY_ON_TOP : style & ~wxSTAY_ON_TOP;
        if (want != style) f->SetWindowStyleFlag(want);
    }
    void Unpublish() {
        if (!published) return;
        plat::DestroyWindowHandle(published);
        published = nullptr;
    }
};

CHelpWindow::CHelpWindow() : m_impl(std::make_unique<Impl>()) {}

CHelpWindow::~CHelpWindow() {
    Close();
    m_impl->Unpublish();
}

bool CHelpWindow::Show(const std::string& page) {
    Impl& m = *m_impl;
    if (!m.help) {
        const std::string book = HelpBookPath();
        struct stat st {};
        if (::stat(book.c_str(), &st) != 0) return false;
        m.help = std::make_unique<wxHtmlHelpController>(wxHF_DEFAULT_STYLE, nullptr);
        m.help->SetTitleFormat(kHelpTitle);
        m.help->SetShouldPreventAppExit(false);
        m.loaded = m.help->AddBook(wxFileName(wxString::FromUTF8(book)), false);
    }
    if (!m.loaded) return false;
    const bool shown = page.empty() ? m.help->DisplayContents() : m.help->Display(wxString::FromUTF8(page));
    const bool first = !m.published;
    m.Publish();
    if (wxFrame* f = m.Frame()) {
        if (first) {
            f->SetSize(f->FromDIP(wxSize(980, 720)));
            f->Centre();
        }
        m.ApplyAbove();
        f->Raise();
    }
    return shown;
}

bool CHelpWindow::IsOpen() const {
    const wxFrame* f = m_impl->Frame();
    return f && f->IsShown();
}

void CHelpWindow::Close() {
    if (wxFrame* f = m_impl->Frame()) f->Close(true);
    m_impl->Unpublish();
}


void CHelpWindow::KeepAbove(bool above) {
    m_impl->above = above;
    m_impl->ApplyAbove();
}
