#include "orvane/ui/OrvaneApp.h"

#include <strings.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include <wx/image.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>
#include <wx/weakref.h>

#include "orvane/core/Settings.h"
#include "orvane/ui/OrvaneDlg.h"
#include "orvane/ui/Resource.h"
#include "orvane/ui/SessionEnd.h"
#include "orvane/ui/SplashDlg.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Window.h"
#include "strova/Strova.h"

using orvane::Rt;

namespace {

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool CopyFile(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    if (!in) return false;
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return plat::AtomicWriteFile(to, data);
}

template <std::size_t N>
void AppendSlash(char (&field)[N]) {
    const std::size_t n = std::strlen(field);
    if (n == 0 || field[n - 1] != '/') orvane::CopyField(field, std::string(field) + "/");
}

// The splash picture lives in the system folder; a missing copy is taken
// from the program's folder, else from the current folder.
CSplashDlg* ShowSplash() {
    const std::string target = plat::SystemDir() + "Korblend.bmp";
    if (!IsRegularFile(target) && !CopyFile(plat::ProgramDir() + "Korblend.bmp", target))
        CopyFile(plat::CurrentDir() + "Korblend.bmp", target);
    auto* splash = new CSplashDlg;
    if (!splash->CreateFromFile(IDD_SPLASH, nullptr, wxString::FromUTF8(target))) {
        delete splash;
        return nullptr;
    }
    splash->Show();
    splash->Update();
    // The window manager maps the window in its own time: wait for the first
    // paint (briefly), or the picture may never reach the screen.
    for (int i = 0; i < 40 && !splash->Painted(); ++i) {
        wxYield();
        if (!splash->Painted()) wxMilliSleep(5);
    }
    return splash;
}

// The splash stays up at least this long, however fast the start.
constexpr int kSplashMinMs = 1500;

// Start-up errors have no owner window.
void PlainError(const char* text) {
    if (COrvaneDlg::MessageBoxHook()) COrvaneDlg::MessageBoxHook()(text, "Error", wxOK | wxICON_ERROR);
    else wxMessageBox(text, "Error", wxOK | wxICON_ERROR);
}

// Lists the capture devices; false after the failure message.
bool ListDevices(std::vector<COrvaneApp::Device>& devices) {
    std::vector<char> names(STROVA_MAX_CARDS * STROVA_NAME_LEN, '\0');
    int count = STROVA_MAX_CARDS;
    if (Strova_EnumVideoCaptureDev(names.data(), &count) < 0) {
        PlainError("Enumerating device failed!");
        return false;
    }
    if (count <= 0) {
        PlainError("No available video capture device!");
        return false;
    }
    for (int i = 0; i < count && i < STROVA_MAX_CARDS; ++i) {
        const char* n = &names[size_t(i) * STROVA_NAME_LEN];
        devices.push_back({std::string(n, strnlen(n, STROVA_NAME_LEN)), i});
    }
    return true;
}

void PrepareFolders() {
    orvane::RunTime& rt = Rt();
    AppendSlash(rt.snapshotPath);
    AppendSlash(rt.recordPath);
    rt.snapFolderOk = plat::GetPathKind(rt.snapshotPath) == 2;
    rt.videoFolderOk = plat::GetPathKind(rt.recordPath) == 2;
    const plat::LocalTime now = plat::GetLocalTime();
    std::snprintf(rt.datePrefix, sizeof rt.datePrefix, "%4d%02d%02d-", now.year % 10000, now.month % 100,
                  now.day % 100);
    COrvaneApp::ComputeFileNumbers();
    const std::string temp = plat::TempDir();
    rt.tempStillFile[0] = '\0';
    if (!temp.empty()) orvane::CopyField(rt.tempStillFile, temp + "%wdmsnp%.tmp");
    AppendSlash(rt.saveAsPath);
    if (plat::GetPathKind(rt.saveAsPath) != 2) orvane::CopyField(rt.saveAsPath, rt.snapshotPath);
}

}  // namespace

int COrvaneApp::ChooseDevice(const std::vector<Device>& devices, const char* stored) {
    if (devices.empty()) return -1;
    if (stored && *stored)
        for (std::size_t i = 0; i < devices.size(); ++i)
            if (strcasecmp(devices[i].name.c_str(), stored) == 0) return int(i);
    return 0;
}

