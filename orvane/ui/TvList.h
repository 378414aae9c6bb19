// CTvList: the modal "Favorite Channel Settings" dialog over the channel and
// favourite tables. The editing rules live in orvane::FaveEditor; this class
// only moves its state into the controls and the user's actions into it.
#pragma once
#include <functional>
#include <memory>

#include <wx/dialog.h>

#include "orvane/core/FaveList.h"

class wxCheckBox;
class wxListBox;
class wxSlider;
class wxStaticText;
class wxTextCtrl;
class wxButton;

class CTvList : public wxDialog {
public:
    using Side = orvane::FaveEditor::Side;

    // Works on copies of rt's tables; tunes through host.
    CTvList(wxWindow* parent, orvane::RunTime& rt, orvane::TuneHost& host);
    ~CTvList() override;

    int ShowModal() override;
    orvane::FaveEditor& Editor() { return *m_editor; }

    // Test hook: called once from inside the modal loop after the dialog is shown.
    using ShownFn = std::function<void(CTvList&)>;
    static ShownFn& ShownHook();

private:
    struct SideControls {
        wxListBox* list = nullptr;
        wxTextCtrl* name = nullptr;
        wxButton* rename = nullptr;
        wxButton* remove = nullptr;
        wxSlider* slider = nullptr;
        wxStaticText* offset = nullptr;
        wxButton* apply = nullptr;
    };

    wxSizer* BuildSide(Side s);
    void BindSide(Side s);
    void Sync();
    void FillList(Side s);
    void OnAdd();
    void OnOk();
    void OnCancel();

    orvane::RunTime& m_rt;
    orvane::TuneHost& m_host;
    std::unique_ptr<orvane::FaveEditor> m_editor;
    SideControls m_side[2];
    wxButton* m_add = nullptr;
    wxButton* m_up = nullptr;
    wxButton* m_down = nullptr;
    wxCheckBox* m_useFave = nullptr;
};
