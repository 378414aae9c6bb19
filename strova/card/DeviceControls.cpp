// Device controls of a card without a control list of its own: the
// processing amplifier's properties, each one a slider.
#include "strova/card/Card.h"

namespace strova::card {

namespace {

const char* const kProcAmpNames[] = {"Brightness", "Contrast", "Hue", "Saturation", "Gamma", "Color Enable",
                                     "White Balance", "Backlight Compensation", "Sharpness"};
static_assert(sizeof kProcAmpNames / sizeof *kProcAmpNames == static_cast<size_t>(ProcAmp::Count));

}  // namespace

Status Card::GetControl(int index, DeviceControl* control) {
  if (control == nullptr || index < 0) return kInvalidArg;
  int seen = 0;
  for (int p = 0; p < static_cast<int>(ProcAmp::Count); ++p) {
    PropertyRange r{};
    long value = 0, flags = 0;
    const auto prop = static_cast<ProcAmp>(p);
    if (GetPropertyRange(prop, &r) != kOk || GetProperty(prop, &value, &flags) != kOk) continue;
    if (seen++ != index) continue;
    *control = DeviceControl{};
    control->id = uint32_t(p);
    control->name = kProcAmpNames[p];
    control->minimum = r.min, control->maximum = r.max;
    control->step = r.step > 0 ? r.step : 1, control->def = r.def, control->value = value;
    return kOk;
  }
  return kFail;
}

Status Card::SetControl(uint32_t id, long value) {
  if (id >= static_cast<uint32_t>(ProcAmp::Count)) return kInvalidArg;
  return SetProperty(static_cast<ProcAmp>(id), value, kProcAmpFlagManual);
}

}  // namespace strova::card
