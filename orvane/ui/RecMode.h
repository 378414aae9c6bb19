// CRecMode: the "Recording Settings" page. The presets VCD, DVD and AVI, or
// a customised MPEG format (MPEG-1/2, video and audio bit rate) that can be
// kept as a named profile and picked again from a numbered list. OK writes
// the chosen format to the registry, where the capture library reads it.
// The AVI choice has a video compressor from the library's list (or none).
#pragma once
#include <string>
#include <vector>

#include <wx/panel.h>

class CConfigSet;
class wxButton;
class wxChoice;
class wxRadioButton;
class wxFlexGridSizer;
class wxTextCtrl;

class CRecMode : public wxPanel {
public:
    enum Mode { kCustom = 0, kVcd = 1, kDvd = 2, kAvi = 3, kLossless = 4, kH264 = 5 };
    static constexpr int kModeCount = 6;

    CRecMode(wxWindow* parent, CConfigSet& sheet);

    int CaptureMode() const { return m_mode; }
    int MpegMode() const { return m_mpeg; }
    int SelectedProfile() const { return m_selected; }
    int EntryCount() const { return m_entries; }
    std::string ProfileName() const { return m_name; }
    // The AVI compressor chosen on the page; "" for uncompressed.
    std::string AviCompressor() const;
    void ChooseAviCompressor(const std::string& name);
    // The H.264 profile's quality, 0..100 ("H264Quality").
    int H264Quality() const;

    // The System Settings dialog's OK: false keeps the dialog open.
    bool ValidateForOk();
    // Takes the selection and mode into the settings and writes "CaptureMode",
    // "mpgmode", "audiorate" and "bitstream".
    void StoreOnOk();

    // From the other pages: the standard's frame rate (0 "25.00", 1 "29.97")
    // and the overlay check box.
    void SetFrameRate(int standardChoice);
    void OverlayChanged(bool overlay);

    void ChooseMode(int mode);
    void Apply();        // "&Apply"
    void Remove();       // "&Remove"
    void TakeListSelection();  // the profile list closed with a choice

private:
    bool Overlay() const;
    void ShowValues();
    bool ReadBack();
    void RefillList();
    void LoadProfile(const std::string& name);
    void SaveProfile(const std::string& name);
    void SwitchToVcd();
    void MakeCompressorRow(wxWindow* parent, wxFlexGridSizer* grid);
    void MakeQualityRow(wxWindow* parent, wxFlexGridSizer* grid);

    CConfigSet& m_sheet;
    int m_mode = -1;
    int m_mpeg = -1;
    int m_bitRate = 0;
    int m_audio = 7;
    std::string m_name;
    int m_entries = 0;
    int m_selected = 0;

    wxRadioButton* m_modes[kModeCount] = {};
    wxRadioButton* m_mpegButtons[2] = {};
    wxChoice* m_list = nullptr;
    wxTextCtrl* m_nameEdit = nullptr;
    wxTextCtrl* m_bitRateEdit = nullptr;
    wxChoice* m_audioList = nullptr;
    wxChoice* m_frameRate = nullptr;
    wxChoice* m_compressor = nullptr;   // the offered names, then uncompressed
    wxChoice* m_h264Quality = nullptr;
    std::vector<std::string> m_offered;
    wxButton* m_apply = nullptr;
    wxButton* m_remove = nullptr;
};
