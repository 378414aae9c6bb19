// A V4L2 card's own controls as its property page lists them: every
// listed control of a shown type, with range, value and menu entries.
#include "strova/card/V4l2Card.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

namespace sc = strova::card;

namespace {

struct Ctrl {
  uint32_t type;
  const char* name;
  int min, max, def;
  uint32_t flags;
};

// A capture node with four controls: brightness, a boolean, a read-only one
// and a menu with a gap at entry 1.
class ControlsIo : public sc::V4l2Io {
 public:
  std::map<uint32_t, Ctrl> ctrls{
      {V4L2_CID_BRIGHTNESS, {V4L2_CTRL_TYPE_INTEGER, "Brightness", 0, 255, 128, 0}},
      {V4L2_CID_AUTOGAIN, {V4L2_CTRL_TYPE_BOOLEAN, "Gain, Automatic", 0, 1, 1, 0}},
      {V4L2_CID_GAIN, {V4L2_CTRL_TYPE_INTEGER, "Gain", 0, 100, 0, V4L2_CTRL_FLAG_READ_ONLY}},
      {V4L2_CID_POWER_LINE_FREQUENCY, {V4L2_CTRL_TYPE_MENU, "Power Line Frequency", 0, 2, 1, 0}}};
  std::map<uint32_t, int> values{{V4L2_CID_BRIGHTNESS, 100}, {V4L2_CID_AUTOGAIN, 1}, {V4L2_CID_POWER_LINE_FREQUENCY, 2}};
  bool failSet = false;

  int Open(const char*, int) override { return 3; }
  int Close(int) override { return 0; }
  ssize_t Read(int, void*, size_t) override { return (errno = EAGAIN, -1); }
  int Poll(int, int) override { return 0; }
  int Ioctl(int, unsigned long req, void* arg) override {
    switch (req) {
      case VIDIOC_QUERYCAP: {
        auto* c = static_cast<v4l2_capability*>(arg);
        *c = {};
        c->capabilities = V4L2_CAP_DEVICE_CAPS | V4L2_CAP_VIDEO_CAPTURE;
        c->device_caps = V4L2_CAP_VIDEO_CAPTURE;
        return 0;
      }
      case VIDIOC_QUERYCTRL: return Query(static_cast<v4l2_queryctrl*>(arg));
      case VIDIOC_G_CTRL: {
        auto* c = static_cast<v4l2_control*>(arg);
        if (!values.count(c->id)) return (errno = EINVAL, -1);
        c->value = values[c->id];
        return 0;
      }
      case VIDIOC_S_CTRL: {
        auto* c = static_cast<v4l2_control*>(arg);
        if (failSet || !ctrls.count(c->id)) return (errno = EIO, -1);
        values[c->id] = c->value;
        return 0;
      }
      case VIDIOC_QUERYMENU: {
        auto* m = static_cast<v4l2_querymenu*>(arg);
        static const char* kItems[] = {"Disabled", nullptr, "60 Hz"};
        if (m->id != V4L2_CID_POWER_LINE_FREQUENCY || m->index > 2 || !kItems[m->index]) return (errno = EINVAL, -1);
        std::snprintf(reinterpret_cast<char*>(m->name), sizeof m->name, "%s", kItems[m->index]);
        return 0;
      }
      default: return (errno = ENOTTY, -1);
    }
  }

 private:
  int Query(v4l2_queryctrl* q) {
    auto it = ctrls.end();
    if (q->id & V4L2_CTRL_FLAG_NEXT_CTRL)
      it = ctrls.upper_bound(q->id & ~V4L2_CTRL_FLAG_NEXT_CTRL);
    else
      it = ctrls.find(q->id);
    if (it == ctrls.end()) return (errno = EINVAL, -1);
    *q = {};
    q->id = it->first;
    q->type = it->second.type;
    std::snprintf(reinterpret_cast<char*>(q->name), sizeof q->name, "%s", it->second.name);
    q->minimum = it->second.min, q->maximum = it->second.max, q->step = 1;
    q->default_value = it->second.def, q->flags = it->second.flags;
    return 0;
  }
};

}  // namespace

TEST(V4l2Controls, ListsShownControlsWithRangesAndMenus) {
  auto io = std::make_shared<ControlsIo>();
  auto card = sc::V4l2Card::Open({"Fake", "/dev/video7", false, ""}, io);
  ASSERT_NE(card, nullptr);
  sc::DeviceControl c;
  ASSERT_EQ(card->GetControl(0, &c), sc::kOk);
  EXPECT_EQ(c.name, "Brightness");
  EXPECT_EQ(c.type, sc::DeviceControl::kInteger);
  EXPECT_EQ(c.maximum, 255);
  EXPECT_EQ(c.value, 100);
  ASSERT_EQ(card->GetControl(1, &c), sc::kOk);
  EXPECT_EQ(c.type, sc::DeviceControl::kBoolean);
  ASSERT_EQ(card->GetControl(2, &c), sc::kOk) << "the read-only gain is left out";
  EXPECT_EQ(c.type, sc::DeviceControl::kMenu);
  EXPECT_EQ(c.value, 2);
  ASSERT_EQ(c.items.size(), 3u);
  EXPECT_EQ(c.items[1], "");
  EXPECT_EQ(c.items[2], "60 Hz");
  EXPECT_EQ(card->GetControl(3, &c), sc::kFail);

  EXPECT_EQ(card->SetControl(V4L2_CID_BRIGHTNESS, 42), sc::kOk);
  EXPECT_EQ(io->values[V4L2_CID_BRIGHTNESS], 42);
  io->failSet = true;  // a control that fails
  EXPECT_EQ(card->SetControl(V4L2_CID_BRIGHTNESS, 7), sc::kFail);
  io->ctrls.clear();  // and all that disappear while the page is open
  EXPECT_EQ(card->GetControl(0, &c), sc::kFail);
}
