#include "WxTestLoop.h"

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/image.h>

void Pump(int ms) {
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    const wxLongLong end = wxGetLocalTimeMillis() + ms;
    do {
        while (loop && loop->Pending()) loop->Dispatch();
        if (wxTheApp) wxTheApp->ProcessPendingEvents();
        wxMilliSleep(2);
    } while (wxGetLocalTimeMillis() < end);
}

bool PumpUntil(const std::function<bool()>& pred, int ms) {
    const wxLongLong end = wxGetLocalTimeMillis() + ms;
    while (!pred()) {
        if (wxGetLocalTimeMillis() > end) return false;
        Pump(10);
    }
    return true;
}

int RunWxTests(int argc, char** argv) {
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
