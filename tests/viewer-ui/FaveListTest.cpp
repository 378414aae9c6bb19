// The "Favorite Channel Settings" dialog on copies of the channel tables:
// what its buttons do to the lists, what is tuned, and what OK and Cancel
// hand back.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include <gtk/gtk.h>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/listbox.h>
#include <wx/slider.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "UiTestSupport.h"
#include "orvane/ui/ConfigSet.h"
#include "orvane/ui/OrvaneDlg.h"
#include "orvane/ui/TvList.h"

using orvane::RunTime;

namespace {

struct TuneRecorder : orvane::TuneHost {
    void SetFrequency(int kHz) override { tuned.push_back(kHz); }
    void SetTunerSound(int on) override { calls += on ? "S" : "s"; }
    void HoldLineInput() override { calls += "h"; }
    void ShowNumber(const std::string&) override {}
    void SetDisplayText(const std::string& t) override { display = t; }
    void ClearKeypadEntry() override {}
    std::vector<int> tuned;
    std::string calls, display;
};

void Entry(orvane::ChannelRecord& e, const char* name, int freq) {
    std::snprintf(e.name, sizeof e.name, "%s", name);
    e.freq = freq;
}

// Four channels, the second and third of them favourites.
std::unique_ptr<RunTime> Tables(int useFave = 0) {
    auto rt = std::make_unique<RunTime>();
    orvane::ResetSettings(*rt);
    const char* names[] = {"One", "Two", "Three", "Four"};
    for (int i = 0; i < 4; ++i) Entry(rt->channels[i], names[i], 100000 + i * 10000);
    rt->faves[0] = rt->channels[1];
    rt->faves[1] = rt->channels[2];
    rt->totalTv = 4, rt->faveNum = 2, rt->curTune = 0, rt->furTune = 0, rt->useFave = useFave;
    return rt;
}

template <class T>
T* Ctl(wxWindow* dlg, int id) {
    return dynamic_cast<T*>(dlg->FindWindow(id));
}

void Click(wxWindow* dlg, int id) {
    wxCommandEvent e(wxEVT_BUTTON, id);
    e.SetEventObject(dlg->FindWindow(id));
    dlg->FindWindow(id)->HandleWindowEvent(e);
}

void Pick(wxWindow* dlg, int listId, int row) {
    auto* list = Ctl<wxListBox>(dlg, listId);
    list->SetSelection(row);
    wxCommandEvent e(wxEVT_LISTBOX, listId);
    e.SetEventObject(list);
    e.SetInt(row);
    list->HandleWindowEvent(e);
}

void Slide(wxWindow* dlg, int id, int pos) {
    auto* s = Ctl<wxSlider>(dlg, id);
    s->SetValue(pos);
    wxCommandEvent e(wxEVT_SLIDER, id);
    e.SetEventObject(s);
    e.SetInt(pos);
    s->HandleWindowEvent(e);
}

struct AskRecorder {
    AskRecorder() {
        COrvaneDlg::MessageBoxHook() = [this](const wxString& t, const wxString&, long) {
            asked.push_back(t);
            return wxOK;
        };
    }
    ~AskRecorder() { COrvaneDlg::MessageBoxHook() = nullptr; }
    std::vector<wxString> asked;
};

constexpr int kChannels = 1039, kFaves = 1040, kAdd = 3, kUp = 7, kDown = 8;

}  // namespace

// Opening shows "%03d-" rows, tunes the current channel, and leaves the
// favourite side disabled; "&Add >>" works on the row selected at open.
TEST(FaveList, OpensWithRowsAndTheUnusedSideDisabled) {
    auto rt = Tables();
    TuneRecorder tune;
    CTvList dlg(nullptr, *rt, tune);
    auto* list = Ctl<wxListBox>(&dlg, kChannels);
    ASSERT_EQ(list->GetCount(), 4u);
    EXPECT_EQ(list->GetString(2), "002-Three");
    EXPECT_EQ(Ctl<wxListBox>(&dlg, kFaves)->GetString(1), "001-Three");
    EXPECT_EQ(tune.tuned.back(), 100000);
    EXPECT_FALSE(dlg.FindWindow(1044)->IsEnabled());
    EXPECT_TRUE(dlg.FindWindow(kAdd)->IsEnabled());
    EXPECT_FALSE(dlg.FindWindow(kUp)->IsEnabled());
    EXPECT_TRUE(dlg.FindWindow(1041)->IsEnabled());
    Pick(&dlg, kFaves, 1);  // the favourite side takes over
    EXPECT_TRUE(dlg.FindWindow(1044)->IsEnabled());
    EXPECT_FALSE(dlg.FindWindow(1041)->IsEnabled());
    EXPECT_EQ(Ctl<wxTextCtrl>(&dlg, 1044)->GetValue(), "Three");
    EXPECT_EQ(tune.tuned.back(), 120000);
    EXPECT_EQ(tune.calls.substr(tune.calls.size() - 3), "hsS");  // held, sound off, tune, sound on
    Entry(rt->channels[3], "ElevenChars", 130000);  // longer than the field: shown cut
    CTvList longName(nullptr, *rt, tune);
    Pick(&longName, kChannels, 3);
    EXPECT_EQ(Ctl<wxTextCtrl>(&longName, 1041)->GetValue(), "ElevenChar");
}

