#include "Mixer.h"

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

}  // namespace
}  // namespace orvane
