// The viewer's property-frame host: the capture library asks it to show a
// card's property page, and it shows a modal dialog with that page's
// controls. Page 0 is the capture device's picture controls, pages 1 and 2
// the recording and display formats, page 3 the input selection.
#pragma once
#include <cstdint>
#include <functional>

#include <wx/dialog.h>

#include "strova/Strova.h"

class wxChoice;
class wxFlexGridSizer;
class wxStaticText;

// Registers the host with the library, owned by `owner` (null unregisters).
void RegisterPropertyFrameHost(wxWindow* owner);

class CPropertyFrame : public wxDialog {
public:
    CPropertyFrame(wxWindow* parent, int card, int page, const wxString& caption);
    // False when the page has nothing to show (no control, format or input).
    bool HasContent() const { return m_content; }

    int ShowModal() override;
    // Test hook: called once from inside the modal loop after the dialog is shown.
    using ShownFn = std::function<void(CPropertyFrame&)>;
    static ShownFn& ShownHook();

private:
    struct ControlRow {
        int index;
        StrovaControl control;  // as the dialog opened
        wxWindow* window;
        wxStaticText* label;    // a slider's value
    };
    bool BuildControls(wxWindow* parent, wxSizer* sizer);
    bool AddControl(wxWindow* parent, wxFlexGridSizer* grid, ControlRow& row);
    void SetControl(const ControlRow& row, int value);
    void ShowMenuValue(wxChoice* choice, int value);
    bool BuildFormat(wxWindow* parent, wxSizer* sizer);
    bool BuildInputs(wxWindow* parent, wxSizer* sizer);
    void OnOk();

    int m_card, m_page;
    bool m_content = false;
    std::function<bool()> m_commit;  // the page's OK step; false keeps the dialog open
};