// A channel already among the favourites only brings the message; a new one
// goes in at the current favourite's place; a full list adds nothing.
TEST(FaveList, AddRefusesDuplicatesAndAFullList) {
    AskRecorder ask;
    auto rt = Tables();
    TuneRecorder tune;
    CTvList dlg(nullptr, *rt, tune);
    Pick(&dlg, kChannels, 2);
    Click(&dlg, kAdd);
    ASSERT_EQ(ask.asked.size(), 1u);
    EXPECT_EQ(ask.asked[0], "The current channel has been added into favorite channel list.");
    EXPECT_EQ(dlg.Editor().Count(CTvList::Side::kFaves), 2);
    Pick(&dlg, kChannels, 3);
    Click(&dlg, kAdd);
    auto* faves = Ctl<wxListBox>(&dlg, kFaves);
    ASSERT_EQ(faves->GetCount(), 3u);
    EXPECT_EQ(faves->GetString(0), "000-Four");
    EXPECT_EQ(faves->GetString(1), "001-Two");

    auto full = Tables();
    for (int i = 0; i < orvane::kChannelCount; ++i) Entry(full->faves[i], "F", 200000 + i);
    full->faveNum = orvane::kChannelCount;
    CTvList fullDlg(nullptr, *full, tune);
    Pick(&fullDlg, kChannels, 0);
    Click(&fullDlg, kAdd);
    EXPECT_EQ(fullDlg.Editor().Count(CTvList::Side::kFaves), orvane::kChannelCount);
    EXPECT_EQ(ask.asked.size(), 2u);
}

// "&Up" on the first and "&Down" on the last favourite change nothing.
TEST(FaveList, UpAndDownStopAtTheEnds) {
    auto rt = Tables(1);
    TuneRecorder tune;
    CTvList dlg(nullptr, *rt, tune);
    Pick(&dlg, kFaves, 0);
    Click(&dlg, kUp);
    EXPECT_EQ(Ctl<wxListBox>(&dlg, kFaves)->GetString(0), "000-Two");
    Click(&dlg, kDown);
    EXPECT_EQ(Ctl<wxListBox>(&dlg, kFaves)->GetString(0), "000-Three");
    EXPECT_EQ(Ctl<wxListBox>(&dlg, kFaves)->GetSelection(), 1);
    Click(&dlg, kDown);
    EXPECT_EQ(Ctl<wxListBox>(&dlg, kFaves)->GetString(1), "001-Two");
}

// Deleting the only channel empties the list, drops the favourites with it
// and leaves nothing to add or move; deleting the only favourite leaves
// index 0, never -1.
TEST(FaveList, DeletingTheLastEntries) {
    auto rt = Tables();
    rt->totalTv = 1;
    TuneRecorder tune;
    {
        CTvList dlg(nullptr, *rt, tune);
        Click(&dlg, 6);
        EXPECT_EQ(Ctl<wxListBox>(&dlg, kChannels)->GetCount(), 0u);
        EXPECT_EQ(Ctl<wxListBox>(&dlg, kFaves)->GetCount(), 0u);
        for (int id : {kAdd, kUp, kDown}) EXPECT_FALSE(dlg.FindWindow(id)->IsEnabled()) << id;
        Click(&dlg, 6);  // nothing left: no effect
    }
    auto one = Tables(1);
    one->faveNum = 1;
    CTvList dlg(nullptr, *one, tune);
    Pick(&dlg, kFaves, 0);
    Click(&dlg, 11);
    EXPECT_EQ(dlg.Editor().Count(CTvList::Side::kFaves), 0);
    EXPECT_EQ(dlg.Editor().Current(CTvList::Side::kFaves), 0);
}

