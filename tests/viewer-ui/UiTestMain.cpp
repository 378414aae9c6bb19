// Starts wx once for all tests of this program.
#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/image.h>

#include "UiTestSupport.h"
#include "orvane/ui/ControlDlg.h"
#include "orvane/ui/TVControl.h"
#include "orvane/ui/dispDlg.h"

void Pump(int ms) {
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    const wxLongLong end = wxGetLocalTimeMillis() + ms;
    do {
        while (loop && loop->Pending()) loop->Dispatch();
        if (wxTheApp) wxTheApp->ProcessPendingEvents();
        wxMilliSleep(2);
    } while (wxGetLocalTimeMillis() < end);
}

RecordingHost::RecordingHost() {
    main = new wxFrame(nullptr, wxID_ANY, "Tellura", wxPoint(200, 200), wxSize(650, 490));
    main->Bind(wxEVT_MENU, [this](wxCommandEvent& e) { commands.push_back(e.GetId()); });
    main->Show();
}

RecordingHost::~RecordingHost() {
    for (wxWindow* w : std::initializer_list<wxWindow*>{keypad, osd, panel, main})
        if (w) w->Destroy();
    Pump(5);
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv)) return 2;
    wxTheApp->CallOnInit();
    wxInitAllImageHandlers();
    int rc = 0;
    {
        wxEventLoop loop;
        wxEventLoopActivator active(&loop);
        rc = RUN_ALL_TESTS();
    }
    wxEntryCleanup();
    return rc;
}
