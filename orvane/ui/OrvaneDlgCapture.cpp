// Main window: recording and snapshot commands (1010 record, 1011 save the
// current picture as, 1012 snapshot) and the recording part of timer 5.
//
// ======================================================================
// HOOK: the recording/snapshot handler is wired in here. Until then the
// three commands stay disabled (CaptureCommandsEnabled() is false), no
// recording runs, and the timer has no recording work.
// ======================================================================
#include "orvane/ui/OrvaneDlg.h"

void COrvaneDlg::OnCaptureCommand(int id, bool askName) {
    (void)id;
    (void)askName;
}

bool COrvaneDlg::CaptureCommandsEnabled() const { return false; }

bool COrvaneDlg::IsRecording() const { return false; }

void COrvaneDlg::OnCaptureTimer() {}