// The slider tunes what is received only; "Apply" at +3 stores 93 more,
// in the favourite with the same frequency too.
TEST(FaveList, InchingTunesLiveAndApplyStores) {
    auto rt = Tables();
    TuneRecorder tune;
    CTvList dlg(nullptr, *rt, tune);
    Pick(&dlg, kChannels, 1);
    Slide(&dlg, 1043, 3);
    EXPECT_EQ(tune.tuned.back(), 110093);
    EXPECT_EQ(dlg.Editor().Entry(CTvList::Side::kChannels, 1).freq, 110000);
    Slide(&dlg, 1045, 10);  // the inactive side's slider tunes nothing
    EXPECT_EQ(tune.tuned.back(), 110093);
    Click(&dlg, 9);
    EXPECT_EQ(dlg.Editor().Entry(CTvList::Side::kChannels, 1).freq, 110093);
    EXPECT_EQ(dlg.Editor().Entry(CTvList::Side::kFaves, 0).freq, 110093);
    EXPECT_EQ(Ctl<wxSlider>(&dlg, 1043)->GetValue(), 0);
}

// Cancel after a rename and a delete leaves the viewer's tables as they were
// and tunes its own entry again; OK hands over the edits and names the
// current entry on the panel.
TEST(FaveList, CancelKeepsTablesAndOkHandsThemOver) {
    auto rt = Tables();
    const auto before = std::make_unique<RunTime>(*rt);
    TuneRecorder tune;
    auto edit = [](CTvList& d) {
        Pick(&d, kChannels, 1);
        Ctl<wxTextCtrl>(&d, 1041)->ChangeValue("News");
        Click(&d, 5);
        Click(&d, 6);
    };
    CTvList::ShownHook() = [&](CTvList& d) {
        edit(d);
        Click(&d, wxID_CANCEL);
    };
    EXPECT_EQ(CTvList(nullptr, *rt, tune).ShowModal(), wxID_CANCEL);
    EXPECT_EQ(std::memcmp(rt->channels, before->channels, sizeof rt->channels), 0);
    EXPECT_EQ(std::memcmp(rt->faves, before->faves, sizeof rt->faves), 0);
    EXPECT_EQ(rt->totalTv, 4);
    EXPECT_EQ(rt->curTune, 0);
    EXPECT_EQ(tune.tuned.back(), 100000);

    CTvList::ShownHook() = [&](CTvList& d) {
        edit(d);
        Pick(&d, kFaves, 0);
        EXPECT_EQ(Ctl<wxListBox>(&d, kFaves)->GetString(0), "000-News");
        Click(&d, wxID_OK);
    };
    EXPECT_EQ(CTvList(nullptr, *rt, tune).ShowModal(), wxID_OK);
    CTvList::ShownHook() = nullptr;
    EXPECT_EQ(rt->totalTv, 3);
    EXPECT_STREQ(rt->channels[1].name, "Three");
    EXPECT_STREQ(rt->faves[0].name, "News");
    EXPECT_EQ(tune.display, "01-Three");
}

// Every label, button and check box shows its whole text, with the widest
// inching offsets, at the desktop's font size and at 1.25 times it.
TEST(FaveList, TextsFitAtNormalAndLargerFonts) {
    GtkSettings* settings = gtk_settings_get_default();
    gint dpi = 0;
    g_object_get(settings, "gtk-xft-dpi", &dpi, nullptr);
    if (dpi <= 0) dpi = 96 * 1024;
    for (const double scale : {1.0, 1.25}) {
        g_object_set(settings, "gtk-xft-dpi", gint(dpi * scale), nullptr);
        auto rt = Tables();
        TuneRecorder tune;
        CTvList dlg(nullptr, *rt, tune);
        dlg.Show();
        Slide(&dlg, 1043, 48);   // "+1488 kHz"
        Pick(&dlg, kFaves, 0);
        Slide(&dlg, 1045, -50);  // "-1550 kHz"
        std::vector<wxWindow*> all{&dlg};
        for (size_t i = 0; i < all.size(); ++i)
            for (wxWindow* child : all[i]->GetChildren()) all.push_back(child);
        int checked = 0;
        for (wxWindow* w : all) {
            if (!dynamic_cast<wxStaticText*>(w) && !dynamic_cast<wxButton*>(w) && !dynamic_cast<wxCheckBox*>(w))
                continue;
            const wxString text = wxStripMenuCodes(w->GetLabel());
            EXPECT_LE(w->GetTextExtent(text).x, w->GetSize().x) << "\"" << text << "\" at " << scale;
            ++checked;
        }
        EXPECT_GT(checked, 15);
        dlg.Hide();
    }
    g_object_set(settings, "gtk-xft-dpi", dpi, nullptr);
}
