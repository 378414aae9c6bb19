#include "BrowserSupport.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <vector>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/menu.h>

#include "common/RegKey.h"
#include "lumora/MainFrm.h"
#include "lumora/Resource.h"

void WriteJpeg(const std::string& path, int w, int h, int quality) {
    std::vector<unsigned char> rgb(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned char* p = &rgb[(size_t(y) * w + x) * 3];
            p[0] = (unsigned char)(x * 255 / std::max(1, w - 1));
            p[1] = (unsigned char)(y * 255 / std::max(1, h - 1));
            p[2] = (unsigned char)((x / 16 + y / 16) % 2 ? 200 : 40);
        }
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long len = 0;
    ASSERT_EQ(tjCompress2(tj, rgb.data(), w, w * 3, h, TJPF_RGB, &out, &len, TJSAMP_420, quality, 0), 0);
    ASSERT_TRUE(tellura::test::WriteFile(path, std::string(reinterpret_cast<char*>(out), len)));
    tjFree(out);
    tjDestroy(tj);
}

std::string NumberedFolder(const tellura::test::ScopedHome& home, int count) {
    const std::string dir = home.path("pics");
    for (int i = 0; i < count; ++i) WriteJpeg(dir + "/img" + std::to_string(100 + i) + ".jpg", 64, 48);
    return dir;
}

TestBrowser::TestBrowser(const std::string& folder, const std::string& viewerTitle) {
    {
        CRegKey key;
        key.Open(plat::HKEY_LOCAL_MACHINE, "Software\\Quorvel\\Application");
        key.WriteString("SnapPath", (folder + "/").c_str());
        key.WriteString("ExeName", viewerTitle.c_str());
    }
    EXPECT_TRUE(browser.Start());
    if (browser.Frame()) browser.Frame()->Maximize(false);
    ResizeClient(1000, 700);
    WaitLoaded();
}

TestBrowser::~TestBrowser() {
    if (browser.Frame()) browser.Frame()->Close(true);
    Pump(5);
    wxTheApp->ProcessIdle();  // the closed frame is deleted on idle
}

CLumoraView* TestBrowser::View() const {
    return browser.Manager() ? dynamic_cast<CLumoraView*>(browser.Manager()->GetCurrentView()) : nullptr;
}

void TestBrowser::Command(int command) {
    wxFrame* frame = browser.Frame();
    frame->UpdateWindowUI(wxUPDATE_UI_RECURSE);
    // As a menu does: a disabled item sends nothing.
    wxMenuItem* item = frame->GetMenuBar()->FindItem(lumora::ItemId(command));
    if (item && !item->IsEnabled()) return;
    wxCommandEvent e(wxEVT_MENU, lumora::ItemId(command));
    e.SetEventObject(frame);
    frame->GetEventHandler()->ProcessEvent(e);
    Pump(5);
}

void TestBrowser::Key(int keyCode) {
    wxKeyEvent e(wxEVT_CHAR_HOOK);
    e.m_keyCode = keyCode;
    e.SetEventObject(View()->Canvas());
    browser.Frame()->GetEventHandler()->ProcessEvent(e);
    Pump(5);
}

void TestBrowser::ResizeClient(int w, int h) {
    wxWindow* canvas = View()->Canvas();
    const wxSize now = canvas->GetClientSize();
    const wxSize frame = browser.Frame()->GetClientSize();
    browser.Frame()->SetClientSize(frame.x + w - now.x, frame.y + h - now.y);
    PumpUntil([&] { return canvas->GetClientSize() == wxSize(w, h); }, 3000);
}

bool TestBrowser::WaitLoaded() {
    return PumpUntil([this] { return View() && !View()->Loading(); }, 10000);
}
