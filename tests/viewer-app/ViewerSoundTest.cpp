// The viewer's sound on a private sound server: the station is heard; mute,
// the line-input hold around a channel change and hiding to the tray silence
// it and it comes back; volume and mute act on the default sink.
#include <gtest/gtest.h>

#include "ViewerAppSupport.h"
#include "orvane/core/Mixer.h"
#include "orvane/ui/OrvaneDlg.h"
#include "orvane/ui/Resource.h"
#include "support/SoundServer.h"

using orvane::Rt;
using tellura::test::PrivateSoundServer;

namespace {

TEST(ViewerSound, StationMuteHoldAndTrayAsTheUserHearsThem) {
    tellura::test::ScopedHome home;
    PrivateSoundServer server(home.root());
    ASSERT_TRUE(server.Start());
    InProcessViewer v([](orvane::RunTime& rt) { SeedStations(rt, 2); });
    ASSERT_NE(v.dlg, nullptr);
    Rt().autoStart = 1;  // closing hides to the tray
    COrvaneDlg* d = v.dlg;
    const auto first = tellura::test::StationNotes(330), second = tellura::test::StationNotes(385);
    const std::string sink = PrivateSoundServer::kSink;
    // Recording blocks the user-interface thread, so a hold cannot end during it.
    auto hears = [&](const std::vector<double>& notes) {
        return PumpUntil([&] { return tellura::test::NotesShare(server.Record(400), notes) > 0.4; }, 10000);
    };
    auto silent = [&] { return PumpUntil([&] { return tellura::test::Rms(server.Record(200)) < 1.0; }, 10000); };
    ASSERT_TRUE(hears(first));

    d->SendCommand(ID_MUTE);
    EXPECT_TRUE(silent());
    EXPECT_NE(server.Pactl("get-sink-mute " + sink).find("yes"), std::string::npos);
    d->SendCommand(ID_MUTE);
    EXPECT_TRUE(hears(first));
    EXPECT_NE(server.Pactl("get-sink-mute " + sink).find("no"), std::string::npos);

    d->SendCommand(IDC_CHANNEL_UP);
    ASSERT_EQ(d->LineCountdown(), 2);
    // The last 100 ms of the hold's first 300 ms are silent.
    const auto held = server.Record(300);
    EXPECT_LT(tellura::test::Rms({held.end() - 4800, held.end()}), 1.0);
    EXPECT_TRUE(hears(second));  // back once the hold has run out

    d->SendCommand(ID_CLOSE);  // to the tray
    ASSERT_TRUE(Rt().hidden);
    EXPECT_TRUE(silent());
    d->SendCommand(ID_CLOSE);  // back from it
    EXPECT_TRUE(hears(second));

    d->SendCommand(ID_VOLUME_DOWN);  // the first step reads the sink's volume
    const int before = Rt().volume;
    d->SendCommand(ID_VOLUME_UP);
    EXPECT_EQ(Rt().volume, std::min(before + 1500, 65530));
    const std::string raw = std::to_string(orvane::ScaleVolume(Rt().volume, 0, 0x10000));
    EXPECT_NE(server.Pactl("get-sink-volume " + sink).find("front-left: " + raw + " "), std::string::npos);
}

// The desktop at half volume, a lower volume stored: the first Volume Up
// raises the desktop's volume by one step.
TEST(ViewerSound, FirstVolumeStepStartsFromTheDesktopsVolume) {
    tellura::test::ScopedHome home;
    PrivateSoundServer server(home.root());
    ASSERT_TRUE(server.Start());
    const std::string sink = PrivateSoundServer::kSink;
    server.Pactl("set-sink-volume " + sink + " 32768");
    InProcessViewer v([](orvane::RunTime& rt) { rt.volume = 22767; });
    ASSERT_NE(v.dlg, nullptr);
    v.dlg->SendCommand(ID_VOLUME_UP);
    const std::string text = server.Pactl("get-sink-volume " + sink);
    const size_t at = text.find("front-left: ");
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_NEAR(std::stol(text.substr(at + 12)), 32768 + 1500, 8) << text;
}

}  // namespace
