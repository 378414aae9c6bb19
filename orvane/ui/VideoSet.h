// CVideoSet: the "Video Settings" page. Standard, input and the four colour
// controls act on the picture at once; OK stores them (and writes
// "vid_standard" at once), Cancel applies the stored values again.
#pragma once
#include <wx/panel.h>

class CConfigSet;
class wxRadioButton;
class wxSlider;

class CVideoSet : public wxPanel {
public:
    CVideoSet(wxWindow* parent, CConfigSet& sheet);

    int StandardChoice() const { return m_standard; }  // 0 PAL, 1 NTSC
    int SourceChoice() const { return m_source; }      // 0 S-Video, 1 AV1, 2 AV2

    // OK: stores source and colours, then writes "vid_standard". False when
    // the controls cannot be read back (the dialog then stays open).
    bool StoreOnOk();
    // Cancel: the stored standard, colours and input go back to the card.
    void CancelChanges();

private:
    void OnSlider(wxCommandEvent& e);
    void OnDefault();
    void ChooseStandard(int choice);
    void ChooseSource(int choice);
    void SourceSoundAndLabel(int source);

    CConfigSet& m_sheet;
    int m_standard = -1;
    int m_source = -1;
    wxRadioButton* m_standards[2] = {};
    wxRadioButton* m_sources[3] = {};
    wxSlider* m_sliders[4] = {};  // 1061 brightness, 1062 contrast, 1063 saturation, 1064 hue
};
