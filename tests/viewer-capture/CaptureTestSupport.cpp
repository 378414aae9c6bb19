#include "CaptureTestSupport.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>

#include "platform/Paths.h"
#include "strova/Strova.h"

using orvane::UiChange;

int RecordingCaptureHost::Last(UiChange::Kind kind, int id) const {
    for (auto it = ui.rbegin(); it != ui.rend(); ++it)
        if (it->kind == kind && it->id == id) return it->on ? 1 : 0;
    return -1;
}

std::string RecordingCaptureHost::LastText(UiChange::Kind kind, int id) const {
    for (auto it = ui.rbegin(); it != ui.rend(); ++it)
        if (it->kind == kind && it->id == id) return it->text;
    return "<none>";
}

bool MountTmpfs(const std::string& dir, int kib, bool readOnly) {
    ::mkdir(dir.c_str(), 0755);
    const std::string options = "size=" + std::to_string(kib) + "k";
    return CanMount() && ::mount("tmpfs", dir.c_str(), "tmpfs", readOnly ? MS_RDONLY : 0, options.c_str()) == 0;
}

void Unmount(const std::string& dir) { ::umount2(dir.c_str(), MNT_DETACH); }

std::string Shell(const std::string& command) {
    std::FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (!p) return {};
    std::string out;
    char buf[512];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

bool WaitFor(const std::function<bool()>& cond, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (cond()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return cond();
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d))
            if (e->d_name[0] != '.') names.push_back(e->d_name);
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void CaptureFixture::SetUp() {
    ::unsetenv("DISPLAY");  // the library's preview renders headless
    rt_ = orvane::RunTime{};  // counters and flags too, not only the stored settings
    orvane::ResetSettings(rt_);
    ::mkdir(Snaps().c_str(), 0755);
    ::mkdir(Videos().c_str(), 0755);
    orvane::CopyField(rt_.snapshotPath, Snaps());
    orvane::CopyField(rt_.recordPath, Videos());
    orvane::CopyField(rt_.saveAsPath, Snaps());
    orvane::CopyField(rt_.datePrefix, kPrefix);
    orvane::CopyField(rt_.tempStillFile, plat::TempDir() + "%wdmsnp%.tmp");
    ASSERT_EQ(Strova_Initialize(), S_OK);
    int count = 0;
    Strova_GetCardNumber(&count);
    card_ = count - 1;  // the virtual card is listed last
    ASSERT_GE(card_, 0);
    rt_.deviceIndex = card_;
    ASSERT_EQ(Strova_ConnectDevice(card_, 0, nullptr), S_OK);
    // Frames flow once a still can be written; its size is the snapshot size.
    const std::string probe = home_.path("probe.bmp");
    if (!NeedsStill()) return;
    if (!WaitFor([&] { return Strova_SaveToBmpFile(card_, probe.c_str()) == 1 && FileExists(probe); }))
        GTEST_SKIP() << "the library's preview graph writes no still yet";
    stillSize_ = Shell("identify -format %wx%h '" + probe + "'");
    std::remove(probe.c_str());
}

void CaptureFixture::TearDown() { Strova_Uninitialize(); }

void CaptureFixture::CountFromFolders() {
    const int prefix = int(std::string(kPrefix).size());
    rt_.lastBmpNumber = plat::FindHighestFileNumber(Snaps() + kPrefix + "*.bmp", prefix, 4);
    rt_.lastJpgNumber = plat::FindHighestFileNumber(Snaps() + kPrefix + "*.jpg", prefix, 4);
    rt_.lastRecNumber = plat::FindHighestFileNumber(Videos() + kPrefix + "*.mpg", prefix, 4) +
                        plat::FindHighestFileNumber(Videos() + kPrefix + "*.avi", prefix, 4);
}
