#include "orvane/ui/Timing.h"

#include <algorithm>
#include <ctime>

#include <wx/button.h>
#include <wx/datectrl.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timectrl.h>

#include "orvane/ui/ConfigSet.h"
#include "orvane/ui/PageLayout.h"

using orvane::ScheduleEntry;
using orvane::Sched;

namespace {

const char kFullText[] = "The recording schedule is full: it holds 200 entries. Remove one to add another.";

wxString Two(int a, int b, int c, const char* fmt) { return wxString::Format(fmt, a, b, c); }

}  // namespace

// ---------------------------------------------------------------- CParTimer

CParTimer::CParTimer(wxWindow* parent, const ScheduleEntry& entry)
    : wxDialog(parent, 303, ""), m_entry(entry) {
    auto* grid = new wxFlexGridSizer(2, wxSize(10, 8));
    m_date = new wxDatePickerCtrl(this, 1092);
    m_time = new wxTimePickerCtrl(this, 1093);
    AddLabelled(grid, this, "Starting Date:", m_date);
    AddLabelled(grid, this, "Starting Time:", m_time);
    grid->Add(new wxStaticText(this, wxID_ANY, "Duration:"), 0, wxALIGN_CENTER_VERTICAL);
    auto* dur = new wxBoxSizer(wxHORIZONTAL);
    const int ids[] = {1069, 1089, 1065};
    for (int i = 0; i < 3; ++i) {
        if (i) dur->Add(new wxStaticText(this, wxID_ANY, ":"), 0, wxALIGN_CENTER_VERTICAL | wxLEFT | wxRIGHT, 4);
        m_dur[i] = new wxTextCtrl(this, ids[i], "", wxDefaultPosition, wxSize(56, -1), wxTE_RIGHT);
        dur->Add(m_dur[i]);
    }
    grid->Add(dur);
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(grid, 0, wxALL, 14);
    top->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 12);
    SetSizerAndFit(top);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnOk(); }, wxID_OK);
    SetValues(entry);
    CentreOnParent();
}

CParTimer::ShownFn& CParTimer::ShownHook() {
    static ShownFn hook;
    return hook;
}

int CParTimer::ShowModal() {
    if (ShownHook()) {
        ShownFn hook = ShownHook();
        CallAfter([this, hook] { hook(*this); });
    }
    return wxDialog::ShowModal();
}

void CParTimer::SetValues(const ScheduleEntry& e) {
    // A day past the month's end (31 February) shows as the month's last day.
    wxDateTime date = wxDateTime::Today();
    if (e.month >= 1 && e.month <= 12 && e.year >= 1 && e.day >= 1) {
        const auto month = wxDateTime::Month(e.month - 1);
        const int last = wxDateTime::GetNumberOfDays(month, e.year);
        date.Set(wxDateTime::wxDateTime_t(std::min(int(e.day), last)), month, e.year);
    }
    m_date->SetValue(date);
    wxDateTime time(1, wxDateTime::Jan, 1990, wxDateTime::wxDateTime_t(e.hour % 24),
                    wxDateTime::wxDateTime_t(e.minute % 60), wxDateTime::wxDateTime_t(e.second % 60));
    m_time->SetValue(time);
    const int32_t d[] = {e.durHours, e.durMinutes, e.durSeconds};
    for (int i = 0; i < 3; ++i) m_dur[i]->ChangeValue(wxString::Format("%d", d[i]));
}

bool CParTimer::Read(ScheduleEntry& out) {
    const wxDateTime date = m_date->GetValue();
    int h = 0, m = 0, s = 0;
    m_time->GetTime(&h, &m, &s);
    long d[3] = {};
    for (int i = 0; i < 3; ++i) {
        if (!m_dur[i]->GetValue().Trim().Trim(false).ToLong(&d[i]) || d[i] < INT32_MIN || d[i] > INT32_MAX) {
            CConfigSet::Ask(this, "Please enter an integer.", "Recording Schedule", wxOK | wxICON_EXCLAMATION);
            m_dur[i]->SetFocus();
            return false;
        }
    }
    out = ScheduleEntry{date.GetYear(), int(date.GetMonth()) + 1, date.GetDay(), h, m, s,
                        int32_t(d[0]), int32_t(d[1]), int32_t(d[2])};
    orvane::NormaliseDuration(out);
    return true;
}

