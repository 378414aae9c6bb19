// The installed programs: `cmake --install` into a prefix with blanks, the
// menu entries and metadata checked by the desktop's own validators, and the
// installed viewer started through its command link from another folder,
// finding its artwork beside itself.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "ViewerAppSupport.h"
#include "platform/Paths.h"
#include "strova/Strova.h"

namespace {

// Runs a command found on PATH, without a shell's word splitting; its exit code.
int RunTool(const std::vector<std::string>& command, const std::string& folder = ".") {
    std::vector<std::string> args{"-c", "cd \"$0\" && exec \"$@\"", folder};
    args.insert(args.end(), command.begin(), command.end());
    const int pid = Spawn("/bin/sh", args);
    return pid > 0 ? WaitExit(pid, 120000) : -1;
}

}  // namespace

TEST(Install, PrefixWithBlanksValidatesAndInstalledViewerStartsFromAnotherFolder) {
    tellura::test::ScopedHome home;
    const std::string prefix = home.path("opt/Tellura TV");
    ASSERT_EQ(RunTool({TELLURA_CMAKE, "--install", TELLURA_BUILD_DIR, "--prefix", prefix}), 0);
    const std::string apps = prefix + "/share/applications/";
    for (const char* id : {"org.tellura_tv.Tellura", "org.tellura_tv.Lumora"}) {
        EXPECT_EQ(RunTool({"desktop-file-validate", apps + id + ".desktop"}), 0) << id;
        EXPECT_EQ(RunTool({"appstreamcli", "validate", "--no-net", prefix + "/share/metainfo/" + id + ".metainfo.xml"}), 0) << id;
        for (const char* size : {"16x16", "48x48", "256x256"})
            EXPECT_EQ(tellura::test::ReadFile(prefix + "/share/icons/hicolor/" + size + "/apps/" + id + ".png").substr(1, 3),
                      "PNG") << id << " " << size;
        EXPECT_NE(tellura::test::ReadFile(prefix + "/share/icons/hicolor/scalable/apps/" + id + ".svg").find("<svg"),
                  std::string::npos) << id;
    }
    EXPECT_NE(tellura::test::ReadFile(apps + "org.tellura_tv.Tellura.desktop").find("Exec=\"" + prefix + "/bin/orvane\"\n"),
              std::string::npos);

    // The viewer through its command link, from a folder that holds nothing of it.
    const std::string card = VirtualCardName();
    ASSERT_FALSE(card.empty());
    SeedSettings([&](orvane::RunTime& rt) { orvane::CopyField(rt.deviceName, card); });
    Strova_Uninitialize();
    const std::string elsewhere = home.path("elsewhere");
    ::mkdir(elsewhere.c_str(), 0755);
    const int pid = Spawn("/bin/sh", {"-c", "cd \"$0\" && exec \"$1\"", elsewhere, prefix + "/bin/orvane"});
    ASSERT_GT(pid, 0);
    bool shown = false;
    for (int i = 0; i < 300 && !shown && WaitExit(pid, 0) < 0; ++i) {
        shown = XWindowState(card, pid) == 0;
        if (!shown) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(shown) << "the installed viewer's window never appeared";
    // The start-up picture came from the program's own folder.
    EXPECT_EQ(tellura::test::ReadFile(plat::SystemDir() + "Korblend.bmp").substr(0, 2), "BM");
    KillChild(pid);
}
