// The record toggle (1010, remote key 42) through the real capture library:
// names, the window state, the timer hooks, the abort notifications and the
// files, checked with ffprobe.
#include "CaptureTestSupport.h"

#include <mutex>
#include <thread>

#include "orvane/core/RemoteDispatch.h"
#include "orvane/core/Schedule.h"
#include "orvane/core/Settings.h"
#include "platform/Clock.h"
#include "platform/Window.h"
#include "strova/Strova.h"

using orvane::UiChange;
namespace ids = orvane::capture_ids;

namespace {

// "<format>|<codec>,<codec>" of a file as ffprobe reads it.
std::string Probe(const std::string& path) {
    const std::string format = Shell("ffprobe -v error -show_entries format=format_name -of csv=p=0 '" + path + "'");
    std::string codecs = Shell("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 '" + path + "'");
    for (char& c : codecs)
        if (c == '\n') c = ',';
    return format + "|" + codecs;
}

double Duration(const std::string& path) {
    return std::atof(Shell("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "'").c_str());
}

// The library's notifications, posted from its threads.
class NotifyQueue {
public:
    NotifyQueue() : hwnd_(plat::CreateWindowHandle(nullptr)) {
        plat::SetMessageSink(
            hwnd_,
            [this](plat::UINT, plat::WPARAM, plat::LPARAM lp) {
                std::lock_guard lock(mutex_);
                codes_.push_back(int(lp & 0xFFFF));
                return plat::LRESULT(0);
            },
            nullptr);
    }
    ~NotifyQueue() { plat::DestroyWindowHandle(hwnd_); }
    plat::HWND Handle() const { return hwnd_; }
    std::vector<int> Take() {
        std::lock_guard lock(mutex_);
        return std::exchange(codes_, {});
    }

private:
    plat::HWND hwnd_;
    std::mutex mutex_;
    std::vector<int> codes_;
};

// The remote dispatch as the main window runs it, with the capture keys.
class RemoteActions : public orvane::ViewerActions {
public:
    explicit RemoteActions(orvane::CaptureCommands& c) : cmd(c) {}
    void Run(orvane::RemoteAction action, int) override { cmd.HandleRemoteAction(action); }
    int CardModel() const override { return 0; }
    int ColourValue(int) const override { return 0; }
    void SetColourValue(int, int) override {}
    void ShowBar(const char*, int, int) override {}
    orvane::CaptureCommands& cmd;
};

}  // namespace

class Recording : public CaptureFixture {
protected:
    bool NeedsStill() const override { return false; }
    void Record(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    std::string Name(int n, const char* ext) const { return Videos() + kPrefix + std::to_string(n) + ext; }
};

TEST_F(Recording, MissingVideoFolderStartsNothing) {
    orvane::CopyField(rt_.recordPath, home_.path("gone/"));
    rt_.lastRecNumber = 4;
    cmd_.RecordToggle();
    EXPECT_EQ(host_.messages, (std::vector<std::string>{"Error: Video directory don't exist!Choose it again,please."}));
    EXPECT_EQ(rt_.videoFolderOk, 0);
    EXPECT_EQ(rt_.lastRecNumber, 4);
    EXPECT_TRUE(host_.ui.empty());
    EXPECT_TRUE(host_.texts.empty());
    EXPECT_FALSE(cmd_.DeviceCapturing());
}

TEST_F(Recording, FailedStartRestoresTheCounterAndLeavesNoFile) {
    // A folder whose names do not fit the library's path field.
    std::string deep = home_.path("");
    while (deep.size() < 250) {
        deep += "d123456789/";
        ::mkdir(deep.c_str(), 0755);
    }
    orvane::CopyField(rt_.recordPath, deep);
    rt_.lastRecNumber = 2;
    cmd_.HandleCommand(ids::kRecord);
    EXPECT_EQ(host_.texts, (std::vector<std::string>{"FAULT !"}));
    EXPECT_EQ(rt_.lastRecNumber, 2);
    EXPECT_FALSE(cmd_.IsRecording());
    EXPECT_FALSE(cmd_.TimedStartFired());
    EXPECT_TRUE(host_.ui.empty());
    EXPECT_EQ(host_.soundRestores, 0);
    EXPECT_TRUE(FilesIn(deep).empty());

    // A read-only folder: the library cannot create the file.
    if (!CanMount()) return;
    ASSERT_TRUE(MountTmpfs(Videos(), 64, true));
    orvane::CopyField(rt_.recordPath, Videos());
    cmd_.RecordToggle();
    EXPECT_EQ(host_.texts.size(), 2u);
    EXPECT_EQ(rt_.lastRecNumber, 2);
    EXPECT_FALSE(cmd_.DeviceCapturing());
    Unmount(Videos());
}

TEST_F(Recording, NotificationsAfterTheRecordingStoppedShowNothing) {
    EXPECT_TRUE(cmd_.OnLibraryNotify(NOTIFY_DISK_FULL));
    EXPECT_TRUE(cmd_.OnLibraryNotify(NOTIFY_ABORTED));
    EXPECT_FALSE(cmd_.OnLibraryNotify(NOTIFY_GRAPH_EVENT));
    EXPECT_TRUE(host_.messages.empty());
    EXPECT_TRUE(host_.ui.empty());
}

TEST_F(Recording, StartAndStopByCommandFollowTheWindowState) {
    tellura::test::WriteFile(Videos() + "20030105-3.mpg", "");
    tellura::test::WriteFile(Videos() + "20030105-5.avi", "");
    CountFromFolders();
    ASSERT_EQ(rt_.lastRecNumber, 8);  // the sum of both kinds' highest numbers

    cmd_.HandleCommand(ids::kRecord);
    ASSERT_TRUE(cmd_.DeviceCapturing()) << (host_.texts.empty() ? "" : host_.texts.back());
    EXPECT_TRUE(cmd_.IsRecording());
    EXPECT_EQ(cmd_.RecordingName(), Name(9, ".avi"));
    EXPECT_EQ(host_.LastText(UiChange::MenuText, ids::kRecord), "Stop Recording");
    EXPECT_EQ(host_.LastText(UiChange::ButtonTip, ids::kRecord), "Stop Recording");
    EXPECT_EQ(host_.Last(UiChange::ButtonToggled, ids::kRecord), 1);
    EXPECT_EQ(host_.Last(UiChange::ButtonShow, ids::kRecIndicator), 1);
    EXPECT_EQ(host_.Last(UiChange::ButtonEnable, ids::kSnapshot), 1);  // "mpgmode" 0
    for (int id : {ids::kPause, ids::kVideoBrowser, ids::kImageBrowser, ids::kConfiguration})
        EXPECT_EQ(host_.Last(UiChange::ButtonEnable, id), 0) << id;
    EXPECT_EQ(host_.Last(UiChange::MenuEnable, ids::kPause), 0);
    EXPECT_EQ(host_.Last(UiChange::MenuEnable, ids::kConfiguration), 0);
    EXPECT_EQ(host_.ui.back().kind, UiChange::TrayIcon);
    EXPECT_EQ(host_.ui.back().id, ids::kIconRecording);
    EXPECT_EQ(host_.soundRestores, 1);

    Record(2500);
    host_.ui.clear();
    cmd_.HandleCommand(ids::kRecord);
    EXPECT_FALSE(cmd_.DeviceCapturing());
    EXPECT_FALSE(cmd_.IsRecording());
    EXPECT_EQ(host_.LastText(UiChange::MenuText, ids::kRecord), "Start Recording");
    EXPECT_EQ(host_.LastText(UiChange::ButtonTip, ids::kRecord), "Start Recording");
    EXPECT_EQ(host_.Last(UiChange::ButtonToggled, ids::kRecord), 0);
    EXPECT_EQ(host_.Last(UiChange::ButtonToggled, ids::kPause), 0);
    EXPECT_EQ(host_.Last(UiChange::ButtonShow, ids::kRecIndicator), 0);
    for (int id : {ids::kPause, ids::kVideoBrowser, ids::kImageBrowser, ids::kConfiguration, ids::kSnapshot})
        EXPECT_EQ(host_.Last(UiChange::ButtonEnable, id), 1) << id;
    EXPECT_EQ(host_.Last(UiChange::MenuEnable, ids::kConfiguration), 1);
    EXPECT_EQ(host_.Last(UiChange::TrayIcon, ids::kIconNormal), 1);
    EXPECT_EQ(host_.soundRestores, 2);
    EXPECT_TRUE(host_.texts.empty());

    // The default format is VCD: the multiplexer writes the ".mpg" beside the name.
    const std::string file = Name(9, ".mpg");
    EXPECT_EQ(Probe(file).substr(0, 4), "mpeg") << Probe(file);
    EXPECT_NE(Probe(file).find("mpeg1video"), std::string::npos) << Probe(file);
    EXPECT_GT(Duration(file), 1.0);
    EXPECT_EQ(rt_.lastRecNumber, 9);
}

TEST_F(Recording, EachFormatByRemoteKey) {
    struct Case { unsigned captureMode, mpgMode; const char* ext; const char* codec; };
    const Case cases[] = {{1, 0, ".mpg", "mpeg1video"}, {0, 1, ".mpg", "mpeg2video"}, {3, 0, ".avi", "mpeg4"}};  // AVI takes the default compressor
    orvane::RemoteDispatcher dispatch;
    RemoteActions actions(cmd_);
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codec);
        orvane::WriteSettingNumber("CaptureMode", c.captureMode);
        orvane::WriteSettingNumber("mpgmode", c.mpgMode);
        dispatch.Handle(orvane::kNoKey, false, actions);  // the key was released
        ASSERT_TRUE(dispatch.Handle(42, false, actions));
        ASSERT_TRUE(cmd_.DeviceCapturing());
        // With MPEG-2 the snapshot button stays disabled for the whole recording.
        EXPECT_EQ(host_.Last(UiChange::ButtonEnable, ids::kSnapshot), c.mpgMode == 1 ? 0 : 1);
        Record(2000);
        dispatch.Handle(orvane::kNoKey, false, actions);
        ASSERT_TRUE(dispatch.Handle(42, false, actions));
        EXPECT_FALSE(cmd_.DeviceCapturing());
        EXPECT_EQ(host_.Last(UiChange::ButtonEnable, ids::kSnapshot), 1);
        const std::string file = Name(++n, c.ext);
        EXPECT_NE(Probe(file).find(c.codec), std::string::npos) << Probe(file) << " " << ::testing::PrintToString(FilesIn(Videos()));
        EXPECT_GT(Duration(file), 0.8);
    }
}

// A schedule entry at a fixed date; its start as a time_t.
std::time_t AddEntry(orvane::Schedule& s, int hour, int minute, int second, int durSeconds, int dayOffset = 0) {
    orvane::ScheduleEntry e{2030, 1, 1 + dayOffset, hour, minute, second, 0, 0, durSeconds};
    std::time_t start = 0;
    EXPECT_TRUE(orvane::StartTime(e, start));
    s.Insert(e);
    return start;
}

TEST_F(Recording, TimedStartAndLengthLimit) {
    orvane::Schedule s;
    const std::time_t at = AddEntry(s, 10, 0, 30, 1);  // 10:00:30 for one second
    const std::time_t manual = AddEntry(s, 11, 0, 0, 1);
    cmd_.OnTimer(at - 3, plat::GetTickCount(), s);  // 3 seconds early
    EXPECT_FALSE(cmd_.DeviceCapturing());
    EXPECT_EQ(rt_.b, 1);
    cmd_.OnTimer(at - 2, plat::GetTickCount(), s);
    ASSERT_TRUE(cmd_.DeviceCapturing());
    EXPECT_TRUE(cmd_.TimedStartFired());
    const uint32_t t0 = cmd_.RecordingStartTick();
    cmd_.OnTimer(at - 1, t0 + 999, s);  // fired once only; 1 s has not yet run
    EXPECT_TRUE(cmd_.DeviceCapturing());
    Record(1500);
    cmd_.OnTimer(at, t0 + 1000, s);
    EXPECT_FALSE(cmd_.DeviceCapturing());
    EXPECT_FALSE(cmd_.TimedStartFired());
    EXPECT_GT(Duration(Name(1, ".mpg")), 0.5);
    cmd_.OnTimer(at, plat::GetTickCount(), s);  // its window is still open, but it has fired
    EXPECT_FALSE(cmd_.DeviceCapturing());

    // A recording started by hand goes on through a timed start, and the
    // length limit applies to it.
    cmd_.RecordToggle();
    ASSERT_TRUE(cmd_.DeviceCapturing());
    const uint32_t t1 = cmd_.RecordingStartTick();
    cmd_.OnTimer(manual, t1 + 500, s);
    EXPECT_TRUE(cmd_.DeviceCapturing());
    EXPECT_TRUE(cmd_.TimedStartFired());
    cmd_.OnTimer(manual + 1, t1 + 1000, s);
    EXPECT_FALSE(cmd_.DeviceCapturing());
}

// Values left from an earlier run start nothing, an entry for tomorrow does
// not fire today at its time of day, and a late tick inside an entry's window
// records the rest of it.
TEST_F(Recording, ScheduleComparesDatesAndCatchesUpLateTicks) {
    orvane::Schedule s;
    rt_.b = rt_.l = 1, rt_.bh = 9, rt_.bm = 0, rt_.bs = 0, rt_.ls = 1;
    const std::time_t tomorrow = AddEntry(s, 9, 0, 0, 1, 1);
    cmd_.OnTimer(tomorrow - 86400, plat::GetTickCount(), s);
    EXPECT_FALSE(cmd_.DeviceCapturing());
    s.Clear();
    cmd_.OnTimer(tomorrow - 86400, plat::GetTickCount(), s);
    EXPECT_EQ(rt_.b, 0);
    EXPECT_EQ(rt_.l, 0);

    const std::time_t at = AddEntry(s, 12, 0, 0, 10);  // ten seconds from 12:00:00
    cmd_.OnTimer(at + 8, plat::GetTickCount(), s);     // the ticks before were lost
    ASSERT_TRUE(cmd_.DeviceCapturing());
    EXPECT_EQ(rt_.lh * 3600 + rt_.lm * 60 + rt_.ls, 2);
    const uint32_t t0 = cmd_.RecordingStartTick();
    cmd_.OnTimer(at + 9, t0 + 1999, s);
    EXPECT_TRUE(cmd_.DeviceCapturing());
    cmd_.OnTimer(at + 10, t0 + 2000, s);
    EXPECT_FALSE(cmd_.DeviceCapturing());
}

TEST_F(Recording, AbortStopsOnceEvenWhenStoppedMeanwhile) {
    cmd_.RecordToggle();
    ASSERT_TRUE(cmd_.DeviceCapturing());
    Record(1000);
    // A second notification handled while the first message is up stops the
    // recording; the first one must not then start a new recording.
    host_.onMessage = [&] {
        host_.onMessage = nullptr;
        cmd_.OnLibraryNotify(NOTIFY_ABORTED);
    };
    EXPECT_TRUE(cmd_.OnLibraryNotify(NOTIFY_ABORTED));
    EXPECT_EQ(host_.messages,
              (std::vector<std::string>(2, "Error: Recording video stopped,because an exception occured.")));
    EXPECT_FALSE(cmd_.DeviceCapturing());
    EXPECT_FALSE(cmd_.IsRecording());
    EXPECT_EQ(rt_.lastRecNumber, 1);
}

TEST_F(Recording, FullDiskStopsWithTheMessageAndLeavesAPlayableFile) {
    if (!CanMount()) GTEST_SKIP() << "no private mount namespace for a small file system";
    ASSERT_TRUE(MountTmpfs(Videos(), 400, false));
    NotifyQueue queue;
    Strova_SetNotifyWindow(card_, queue.Handle(), 0x5832);
    cmd_.RecordToggle();
    ASSERT_TRUE(cmd_.DeviceCapturing());
    const bool stopped = WaitFor(
        [&] {
            for (int code : queue.Take()) {
                if (code == NOTIFY_GRAPH_EVENT) Strova_ManageNotifyMessage(card_);
                else cmd_.OnLibraryNotify(code);
            }
            return !host_.messages.empty();
        },
        20000);
    ASSERT_TRUE(stopped);
    EXPECT_EQ(host_.messages,
              (std::vector<std::string>{"Error: Recording video stopped,because there is no enough disk space."}));
    EXPECT_FALSE(cmd_.DeviceCapturing());
    EXPECT_FALSE(cmd_.IsRecording());
    EXPECT_EQ(host_.LastText(UiChange::MenuText, ids::kRecord), "Start Recording");
    EXPECT_NE(Probe(Name(1, ".mpg")).find("mpeg1video"), std::string::npos);
    Unmount(Videos());
}
