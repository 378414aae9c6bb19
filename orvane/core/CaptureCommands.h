// The viewer's recording and snapshot commands: 1010 (record toggle), 1011
// (save the current picture under a chosen name) and 1012 (snapshot), the
// recording parts of the main window's timer and the library's abort
// notifications.
//
// The commands name the files (folder, the start day's date prefix, a running
// number per kind continued from the folders), call the capture library and
// report everything they change in the main window through CaptureHost, so
// the logic runs and is tested without the window.
#pragma once
#include <cstdint>
#include <ctime>
#include <string>

#include "orvane/core/RemoteKeys.h"
#include "orvane/core/Schedule.h"
#include "orvane/core/Settings.h"

namespace orvane {

// Command and button ids the commands touch.
namespace capture_ids {
constexpr int kConfiguration = 1002;  // settings button; also the context menu's first item
constexpr int kPause = 1004;
constexpr int kImageBrowser = 1009;
constexpr int kRecord = 1010;
constexpr int kSaveAs = 1011;
constexpr int kSnapshot = 1012;
constexpr int kVideoBrowser = 1014;
constexpr int kRecIndicator = 32797;
constexpr int kIconNormal = 128;
constexpr int kIconRecording = 306;
}  // namespace capture_ids

// One change to the main window's controls.
struct UiChange {
    enum Kind { MenuText, MenuEnable, ButtonEnable, ButtonShow, ButtonToggled, ButtonTip, TrayIcon };
    Kind kind;
    int id;             // command id (menu item or panel button), or icon id for TrayIcon
    bool on = false;    // enable / show / toggled
    std::string text;   // MenuText, ButtonTip
};

// The save-file dialog as the commands ask for it.
struct SaveDialogSetup {
    std::string defaultExtension;  // "JPG File" / "BMP File"
    std::string fileName;          // "*.jpg" / "*.bmp"
    std::string filter;            // "JPG Files (*.jpg)|*.jpg||"
    std::string folder;            // where the dialog starts
    bool overwritePrompt = true;
};

// What the commands need from the main window.
class CaptureHost {
public:
    virtual ~CaptureHost() = default;
    // Modal message box without icon.
    virtual void CaptureMessage(const std::string& text, const std::string& caption) = 0;
    // One line on the on-screen display ("OKAY !", "FAULT !").
    virtual void CaptureShowText(const std::string& text) = 0;
    // The save-file dialog; the chosen path, or "" when cancelled.
    virtual std::string CaptureAskSavePath(const SaveDialogSetup& setup) = 0;
    virtual void CaptureUi(const UiChange& change) = 0;
    // The main window's sound restore rule.
    virtual void CaptureRestoreSound() = 0;
};

// Texts shown by the commands.
inline constexpr const char* kSnapFolderMissing = "Snapshot directory don't exist!Choose it again,please.";
inline constexpr const char* kVideoFolderMissing = "Video directory don't exist!Choose it again,please.";
inline constexpr const char* kDiskFullStopped = "Recording video stopped,because there is no enough disk space.";
inline constexpr const char* kAbortStopped = "Recording video stopped,because an exception occured.";
inline constexpr const char* kOkay = "OKAY !";
inline constexpr const char* kFault = "FAULT !";

class CaptureCommands {
public:
    explicit CaptureCommands(CaptureHost& host, RunTime& rt = Rt());

    // Command 1012. From the remote (key 160) it never asks for a name.
    void Snapshot(bool fromRemote = false);
    // Command 1011.
    void SaveAs();
    // Command 1010: stops a running recording, else starts one.
    void RecordToggle();

    // Runs 1010, 1011 or 1012; false for any other id.
    bool HandleCommand(int id);
    // Remote keys 42 (record) and 160 (snapshot); false for other actions.
    bool HandleRemoteAction(RemoteAction action);

    // Timer 5: while nothing records, the schedule loads the next entry into
    // the run-time values; then the timed start (on the entry's own date,
    // also late while its window is open) and the length limit. tick is the
    // millisecond tick count.
    void OnTimer(std::time_t now, uint32_t tick, Schedule& schedule);
    void OnTimer();  // with the current time, tick count and the viewer's schedule

    // Library notification codes 0x1235 (disk full) and 0x1238 (aborted):
    // the message and the stop, only while the device still records.
    // Returns true for those two codes.
    bool OnLibraryNotify(int code);

    // The recording flag (set while a recording started here runs).
    bool IsRecording() const { return recording_; }
    bool TimedStartFired() const { return timedFired_; }
    uint32_t RecordingStartTick() const { return startTick_; }
    // The file name given to the library for the running recording.
    const std::string& RecordingName() const { return recordingName_; }
    // Whether the library reports the device as recording.
    bool DeviceCapturing() const;

private:
    bool BmpSnapshot();
    bool JpegSnapshot();
    bool SaveStill(const std::string& path, bool jpeg);
    void StartRecording();
    void StopRecording();
    void UiRecordingStarted(bool snapshotEnabled);
    void UiRecordingStopped();
    void Ui(UiChange::Kind kind, int id, bool on, const std::string& text = {});
    int Quality() const;
    void ShowLostFrames();

    CaptureHost& host_;
    RunTime& rt_;
    bool recording_ = false;
    bool timedFired_ = false;
    uint32_t startTick_ = 0;
    std::string recordingName_;
    int64_t shownLost_ = 0;  // dropped + repeated frames last shown
};

}  // namespace orvane
