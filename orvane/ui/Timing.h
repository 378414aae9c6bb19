// CTiming: the "Recording Schedule" page, a list of timed recordings (start
// date, start time, duration) with "&Add", "&Properties" (or a double click)
// and "&Remove"; and CParTimer, the dialog that edits one entry. Edits change
// the viewer's schedule at once; the System Settings dialog writes it to its
// file on OK and reads the file again on Cancel.
#pragma once
#include <functional>

#include <wx/dialog.h>
#include <wx/panel.h>

#include "orvane/core/Schedule.h"

class CConfigSet;
class wxDatePickerCtrl;
class wxListCtrl;
class wxListEvent;
class wxTextCtrl;
class wxTimePickerCtrl;

class CParTimer : public wxDialog {
public:
    // Date and time from `entry` (its date at midnight, its time of day) and its duration.
    CParTimer(wxWindow* parent, const orvane::ScheduleEntry& entry);

    int ShowModal() override;
    // The values shown, the duration normalised; false (with a message) when
    // a duration field is not an integer.
    bool Read(orvane::ScheduleEntry& out);
    const orvane::ScheduleEntry& Entry() const { return m_entry; }

    // Test access: set the controls as a user would.
    void SetValues(const orvane::ScheduleEntry& e);

    // Test hook: called once from inside the modal loop after the dialog is shown.
    using ShownFn = std::function<void(CParTimer&)>;
    static ShownFn& ShownHook();

private:
    void OnOk();

    orvane::ScheduleEntry m_entry{};
    wxDatePickerCtrl* m_date = nullptr;
    wxTimePickerCtrl* m_time = nullptr;
    wxTextCtrl* m_dur[3] = {};  // hours 1069, minutes 1089, seconds 1065
};

class CTiming : public wxPanel {
public:
    CTiming(wxWindow* parent, CConfigSet& sheet);

    int Selected() const { return m_selected; }
    wxListCtrl* List() const { return m_list; }

    void Add();         // "&Add"
    void Properties();  // "&Properties" and a double click
    void Remove();      // "&Remove"
    void Refill();

private:
    bool RunEntryDialog(orvane::ScheduleEntry& e);
    void KeepSelection(bool markRow);

    wxListCtrl* m_list = nullptr;
    int m_selected = 0;
};
