// CConfigLogo: the overlay dialog. A logo picture, the time and the date
// drawn into the video by the capture library, each with its position. Every
// check box and "Set" changes the picture at once; the values are only taken
// by the caller after OK.
#pragma once
#include <functional>
#include <string>

#include <wx/dialog.h>

class wxCheckBox;
class wxTextCtrl;

struct LogoSettings {
    bool showLogo = false, showTime = false, showDate = false;
    std::string logoFile = "c:\\logo.bmp";
    unsigned xLogo = 10, yLogo = 10;
    unsigned xTime = 100, yTime = 10;
    unsigned xDate = 0;
    int yDate = 0;  // the one signed field
};

class CConfigLogo : public wxDialog {
public:
    CConfigLogo(wxWindow* parent, int card);

    // Fields to controls and back. Read() is false, with the field's
    // message, when a position is not a number of its kind.
    void Fill(const LogoSettings& s);
    bool Read();
    const LogoSettings& Values() const { return m_values; }

    // The logo file chooser ("Set" beside the file): a path, or "" when
    // cancelled. Tests replace it.
    using ChooseFn = std::function<std::string(wxWindow* parent, const std::string& current)>;
    static ChooseFn& FileChooser();

    int ShowModal() override;
    using ShownFn = std::function<void(CConfigLogo&)>;
    static ShownFn& ShownHook();

private:
    void ChooseLogo();
    void ApplyLogo();
    void ApplyTime();
    void ApplyDate();
    bool ReadUnsigned(wxTextCtrl* field, unsigned& out);

    int m_card;
    LogoSettings m_values;
    wxCheckBox* m_show[3] = {};  // logo 1028, time 1029, date 1031
    wxTextCtrl* m_file = nullptr;
    wxTextCtrl* m_pos[6] = {};   // logo x/y 1022/1023, time 1024/1025, date 1032/1033
};
