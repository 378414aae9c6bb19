// Main window: command 32774, the favourite channel dialog, and command
// 32791, the overlay dialog, with the stored overlay sent to the library.
#include "orvane/ui/OrvaneDlg.h"

#include <cstdio>

#include "orvane/core/Settings.h"
#include "orvane/ui/ConfigLogo.h"
#include "orvane/ui/Resource.h"
#include "orvane/ui/TvList.h"
#include "strova/Strova.h"

using orvane::Rt;

void COrvaneDlg::ChannelListCommand() {
    if (!IsMenuEnabled(ID_CHANNEL_LIST)) return;
    m_remoteFlag = 0;
    int answer = wxID_CANCEL;
    {
        CTvList dlg(this, Rt(), *this);
        answer = dlg.ShowModal();
    }
    if (answer == wxID_OK) {
        ShowButton(IDC_FAVE_INDICATOR, !Rt().useFave);
        // On disk at once, as a kept scan is: edits survive a crash.
        orvane::SaveChannelTables();
        orvane::WriteSettingNumber("UseFave", unsigned(Rt().useFave));
    }
    m_remoteFlag = 1;
}

void COrvaneDlg::OverlayCommand() {
    orvane::RunTime& rt = Rt();
    LogoSettings s;
    s.logoFile = rt.logoFile;
    s.showLogo = rt.showLogo != 0, s.showTime = rt.showTime != 0, s.showDate = rt.showDate != 0;
    s.xLogo = unsigned(rt.xLogo), s.yLogo = unsigned(rt.yLogo);
    s.xTime = unsigned(rt.xTime), s.yTime = unsigned(rt.yTime);
    s.xDate = unsigned(rt.xDate), s.yDate = rt.yDate;
    CConfigLogo dlg(this, rt.deviceIndex);
    dlg.Fill(s);
    if (dlg.ShowModal() == wxID_OK) {
        const LogoSettings& v = dlg.Values();
        std::snprintf(rt.logoFile, sizeof rt.logoFile, "%s", v.logoFile.c_str());
        rt.showLogo = v.showLogo, rt.showTime = v.showTime, rt.showDate = v.showDate;
        rt.xLogo = int(v.xLogo), rt.yLogo = int(v.yLogo);
        rt.xTime = int(v.xTime), rt.yTime = int(v.yTime);
        rt.xDate = int(v.xDate), rt.yDate = v.yDate;
    }
    ApplyOverlay();
}

void COrvaneDlg::ApplyOverlay() {
    const orvane::RunTime& rt = Rt();
    const int dev = rt.deviceIndex;
    Strova_SetLogoFile(dev, rt.logoFile);
    Strova_ShowLogo(dev, rt.showLogo, rt.xLogo, rt.yLogo);
    Strova_ShowTime(dev, rt.showTime, rt.xTime, rt.yTime);
    Strova_ShowDate(dev, rt.showDate, rt.xDate, rt.yDate);
}
