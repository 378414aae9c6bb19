// Starts wx once for all tests of this program.
#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/image.h>

#include "UiTestSupport.h"
#include "orvane/ui/ControlDlg.h"
#include "orvane/ui/TVControl.h"
#include "orvane/ui/dispDlg.h"

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

int main(int argc, char** argv) { return RunWxTests(argc, argv); }
