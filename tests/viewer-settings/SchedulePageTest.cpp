// The "Recording Schedule" page: the entry dialog, the order of the list,
// the selection after a removal, a full table, and Cancel and OK with the file.
#include <gtest/gtest.h>

#include <wx/listctrl.h>

#include "SettingsTestSupport.h"
#include "ViewerAppSupport.h"
#include "orvane/core/Schedule.h"
#include "orvane/ui/OrvaneDlg.h"
#include "orvane/ui/Timing.h"

using orvane::ScheduleEntry;
using orvane::Sched;
using tellura::test::ScopedHome;

namespace {

// Answers the entry dialogs with the given entries in turn.
struct EntryAnswers {
    explicit EntryAnswers(std::vector<ScheduleEntry> entries) : left(std::move(entries)) {
        CParTimer::ShownHook() = [this](CParTimer& d) {
            ++shown;
            if (left.empty()) return d.EndModal(wxID_CANCEL);
            d.SetValues(left.front());
            left.erase(left.begin());
            Press(&d, wxID_OK);
        };
    }
    ~EntryAnswers() { CParTimer::ShownHook() = nullptr; }
    std::vector<ScheduleEntry> left;
    int shown = 0;
};

std::string Row(wxListCtrl* list, int row) {
    std::string out;
    for (int c = 0; c < 3; ++c) out += (c ? " " : "") + list->GetItemText(row, c).utf8_string();
    return out;
}

}  // namespace

TEST(SchedulePage, OrderSelectionFullTableAndFile) {
    ScopedHome home;
    InProcessViewer v;
    ASSERT_TRUE(v.dlg);
    {
        EntryAnswers answers({{2030, 5, 1, 10, 0, 0, 0, 90, 75},   // 1:31:15 once normalised
                              {2030, 4, 1, 8, 0, 0, 1, 0, 0},
                              {2030, 5, 1, 10, 0, 0, 0, 5, 0}});  // same start: placed first
        CConfigSet dlg(v.dlg, *v.dlg);
        dlg.Show();
        dlg.ShowPage(CConfigSet::kSchedule);
        CTiming* page = dlg.TimingPage();
        ASSERT_TRUE(page);
        for (int i = 0; i < 3; ++i) Click(Ctl<wxWindow>(page, 3));
        ASSERT_EQ(page->List()->GetItemCount(), 3);
        EXPECT_EQ(Row(page->List(), 0), "2030-04-01 08:00:00 01:00:00");
        EXPECT_EQ(Row(page->List(), 1), "2030-05-01 10:00:00 00:05:00");
        EXPECT_EQ(Row(page->List(), 2), "2030-05-01 10:00:00 01:31:15");
        EXPECT_EQ(page->Selected(), 1);

        page->List()->SetItemState(2, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
        Click(Ctl<wxWindow>(page, 2));  // "&Remove" the last
        EXPECT_EQ(page->Selected(), 1);
        EXPECT_EQ(Sched().Count(), 2);

        // "&Properties" moving the first entry after the other keeps the order.
        answers.left = {{2030, 6, 1, 7, 0, 0, 1, 0, 0}};
        page->List()->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
        Click(Ctl<wxWindow>(page, 1));
        EXPECT_EQ(Row(page->List(), 1), "2030-06-01 07:00:00 01:00:00");
        EXPECT_EQ(page->Selected(), 1);
        EXPECT_EQ(Sched().Count(), 2);
        Press(&dlg, wxID_OK);
    }
    const std::string file = tellura::test::ReadFile(orvane::Schedule::DefaultFile());
    EXPECT_NE(file.find("iCnt=2\r\n"), std::string::npos) << file;
    const ScheduleEntry first{2030, 5, 1, 10, 0, 0, 0, 5, 0};
    EXPECT_NE(file.find("0Data=" + WindowsStruct(&first, sizeof first)), std::string::npos) << file;

    // Full table: "&Add" says so and adds nothing; Cancel reads the file again.
    EntryAnswers none({});
    CConfigSet dlg(v.dlg, *v.dlg);
    dlg.Show();
    for (int i = 0; Sched().Count() < orvane::kScheduleSize; ++i) Sched().Insert({2031, 1, 1, 0, 0, i % 60, 0, 1, 0});
    dlg.ShowPage(CConfigSet::kSchedule);
    EXPECT_EQ(dlg.TimingPage()->List()->GetItemCount(), orvane::kScheduleSize);
    Click(Ctl<wxWindow>(dlg.TimingPage(), 3));
    EXPECT_EQ(none.shown, 0);
    EXPECT_EQ(Sched().Count(), orvane::kScheduleSize);
    EXPECT_FALSE(v.asked.empty());
    Press(&dlg, wxID_CANCEL);
    EXPECT_EQ(Sched().Count(), 2);
}
