// Keypad digit entry and keys; on-screen display geometry, texts and timing.
#include <gtest/gtest.h>

#include <thread>

#include "UiTestSupport.h"
#include "orvane/ui/BmpButton.h"
#include "orvane/ui/ControlDlg.h"
#include "orvane/ui/Resource.h"
#include "orvane/ui/TVControl.h"
#include "orvane/ui/dispDlg.h"

namespace {

struct KeypadFixture : ::testing::Test {
    RecordingHost host;
    void SetUp() override {
        host.panel = new CControlDlg(host);
        host.osd = new CDispDlg(host.main, host);
        host.keypad = new CTVControl(host.main, host);
    }
    void Keys(std::initializer_list<int> keys) {
        for (int k : keys) host.keypad->PressKey(k);
    }
};

}  // namespace

TEST_F(KeypadFixture, TwoDigitEntry) {
    Keys({0, 7});
    Keys({1, 2});
    EXPECT_EQ(host.selected, (std::vector<int>{7, 12}));
    EXPECT_EQ(host.keypad->PendingNumber(), 0);

    Keys({4});
    EXPECT_EQ(host.osd->Text(), "4_");
    EXPECT_TRUE(host.osd->IsNumberMode());
    EXPECT_TRUE(host.keypad->LapseRunning());
    host.keypad->OnLapse();  // three seconds without a second digit
    EXPECT_EQ(host.keypad->PendingNumber(), 0);
    Keys({5});
    host.keypad->OnLapse();
    EXPECT_EQ(host.selected.size(), 2u) << "a lapsed entry selects nothing";
    EXPECT_GE(host.holds, 6) << "every key holds the line input";
}

TEST_F(KeypadFixture, SingleDigitModeSelectsAtOnce) {
    host.single = true;
    Keys({5, 0});
    EXPECT_EQ(host.selected, (std::vector<int>{5, 0}));
    EXPECT_FALSE(host.keypad->LapseRunning());
}

TEST_F(KeypadFixture, OtherInputShowsFirstDigitOnly) {
    host.tuner = false;
    Keys({3, 4});
    EXPECT_TRUE(host.selected.empty());
    EXPECT_EQ(host.osd->Text(), "3_");
}

TEST_F(KeypadFixture, DigitModeKeyFlipsModeAndIndicator) {
    CBmpButton* led = host.panel->GetButton(IDC_SINGLE_DIGIT_INDICATOR);
    host.keypad->PressKey(10);
    EXPECT_TRUE(host.single);
    EXPECT_TRUE(led->IsShown());
    EXPECT_EQ(host.osd->Text(), "_");
    host.keypad->PressKey(10);
    EXPECT_FALSE(host.single);
    EXPECT_FALSE(led->IsShown());
    EXPECT_EQ(host.osd->Text(), "__");
}

TEST_F(KeypadFixture, SoundKeySwitchesSourceOnlyWhileSoundIsOn) {
    CBmpButton* led = host.panel->GetButton(IDC_LINE_SOUND_INDICATOR);
    host.keypad->PressKey(KEYPAD_SOUND_KEY);
    EXPECT_FALSE(host.tvSound);
    EXPECT_EQ(host.cardCalls, (std::vector<std::string>{"tv0", "ad1"}));
    EXPECT_TRUE(led->IsShown());
    host.keypad->PressKey(KEYPAD_SOUND_KEY);
    EXPECT_TRUE(host.tvSound);
    EXPECT_FALSE(led->IsShown());

    host.soundOn = false;
    host.cardCalls.clear();
    host.keypad->PressKey(KEYPAD_SOUND_KEY);
    EXPECT_TRUE(host.tvSound);
    EXPECT_TRUE(host.cardCalls.empty());
}

TEST_F(KeypadFixture, HideKeyClearsTheShownSetting) {
    host.keypad->Show();
    host.keypad->HandleCommand(IDC_KEY_HIDE);
    EXPECT_FALSE(host.keypad->IsShown());
    EXPECT_FALSE(host.keypadShown);
}

