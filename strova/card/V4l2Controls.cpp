// Device controls of a V4L2 card: every control the driver lists, with its
// own range, type and menu entries (controls of other types are left out).
#include "strova/card/V4l2Card.h"

#include <cstring>

namespace strova::card {

namespace {

int TypeOf(uint32_t v4l2Type) {
  switch (v4l2Type) {
    case V4L2_CTRL_TYPE_INTEGER: return DeviceControl::kInteger;
    case V4L2_CTRL_TYPE_BOOLEAN: return DeviceControl::kBoolean;
    case V4L2_CTRL_TYPE_MENU: return DeviceControl::kMenu;
    case V4L2_CTRL_TYPE_BUTTON: return DeviceControl::kButton;
    default: return 0;
  }
}

}  // namespace

// The index-th shown control, found by walking the driver's list.
Status V4l2Card::GetControl(int index, DeviceControl* control) {
  if (control == nullptr || index < 0) return kInvalidArg;
  v4l2_queryctrl q{};
  q.id = V4L2_CTRL_FLAG_NEXT_CTRL;
  int seen = 0;
  for (int guard = 0; guard < 1024 && Xioctl(VIDIOC_QUERYCTRL, &q) == 0; ++guard) {
    const int type = TypeOf(q.type);
    const bool shown = type != 0 && !(q.flags & (V4L2_CTRL_FLAG_DISABLED | V4L2_CTRL_FLAG_READ_ONLY));
    if (shown && seen++ == index) {
      *control = DeviceControl{};
      control->id = q.id;
      control->name.assign(reinterpret_cast<const char*>(q.name), strnlen(reinterpret_cast<const char*>(q.name), sizeof q.name));
      control->type = type;
      control->minimum = q.minimum, control->maximum = q.maximum;
      control->step = q.step > 0 ? q.step : 1, control->def = q.default_value;
      v4l2_control c{q.id, 0};
      if (type != DeviceControl::kButton && Xioctl(VIDIOC_G_CTRL, &c) != 0) return kFail;
      control->value = c.value;
      for (long v = q.minimum; type == DeviceControl::kMenu && v <= q.maximum && v - q.minimum < 64; ++v) {
        v4l2_querymenu m{};
        m.id = q.id;
        m.index = uint32_t(v);
        const bool ok = Xioctl(VIDIOC_QUERYMENU, &m) == 0;
        control->items.emplace_back(ok ? reinterpret_cast<const char*>(m.name) : "");
      }
      return kOk;
    }
    q.id |= V4L2_CTRL_FLAG_NEXT_CTRL;
  }
  return kFail;
}

Status V4l2Card::SetControl(uint32_t id, long value) {
  v4l2_control c{id, int32_t(value)};
  return Xioctl(VIDIOC_S_CTRL, &c) == 0 ? kOk : kFail;
}

}  // namespace strova::card
