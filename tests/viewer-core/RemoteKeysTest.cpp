#include "RemoteKeys.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

// Feeds receiver words through the poller and the window's filter.
std::vector<RemoteCommand> Press(const std::vector<int>& words) {
    RemotePoller poller;
    KeyFilter filter;
    std::vector<RemoteCommand> acted;
    for (int w : words)
        for (int code : poller.Codes(w))
            if (filter.Accept(code)) {
                RemoteCommand c = MapRemoteCode(code);
                if (c.action != RemoteAction::None) acted.push_back(c);
            }
    return acted;
}

TEST(RemoteKeys, RepeatsAndSeparatedPresses) {
    // Same key twice with a no-key poll between: acts twice.
    auto a = Press({176, 0x100, 176});
    ASSERT_EQ(a.size(), 2u);
    // Same key twice without a gap: the second is dropped.
    EXPECT_EQ(Press({176, 176}).size(), 1u);
    // Held volume up: first press, then each repeat code steps twice.
    auto held = Press({176, 0xFF, 0xFF});
    ASSERT_EQ(held.size(), 3u);
    EXPECT_EQ(held[1].action, RemoteAction::VolumeUp);
    EXPECT_EQ(held[1].arg, 2);
    EXPECT_EQ(held[2].arg, 2);
    // Unknown codes do nothing.
    EXPECT_TRUE(Press({7, 255 & 0x1FE, 0x3FF}).empty());
}

TEST(RemoteKeys, DispatchTable) {
    const int digits[10] = {18, 144, 184, 248, 152, 216, 136, 232, 72, 104};
    for (int d = 0; d < 10; ++d) {
        RemoteCommand c = MapRemoteCode(digits[d]);
        EXPECT_EQ(c.action, RemoteAction::Digit);
        EXPECT_EQ(c.arg, d);
    }
    EXPECT_EQ(MapRemoteCode(0).action, RemoteAction::PrevChannel);
    EXPECT_EQ(MapRemoteCode(50).action, RemoteAction::NextChannel);
    EXPECT_EQ(MapRemoteCode(2).action, RemoteAction::LastChannel);
    EXPECT_EQ(MapRemoteCode(8).action, RemoteAction::Close);
    EXPECT_EQ(MapRemoteCode(0x470).action, RemoteAction::ColourDown);
    EXPECT_EQ(MapRemoteCode(0x470).arg, 1);
    EXPECT_EQ(MapRemoteCode(0x4A8).arg, 2);
    EXPECT_EQ(MapRemoteCode(0x400 | 50).action, RemoteAction::None);
    EXPECT_EQ(MapRemoteCode(kNoKey).action, RemoteAction::None);
}

TEST(RemoteKeys, ColourAndVolumeClamps) {
    EXPECT_EQ(ColourStep(1, 0, 9900, true), 10000);
    EXPECT_EQ(ColourStep(2, 0, 4, false), 0);
    EXPECT_EQ(ColourStep(2, 1, 126, true), 127);
    EXPECT_EQ(ColourStep(2, 3, 100, true), 106);
    EXPECT_EQ(ColourProperty(2), 3);
    EXPECT_EQ(ColourProperty(3), 2);
    EXPECT_EQ(ColourMax(2, 2), 127);
    EXPECT_EQ(ColourDefault(2, 1), 68);
    EXPECT_EQ(ColourDefault(1, 3), 5000);
    EXPECT_EQ(ColourStep(2, 9, 50, true), 50);
    EXPECT_EQ(VolumeStep(65000, true), 65530);
    EXPECT_EQ(VolumeStep(65530, true), 65530);
    EXPECT_EQ(VolumeStep(1000, false), 0);
    EXPECT_EQ(VolumeStep(VolumeStep(20000, true), true), 23000);
}

}  // namespace
}  // namespace orvane