void CParTimer::OnOk() {
    if (Read(m_entry)) EndModal(wxID_OK);
}

// ---------------------------------------------------------------- CTiming

CTiming::CTiming(wxWindow* parent, CConfigSet&) : wxPanel(parent, 302) {
    m_list = new wxListCtrl(this, 1071, wxDefaultPosition, wxSize(-1, 300), wxLC_REPORT | wxLC_SINGLE_SEL);
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(m_list, 1, wxEXPAND | wxBOTTOM, 8);
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->AddStretchSpacer();
    const struct { int id; const char* label; void (CTiming::*fn)(); } kButtons[] = {
        {3, "&Add", &CTiming::Add}, {1, "&Properties", &CTiming::Properties}, {2, "&Remove", &CTiming::Remove}};
    for (const auto& b : kButtons) {
        auto* button = new wxButton(this, b.id, b.label);
        button->Bind(wxEVT_BUTTON, [this, fn = b.fn](wxCommandEvent&) { (this->*fn)(); });
        buttons->Add(button, 0, wxLEFT, 8);
    }
    top->Add(buttons, 0, wxEXPAND);
    SetSizer(top);
    Layout();

    const char* columns[] = {"Starting Date", "Starting Time", "Duration"};
    for (const char* c : columns) m_list->AppendColumn(c, wxLIST_FORMAT_LEFT, 140);
    // Each column a third of the list's width, less one pixel.
    m_list->Bind(wxEVT_SIZE, [this](wxSizeEvent& e) {
        const int third = m_list->GetClientSize().x / 3 - 1;
        for (int i = 0; i < 3; ++i) m_list->SetColumnWidth(i, std::max(third, 40));
        e.Skip();
    });

    m_list->Bind(wxEVT_LIST_ITEM_ACTIVATED, [this](wxListEvent& e) {
        m_selected = int(e.GetIndex());
        Properties();
    });
    m_list->Bind(wxEVT_LIST_ITEM_SELECTED, [this](wxListEvent& e) { m_selected = int(e.GetIndex()); });
    m_list->Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& e) {
        KeepSelection(false);
        e.Skip();
    });
    Refill();
}

void CTiming::Refill() {
    m_list->DeleteAllItems();
    const orvane::Schedule& s = Sched();
    for (int i = 0; i < s.Count(); ++i) {
        const ScheduleEntry& e = s.At(i);
        const long row = m_list->InsertItem(i, Two(e.year, e.month, e.day, "%04d-%02d-%02d"));
        m_list->SetItem(row, 1, Two(e.hour, e.minute, e.second, "%02d:%02d:%02d"));
        m_list->SetItem(row, 2, Two(e.durHours, e.durMinutes, e.durSeconds, "%02d:%02d:%02d"));
        m_list->EnsureVisible(row);
    }
    KeepSelection(true);
}

void CTiming::KeepSelection(bool markRow) {
    if (m_selected < 0 || m_selected >= m_list->GetItemCount()) return;
    if (markRow) m_list->SetItemState(m_selected, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                                      wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
}

bool CTiming::RunEntryDialog(ScheduleEntry& e) {
    CParTimer dlg(this, e);
    const bool ok = dlg.ShowModal() == wxID_OK;
    if (ok) e = dlg.Entry();
    return ok;
}

void CTiming::Add() {
    if (Sched().Full()) {
        CConfigSet::Ask(this, kFullText, "Recording Schedule", wxOK | wxICON_INFORMATION);
        return;
    }
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    ScheduleEntry e{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, 0, 30, 0};
    if (RunEntryDialog(e)) {
        m_selected = Sched().Insert(e);
        Refill();
    }
    m_list->SetFocus();
}

void CTiming::Properties() {
    orvane::Schedule& s = Sched();
    if (s.Count() == 0 || m_selected < 0 || m_selected >= s.Count()) return;
    ScheduleEntry& e = s.At(m_selected);
    if (e.year < 1900) e.year = 1990;
    if (e.month < 1 || e.month > 12) e.month = 1;
    if (e.day < 1 || e.day > 31) e.day = 1;
    ScheduleEntry edited = e;
    if (!RunEntryDialog(edited)) return;
    s.Remove(m_selected);
    m_selected = s.Insert(edited);
    Refill();
}

void CTiming::Remove() {
    if (Sched().Count() == 0) return;
    m_selected = Sched().Remove(m_selected);
    Refill();
}
