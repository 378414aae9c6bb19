#include "Mixer.h"

#include "support/SoundServer.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(Mixer, VolumeScalesOntoControlRange) {
    EXPECT_EQ(ScaleVolume(0, 0, 87), 0);
    EXPECT_EQ(ScaleVolume(65530, 0, 87), 87);
    EXPECT_EQ(ScaleVolume(32765, 0, 100), 50);
    EXPECT_EQ(ScaleVolume(65530, -6000, 0), 0);
    // Out-of-range values are held to the ends.
    EXPECT_EQ(ScaleVolume(-5, 10, 20), 10);
    EXPECT_EQ(ScaleVolume(90000, 10, 20), 20);
}

// Master volume and switch act on the sound server's default sink, and
// find the server again after it went away and came back.
TEST(Mixer, MasterActsOnTheServersDefaultSink) {
    tellura::test::ScopedHome home;
    tellura::test::PrivateSoundServer server(home.root());
    ASSERT_TRUE(server.Start());
    const std::string sink = tellura::test::PrivateSoundServer::kSink;
    EXPECT_TRUE(SetMasterVolume(32765));
    EXPECT_NE(server.Pactl("get-sink-volume " + sink).find("front-left: 32768 "), std::string::npos);
    EXPECT_TRUE(SetMasterMute(true));
    EXPECT_NE(server.Pactl("get-sink-mute " + sink).find("Mute: yes"), std::string::npos);
    EXPECT_TRUE(SetMasterMute(false));
    EXPECT_NE(server.Pactl("get-sink-mute " + sink).find("Mute: no"), std::string::npos);

    server.Stop();
    ASSERT_TRUE(server.Start());
    EXPECT_TRUE(SetMasterVolume(90000));  // held to the top: 100 %
    EXPECT_NE(server.Pactl("get-sink-volume " + sink).find("front-left: 65536 "), std::string::npos);
}

}  // namespace
}  // namespace orvane
