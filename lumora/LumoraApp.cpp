// Start-up and shutdown of the browser.
#include "lumora/LumoraApp.h"

#include <wx/display.h>
#include <wx/docview.h>
#include <wx/image.h>

#include "common/DibImage.h"
#include "common/RegKey.h"
#include "lumora/ImageDialogs.h"
#include "lumora/LumoraDoc.h"
#include "lumora/LumoraView.h"
#include "lumora/MainFrm.h"
#include "lumora/Resource.h"
#include "platform/Paths.h"

namespace lumora {

BrowserSettings ReadBrowserSettings() {
    BrowserSettings s;
    CRegKey key;
    if (key.Open(plat::HKEY_LOCAL_MACHINE, "Software\\Quorvel\\Application") == 0) {
        std::string value;
        if (key.ReadString("ExeName", value) == 0 && !value.empty()) s.viewerTitle = value;
        value.clear();
        if (key.ReadString("SnapPath", value) == 0 && !value.empty()) s.startFolder = value;
        key.Close();
    }
    // The platform's default snapshot folder stands in for the design's.
    if (s.startFolder.empty()) s.startFolder = plat::PicturesDir();
    return s;
}

CBrowser::CBrowser() = default;

CBrowser::~CBrowser() {
    if (frame_) frame_->Destroy();
    if (manager_) manager_->CloseDocuments(true);
}

bool CBrowser::Start() {
    settings_ = ReadBrowserSettings();
    if (!settings_.viewerTitle.empty()) viewer_ = plat::FindWindowA(nullptr, settings_.viewerTitle.c_str());
    SetStartFolder(settings_.startFolder);

    manager_ = std::make_unique<wxDocManager>();
    new wxDocTemplate(manager_.get(), "Images", "", "", "", "Lumora Doc", "Lumora View", CLASSINFO(CLumoraDoc),
                      CLASSINFO(CLumoraView));
    frame_ = new CMainFrame(manager_.get(), "Quorvel");
    frame_->Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& e) {
        e.Skip();
        NotifyViewer();
        frame_ = nullptr;
    });
    // The view sizes its first thumbnails by the window: give it the size it
    // will have maximized before the window manager answers.
    frame_->SetSize(wxGetClientDisplayRect());
    frame_->Maximize(true);
    if (!manager_->CreateNewDocument()) return false;
    frame_->Show();
    frame_->Update();
    return true;
}

// The viewer shows itself again on 0x901; sent once and waited for.
void CBrowser::NotifyViewer() {
    if (notified_ || !viewer_) return;
    notified_ = true;
    plat::SendMessage(viewer_, WM_LUMORA_CLOSED, 0, 0);
}

}  // namespace lumora

bool CLumoraApp::OnInit() {
    SetAppName("lumora");
    SetAppDisplayName("Lumora");
    wxInitAllImageHandlers();
    // The image object's texts ("Saving image as Bmp file failed!") in the
    // browser's own message box.
    CDibImage::SetMessageSink([](const char* text) { lumora::Ask(wxString::FromUTF8(text), wxOK | wxICON_EXCLAMATION); });
    browser_ = std::make_unique<lumora::CBrowser>();
    return browser_->Start();
}

int CLumoraApp::OnExit() {
    browser_.reset();
    return wxApp::OnExit();
}
