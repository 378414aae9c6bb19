// The simulated cards' sound (SimSound.cpp): node N's sound is ALSA card
// kFirstSoundCard + N, "hw:M", which needs no sound card.
#pragma once

#include <string>

namespace v4l2sim {

inline constexpr int kFirstSoundCard = 24;  // above the cards a machine has

// The real folder that stands for a node's sysfs sound folder
// (/sys/class/video4linux/videoN/device/sound), listing its card; empty for
// any other path.
std::string SimSoundFolder(const char* path);

}  // namespace v4l2sim
