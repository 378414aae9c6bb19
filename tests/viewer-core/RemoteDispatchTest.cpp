#include "RemoteDispatch.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace orvane {
namespace {

struct Viewer : ViewerActions {
    int model = 2;
    std::map<int, int> props{{0, 128}, {1, 68}, {2, 0}, {3, 64}};
    std::vector<RemoteAction> ran;
    std::vector<std::string> bars;
    void Run(RemoteAction a, int) override { ran.push_back(a); }
    int CardModel() const override { return model; }
    int ColourValue(int p) const override { return props.at(p); }
    void SetColourValue(int p, int v) override { props[p] = v; }
    void ShowBar(const char* l, int v, int m) override {
        bars.push_back(std::string(l) + ":" + std::to_string(v) + "/" + std::to_string(m));
    }
};

TEST(RemoteDispatch, TrayAllowsOnlyCloseButTracksLastCode) {
    RemoteDispatcher d;
    Viewer v;
    EXPECT_FALSE(d.Handle(176, true, v));
    EXPECT_FALSE(d.Handle(176, false, v));  // same code again: filtered
    EXPECT_TRUE(d.Handle(8, true, v));
    EXPECT_EQ(v.ran, (std::vector<RemoteAction>{RemoteAction::Close}));
    EXPECT_FALSE(d.Handle(0x1FF, false, v));
    EXPECT_TRUE(d.Handle(50, false, v));
    EXPECT_EQ(v.ran.back(), RemoteAction::NextChannel);
}

TEST(RemoteDispatch, ColourCycleStepsAndDefaults) {
    RemoteDispatcher d;
    Viewer v;
    d.Handle(120, false, v);  // to contrast
    EXPECT_EQ(v.bars.back(), "CONTRA:68/127");
    d.Handle(88, false, v);
    d.Handle(0xFF, false, v);
    d.Handle(88 | 0x400, false, v);  // held: once more
    EXPECT_EQ(v.props[1], 74);
    EXPECT_EQ(v.bars.back(), "CONTRA:74/127");
    for (int i = 0; i < 3; ++i) d.Handle(i % 2 ? 0x1FF : 120, false, v);
    EXPECT_EQ(d.CyclePosition(), 3);
    EXPECT_EQ(v.bars.back(), "SETHUE:0/255");
    d.Handle(112, false, v);  // hue at 0 stays 0
    EXPECT_EQ(v.props[2], 0);
    d.Handle(120, false, v);
    EXPECT_EQ(d.CyclePosition(), 0);
    v.model = 1;
    d.Handle(80, false, v);
    for (auto& [p, val] : v.props) EXPECT_EQ(val, 5000) << p;
    EXPECT_TRUE(v.ran.empty());
}

}  // namespace
}  // namespace orvane
