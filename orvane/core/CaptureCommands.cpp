#include "orvane/core/CaptureCommands.h"
#include "orvane/core/RecProfiles.h"

#include <algorithm>
#include <cstdio>

#include "orvane/core/SnapshotFiles.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "strova/Strova.h"

namespace orvane {
namespace {

namespace id = capture_ids;

constexpr const char* kErrorCaption = "Error";

// The MPEG multiplexer writes "<name without its 4-character extension>.mpg";
// the lossless and H.264 profiles ".mkv" and ".mp4" the same way.
std::string Sibling(const std::string& name, const char* extension) {
    return name.size() >= 4 ? name.substr(0, name.size() - 4) + extension : std::string();
}
std::string MpegSibling(const std::string& name) { return Sibling(name, ".mpg"); }

}  // namespace

CaptureCommands::CaptureCommands(CaptureHost& host, RunTime& rt) : host_(host), rt_(rt) {}

int CaptureCommands::Quality() const { return std::clamp(rt_.jpegQuality, 10, 100); }

bool CaptureCommands::DeviceCapturing() const {
    int capturing = 0;
    Strova_IsCapturing(rt_.deviceIndex, &capturing);
    return capturing != 0;
}

bool CaptureCommands::HandleCommand(int command) {
    switch (command) {
        case id::kRecord: RecordToggle(); return true;
        case id::kSaveAs: SaveAs(); return true;
        case id::kSnapshot: Snapshot(false); return true;
        default: return false;
    }
}

bool CaptureCommands::HandleRemoteAction(RemoteAction action) {
    if (action == RemoteAction::Record) RecordToggle();
    else if (action == RemoteAction::Snapshot) Snapshot(true);
    else return false;
    return true;
}

// ---------------------------------------------------------------- stills

// The library reports success even when it wrote nothing, so the file itself
// is the answer: a complete BMP written by this call.
bool CaptureCommands::SaveStill(const std::string& path, bool jpeg) {
    if (!FitsPathField(path)) return false;
    const FileStamp before = StampOf(path);
    const int result = jpeg ? Strova_SaveToJpgFile(rt_.deviceIndex, path.c_str())
                            : Strova_SaveToBmpFile(rt_.deviceIndex, path.c_str());
    return result > 0 && IsFreshBmp(path, before);
}

void CaptureCommands::Snapshot(bool fromRemote) {
    if (!fromRemote && rt_.userEnSnap) {
        SaveAs();
        return;
    }
    rt_.snapFolderOk = plat::GetPathKind(rt_.snapshotPath);
    if (rt_.snapFolderOk == 0) {
        host_.CaptureMessage(kSnapFolderMissing, kErrorCaption);
        return;
    }
    const bool ok = rt_.isSaveAsJpeg ? JpegSnapshot() : BmpSnapshot();
    host_.CaptureShowText(ok ? kOkay : kFault);
}

bool CaptureCommands::JpegSnapshot() {
    const std::string name = GeneratedName(rt_.snapshotPath, rt_.datePrefix, ++rt_.lastJpgNumber, "jpg");
    if (!SaveStill(name, true)) {
        --rt_.lastJpgNumber;
        return false;
    }
    // When the re-encode fails the file keeps the complete BMP picture.
    ReencodeAsJpeg(name, Quality());
    return true;
}

bool CaptureCommands::BmpSnapshot() {
    const std::string name = GeneratedName(rt_.snapshotPath, rt_.datePrefix, ++rt_.lastBmpNumber, "bmp");
    if (SaveStill(name, false)) return true;
    --rt_.lastBmpNumber;
    return false;
}

void CaptureCommands::SaveAs() {
    const std::string temp = rt_.tempStillFile;
    const bool jpeg = rt_.isSaveAsJpeg != 0;
    // A still left from an earlier save must never pass for this one.
    if (!temp.empty()) std::remove(temp.c_str());
    if (!SaveStill(temp, jpeg)) {
        host_.CaptureShowText(kFault);
        return;
    }
    if (jpeg) ReencodeAsJpeg(temp, Quality());
    SaveDialogSetup setup;
    setup.defaultExtension = jpeg ? "JPG File" : "BMP File";
    setup.fileName = jpeg ? "*.jpg" : "*.bmp";
    setup.filter = jpeg ? "JPG Files (*.jpg)|*.jpg||" : "BMP Files (*.bmp)|*.bmp||";
    setup.folder = rt_.saveAsPath;
    const std::string chosen = host_.CaptureAskSavePath(setup);
    if (chosen.empty()) return;  // cancelled: the temporary still stays
    if (!CopyFileReplacing(temp, chosen)) host_.CaptureShowText(kFault);
    const std::string folder = FolderWithoutSlash(chosen);
    if (!folder.empty()) CopyField(rt_.saveAsPath, folder);
}

// ---------------------------------------------------------------- recording

void CaptureCommands::RecordToggle() {
    if (DeviceCapturing()) StopRecording();
    else StartRecording();
}

void CaptureCommands::Ui(UiChange::Kind kind, int target, bool on, const std::string& text) {
    host_.CaptureUi(UiChange{kind, target, on, text});
}

void CaptureCommands::UiRecordingStarted(bool snapshotEnabled) {
    using K = UiChange::Kind;
    Ui(K::ButtonEnable, id::kSnapshot, snapshotEnabled);
    Ui(K::ButtonToggled, id::kRecord, true);
    Ui(K::ButtonShow, id::kRecIndicator, true);
    for (int button : {id::kPause, id::kVideoBrowser, id::kImageBrowser, id::kConfiguration})
        Ui(K::ButtonEnable, button, false);
    Ui(K::MenuEnable, id::kPause, false);
    Ui(K::MenuEnable, id::kConfiguration, false);
    Ui(K::ButtonTip, id::kRecord, true, "Stop Recording");
    Ui(K::TrayIcon, id::kIconRecording, true);
}

void CaptureCommands::UiRecordingStopped() {
    using K = UiChange::Kind;
    Ui(K::ButtonShow, id::kRecIndicator, false);
    Ui(K::ButtonToggled, id::kPause, false);
    for (int button : {id::kPause, id::kVideoBrowser, id::kImageBrowser, id::kSnapshot, id::kConfiguration})
        Ui(K::ButtonEnable, button, true);
    Ui(K::MenuEnable, id::kPause, true);
    Ui(K::MenuEnable, id::kConfiguration, true);
    Ui(K::ButtonToggled, id::kRecord, false);
    Ui(K::TrayIcon, id::kIconNormal, true);
    Ui(K::ButtonTip, id::kRecord, true, "Start Recording");
}

void CaptureCommands::StopRecording() {
    Strova_StopCapture(rt_.deviceIndex);
    Ui(UiChange::MenuText, id::kRecord, true, "Start Recording");
    recording_ = false;
    timedFired_ = false;
    UiRecordingStopped();
    host_.CaptureRestoreSound();
}

void CaptureCommands::StartRecording() {
    rt_.videoFolderOk = plat::GetPathKind(rt_.recordPath);
    if (rt_.videoFolderOk == 0) {
        host_.CaptureMessage(kVideoFolderMissing, kErrorCaption);
        return;
    }
    const std::string name = GeneratedName(rt_.recordPath, rt_.datePrefix, ++rt_.lastRecNumber, "avi");
    const std::string mpeg = MpegSibling(name);
    const std::string mkv = Sibling(name, ".mkv"), mp4 = Sibling(name, ".mp4");
    const FileStamp aviBefore = StampOf(name), mpegBefore = StampOf(mpeg);
    const FileStamp mkvBefore = StampOf(mkv), mp4Before = StampOf(mp4);
    // A name too long for the library's field is refused there (emptied).
    Strova_SetCaptureFile(rt_.deviceIndex, name.c_str());
    ApplyAviCompressor();  // the Recording Settings page's choice
    Strova_StartCapture(rt_.deviceIndex);
    if (!DeviceCapturing()) {
        --rt_.lastRecNumber;
        // A failed start must not leave an empty or headerless file behind.
        RemoveIfNew(name, aviBefore);
        RemoveIfNew(mpeg, mpegBefore);
        RemoveIfNew(mkv, mkvBefore);
        RemoveIfNew(mp4, mp4Before);
        host_.CaptureShowText(kFault);
        recording_ = false;
        timedFired_ = false;
        return;
    }
    recording_ = true;
    recordingName_ = name;
    shownLost_ = 0;
    Ui(UiChange::MenuText, id::kRecord, true, "Stop Recording");
    unsigned mpgMode = 0;
    ReadSettingNumber("mpgmode", mpgMode);
    startTick_ = plat::GetTickCount();
    UiRecordingStarted(mpgMode != 1);
    host_.CaptureRestoreSound();
}

// ---------------------------------------------------------------- timer and notifications

// The recording's lost frames on the display whenever they change, so a
// user sees at once that the tape or the machine drops frames.
void CaptureCommands::ShowLostFrames() {
    StrovaRecordingCounts n{};
    if (Strova_GetRecordingCounts(rt_.deviceIndex, &n) != S_OK || !n.recording) return;
    if (n.framesDropped + n.framesRepeated == shownLost_) return;
    shownLost_ = n.framesDropped + n.framesRepeated;
    host_.CaptureShowText("dropped " + std::to_string(n.framesDropped) + " \u00b7 repeated " +
                          std::to_string(n.framesRepeated));
}

void CaptureCommands::OnTimer(std::time_t now, uint32_t tick, Schedule& schedule) {
    if (recording_) ShowLostFrames();
    if (!recording_) schedule.FindNextEntry(rt_, now);
    if (rt_.b && !timedFired_ && schedule.TakeDue(rt_, now)) {
        timedFired_ = true;
        // A recording already running (started by hand) goes on: the
        // timed start must never stop it.
        if (!DeviceCapturing()) RecordToggle();
    }
    if (recording_ && rt_.l) {
        // A tick read before the recording started (this same timer call)
        // counts as no time, not as a wrapped-around one.
        // The recording ends once the length has run, so a file lasts the
        // entry's duration rather than up to a second and a half more.
        const int32_t elapsed = static_cast<int32_t>(tick - startTick_);
        const long long ms = elapsed > 0 ? elapsed : 0;
        const long long limit = (long long)rt_.lh * 3600 + (long long)rt_.lm * 60 + rt_.ls;
        if (ms >= limit * 1000) {
            timedFired_ = false;
            RecordToggle();
        }
    }
}

void CaptureCommands::OnTimer() { OnTimer(std::time(nullptr), plat::GetTickCount(), Sched()); }

bool CaptureCommands::OnLibraryNotify(int code) {
    if (code != NOTIFY_DISK_FULL && code != NOTIFY_ABORTED) return false;
    if (!DeviceCapturing()) return true;
    host_.CaptureMessage(code == NOTIFY_DISK_FULL ? kDiskFullStopped : kAbortStopped, kErrorCaption);
    // Another notification may have stopped the recording while the message
    // was up; toggling then would start a new one.
    if (DeviceCapturing()) StopRecording();
    return true;
}

}  // namespace orvane