// Recordings count the highest MPEG and the highest AVI number together.
void COrvaneApp::ComputeFileNumbers() {
    orvane::RunTime& rt = Rt();
    const int prefix = int(std::strlen(rt.datePrefix));
    const std::string snap = std::string(rt.snapshotPath) + rt.datePrefix;
    const std::string video = std::string(rt.recordPath) + rt.datePrefix;
    rt.lastBmpNumber = plat::FindHighestFileNumber(snap + "*.bmp", prefix, 4);
    rt.lastJpgNumber = plat::FindHighestFileNumber(snap + "*.jpg", prefix, 4);
    // The sum covers every kind's highest number, so a new name never meets
    // a recording of another kind (".mkv", ".mp4" of the profiles for keeps).
    rt.lastRecNumber = plat::FindHighestFileNumber(video + "*.mpg", prefix, 4) +
                       plat::FindHighestFileNumber(video + "*.avi", prefix, 4) +
                       plat::FindHighestFileNumber(video + "*.mkv", prefix, 4) +
                       plat::FindHighestFileNumber(video + "*.mp4", prefix, 4);
}

bool COrvaneApp::PrepareStart(bool withSplash) {
    orvane::RunTime& rt = Rt();
    unsigned stored = 0;  // a first start has no settings of the viewer yet
    const bool firstStart = orvane::ReadSettingNumber("vid_source", stored) != plat::ERROR_SUCCESS;
    orvane::LoadSettings();                                                  // 1
    rt.firstStart = firstStart;
    rt.secondInstance = false;
    if (rt.deviceName[0]) {                                                  // 2
        if (plat::HWND running = plat::FindWindowA(nullptr, rt.deviceName)) {
            plat::PostMessage(running, WM_SHOW_VIEWER, 0, 0);  // the user meant that one
            rt.secondInstance = true;
            return false;
        }
    }
    // A click may already have closed the splash: the weak reference knows.
    wxWeakRef<CSplashDlg> splash = withSplash ? ShowSplash() : nullptr;      // 3
    auto endSplash = [&splash](bool failed) {
        if (splash && failed) splash->Destroy();
        else if (splash) splash->CloseWhenShownFor(kSplashMinMs);
        splash = nullptr;
    };
    if (Strova_Initialize() < 0) {                                           // 4
        endSplash(true);
        PlainError("Initialization failed!");
        return false;
    }
    std::vector<Device> devices;                                             // 5
    if (!ListDevices(devices)) {
        endSplash(true);
        return false;
    }
    const Device& chosen = devices[size_t(ChooseDevice(devices, rt.deviceName))];  // 6
    Strova_SetDispMode(rt.preView);                                          // 7
    Strova_SetDeinterlace(rt.deinterlace);
    rt.deviceIndex = chosen.index;                                           // 8
    orvane::CopyField(rt.deviceName, chosen.name);
    // The stored name may be empty (first run) or name a card that is gone.
    orvane::WriteViewerTitle();
    if (Strova_ConnectDevice(rt.deviceIndex, 0, nullptr) < 0) {              // 9
        PlainError("Connecting device failed!");
        if (devices.size() < 2) {
            endSplash(true);
            return false;
        }
    }
    PrepareFolders();                                                        // 10, 11, 12
    rt.cardModel = Strova_GetDeviceID();
    if (rt.firstStart) rt.vidSource = rt.cardModel == 1 ? 1 : 0;  // the tuner input
    endSplash(false);                                                        // 13
    return true;
}

void COrvaneApp::RunMainWindow() {
    auto* dlg = new COrvaneDlg;                                              // 14
    Rt().mainWindow = dlg;
    if (wxTheApp) wxTheApp->SetTopWindow(dlg);
    if (dlg->OnInitDialog()) {
        if (SessionEndRequested()) dlg->EndSession();  // a signal came during start-up
        dlg->DoModal();
    }
    else if (!dlg->Ended()) dlg->EndModal(wxID_CANCEL);
    if (wxTheApp) wxTheApp->SetTopWindow(nullptr);
    delete dlg;                                                              // 15: stops the remote thread
}

bool COrvaneApp::InitInstance() {
    if (PrepareStart(true)) RunMainWindow();
    return false;
}

int COrvaneApp::ExitInstance() {
    if (Rt().secondInstance) return 0;
    orvane::SaveSettings();
    SetTVSoundData(0, 0);
    Strova_Uninitialize();
    return 0;
}

bool COrvaneApp::OnInit() {
    wxInitAllImageHandlers();
    SetAppName("Tellura");
    SetExitOnFrameDelete(false);
    InstallSessionEndHandlers();
    return true;
}

int COrvaneApp::OnRun() {
    InitInstance();
    return 0;
}

int COrvaneApp::OnExit() {
    ExitInstance();
    return wxApp::OnExit();
}
