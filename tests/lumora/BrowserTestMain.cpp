// Starts wx once for all browser window tests.
#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/image.h>

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
