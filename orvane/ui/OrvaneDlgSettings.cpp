// Main window: command 1002, the System Settings dialog. The remote is not
// polled while the dialog exists; after OK the file numbers are recomputed for
// the (maybe new) folders and the capture audio choice reaches the library.
#include "orvane/ui/OrvaneDlg.h"

#include "orvane/core/Settings.h"
#include "orvane/ui/ConfigSet.h"
#include "orvane/ui/OrvaneApp.h"
#include "orvane/ui/Resource.h"
#include "strova/Strova.h"

void COrvaneDlg::ConfigurationCommand() {
    // Grayed while a recording or a channel scan runs.
    if (m_configOpen || !CaptureMenuAllowed(IDC_CONFIGURATION) || IsScanRunning()) return;
    m_configOpen = true;
    orvane::RunTime& rt = orvane::Rt();
    int answer = wxID_CANCEL;
    {
        CConfigSet dlg(this, *this, &m_remoteFlag);
        answer = dlg.ShowModal();
    }
    if (answer == wxID_OK) {
        COrvaneApp::ComputeFileNumbers();
        Strova_SetCaptureAudio(rt.deviceIndex, &rt.isCaptureAudio);
    }
    Strova_SetMessageDrain(rt.deviceIndex, m_hwnd);
    m_remoteFlag = 1;
    m_configOpen = false;
}