TEST(OsdGeometry, OffsetsRectsAndMarks) {
    EXPECT_EQ(osd::BottomLeftOffsets(640, 100).y, 87);
    EXPECT_EQ(osd::BottomLeftOffsets(640, 300).y, 270);
    EXPECT_EQ(osd::BottomLeftOffsets(640, 300).x, 42);
    EXPECT_EQ(osd::BottomLeftOffsets(60, 300).x, 6);
    const wxRect main(100, 50, 650, 490);
    EXPECT_EQ(osd::NumberRect(main, 5), wxRect(750 - 60, 65, 75, 32));
    EXPECT_EQ(osd::TextRect(main, {10, 20}, 6), wxRect(110, 70, 42, 16));
    EXPECT_EQ(osd::BarRect(main, {10, 20}, 640), wxRect(110, 70, 554, 16));
    EXPECT_EQ(osd::BarMarks(640), (554 - 55) / 4);
    EXPECT_LE(osd::BarMarks(67), 0);
    EXPECT_EQ(osd::KeyColour(1, true), wxColour(0, 0, 198));
    EXPECT_EQ(osd::KeyColour(1, false), wxColour(16, 0, 16));
    EXPECT_EQ(osd::KeyColour(3, true), wxColour(16, 0, 0));
}

TEST_F(KeypadFixture, OsdBarLevelsAndLines) {
    const int n = osd::BarMarks(host.main->GetClientSize().x);
    ASSERT_GT(n, 0);
    host.osd->ShowBar("x", 0, 10000);
    EXPECT_EQ(host.osd->BarLine(false), "x " + wxString('|', n));
    EXPECT_EQ(host.osd->BarLine(true), "x ");
    host.osd->ShowBar("x", 10000, 10000);
    EXPECT_EQ(host.osd->BarLine(true), "x " + wxString('|', n));
    host.osd->ShowBar("VOLUME", 32764, 65530);
    EXPECT_EQ(host.osd->Level(), 49);
    // Scan progress: kHz against a large maximum must not overflow.
    host.osd->ShowBar("SCAN", 800000, 865250);
    EXPECT_EQ(host.osd->Level(), 92);
    host.osd->ShowBar("bad", 5, 1);
    EXPECT_EQ(host.osd->Range(), 0);
    EXPECT_EQ(host.osd->Level(), 0);
    EXPECT_EQ(host.osd->BarLine(true), "");
}

TEST_F(KeypadFixture, OsdHidesAfterItsTicks) {
    auto ticksUntilHidden = [&] {
        int ticks = 0;
        while (host.osd->IsShowing() && ticks < 20) {
            host.osd->Tick();
            ++ticks;
        }
        return ticks;
    };
    host.osd->ShowNumber("07");
    EXPECT_TRUE(host.osd->IsShown());
    EXPECT_EQ(ticksUntilHidden(), 4);
    EXPECT_FALSE(host.osd->IsShown());
    host.osd->ShowText("OKAY !");
    EXPECT_TRUE(host.osd->IsTextMode());
    EXPECT_EQ(ticksUntilHidden(), 1);
    host.osd->ShowBar("VOLUME", 100, 65530);
    EXPECT_EQ(ticksUntilHidden(), 4);
    host.osd->ShowBar("bad", 2, 1);
    EXPECT_EQ(ticksUntilHidden(), 1);
    host.osd->ShowNumber("12");
    host.osd->Tick();
    host.osd->Tick();
    host.osd->ShowNumber("13");  // a new show restarts the count
    EXPECT_EQ(ticksUntilHidden(), 4);
}

TEST_F(KeypadFixture, OsdPlacesItselfOverTheMainWindow) {
    host.osd->ShowNumber("12345");
    const wxRect main = host.main->GetScreenRect();
    EXPECT_EQ(host.osd->GetScreenRect().GetSize(), wxSize(75, 32));
    EXPECT_EQ(host.osd->GetPosition(), wxPoint(main.GetRight() + 1 - 60, main.y + 15));
    host.osd->ShowBar("VOLUME", 1, 2);
    const wxSize client = host.main->GetClientSize();
    const osd::Offsets o = osd::BottomLeftOffsets(client.x, client.y);
    EXPECT_EQ(host.osd->GetPosition(), wxPoint(main.x + o.x, main.y + o.y));
    EXPECT_EQ(host.osd->GetSize(), wxSize(client.x * 13 / 15, 16));
    host.osd->Reposition(host.main, false);
    EXPECT_FALSE(host.osd->IsShown());
}

TEST_F(KeypadFixture, OsdCallsFromAnotherThreadRunOnTheUiThread) {
    std::thread scan([&] { host.osd->ShowBar("SCAN", 10, 100); });
    scan.join();
    EXPECT_FALSE(host.osd->IsShowing());
    Pump(20);
    EXPECT_TRUE(host.osd->IsShowing());
    EXPECT_EQ(host.osd->Text(), "SCAN");
}
