// A recording stand-in for the main window, and a fixture that runs the
// capture library's preview of the virtual card with private folders.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "orvane/core/CaptureCommands.h"
#include "support/TestEnv.h"

class RecordingCaptureHost : public orvane::CaptureHost {
public:
    void CaptureMessage(const std::string& text, const std::string& caption) override {
        messages.push_back(caption + ": " + text);
        if (onMessage) onMessage();
    }
    void CaptureShowText(const std::string& text) override { texts.push_back(text); }
    std::string CaptureAskSavePath(const orvane::SaveDialogSetup& setup) override {
        dialogs.push_back(setup);
        return answer;
    }
    void CaptureUi(const orvane::UiChange& change) override { ui.push_back(change); }
    void CaptureRestoreSound() override { ++soundRestores; }

    // The last state the commands gave one control (-1: never touched).
    int Last(orvane::UiChange::Kind kind, int id) const;
    std::string LastText(orvane::UiChange::Kind kind, int id) const;

    std::vector<std::string> messages;  // "caption: text"
    std::vector<std::string> texts;     // on-screen display lines
    std::vector<orvane::SaveDialogSetup> dialogs;
    std::vector<orvane::UiChange> ui;
    std::string answer;                 // what the save dialog returns
    std::function<void()> onMessage;    // runs while the message box would be up
    int soundRestores = 0;
};

// True when this process may mount file systems in its own mount namespace
// (set up by the test program's main before any thread starts).
bool CanMount();
// Mounts a tmpfs of `kib` KiB at dir (created when missing); false on failure.
bool MountTmpfs(const std::string& dir, int kib, bool readOnly);
void Unmount(const std::string& dir);

// Output of a shell command ("" on failure), trailing newlines removed.
std::string Shell(const std::string& command);
bool WaitFor(const std::function<bool()>& cond, int timeoutMs = 8000);
bool FileExists(const std::string& path);
std::vector<std::string> FilesIn(const std::string& dir);

class CaptureFixture : public ::testing::Test {
protected:
    static constexpr const char* kPrefix = "20030105-";

    void SetUp() override;
    // Whether the tests need the library's stills (SetUp skips them when the
    // library writes none).
    virtual bool NeedsStill() const { return true; }
    void TearDown() override;
    std::string Snaps() const { return home_.path("snaps/"); }
    std::string Videos() const { return home_.path("videos/"); }
    // The numbering start-up does from the folders.
    void CountFromFolders();

    tellura::test::ScopedHome home_;
    RecordingCaptureHost host_;
    orvane::RunTime& rt_ = orvane::Rt();
    int card_ = -1;
    std::string stillSize_;  // "<w>x<h>" of the library's still with the default settings
    orvane::CaptureCommands cmd_{host_};
};
