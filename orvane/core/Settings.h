// The viewer's process-wide run-time values and its settings store.
//
// All viewer code shares one RunTime instance (Rt()). LoadSettings() fills it
// from the settings key "Software\Quorvel\Tellura" (defaults and load bounds
// applied) and writes the shared key "Software\Quorvel\Application";
// SaveSettings() writes it back at exit as one atomic batch. Dialogs that
// store a value at once use the single-value writers. Everything goes through
// CRegKey; nothing here needs a display.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orvane {

constexpr int kChannelCount = 300;
constexpr std::size_t kNameSize = 80;  // device and channel names
constexpr std::size_t kPathSize = 260;  // folders and files

inline constexpr const char* kSettingsKey = "Software\\Quorvel\\Tellura";
inline constexpr const char* kSharedKey = "Software\\Quorvel\\Application";

struct ChannelRecord {
    char name[kNameSize];
    int32_t freq;   // picture carrier in kHz
    int32_t index;  // index value of the entry
};

struct RunTime {
    // Device.
    char deviceName[kNameSize];  // "VideoDevice"; also the main window title
    int deviceIndex;
    uint8_t cardModel;  // from the library, fetched once at start

    // Folders, each kept with a trailing '/'.
    char snapshotPath[kPathSize];  // "SnapshotPath"
    char recordPath[kPathSize];    // "RecordPath"
    char saveAsPath[kPathSize];    // "SaveAsPath"
    int snapFolderOk;   // snapshot folder was a folder when last tested
    int videoFolderOk;  // video folder was a folder when last tested
    char startFolder[kPathSize];  // "CurDir", or the current folder at start
    char logoFile[kPathSize];     // "LogoFile"

    // File naming.
    char datePrefix[16];  // "%4d%02d%02d-", fixed at start
    int lastBmpNumber;
    int lastJpgNumber;
    int lastRecNumber;
    char tempStillFile[kPathSize];

    // Process state.
    bool secondInstance;  // another viewer runs: exit saves nothing
    bool hidden;          // main window hidden in the tray
    bool firstStart;      // no settings were stored: open on the tuner, offer a scan
    void* mainWindow;     // the main window object, set by the viewer

    // Stored double words (registry value names in the comments).
    int isCaptureAudio;  // "IsCaptureAudio"
    int autoStart;       // "auto" (never written at exit)
    int isFixed43, isTopMost, isHideTool;        // "IsFixed43", "IsTopMost", "IsHideTool"
    int lMainWnd, tMainWnd, rMainWnd, bMainWnd;  // main window rectangle
    int xToolWnd, yToolWnd;                      // control panel position
    int isSaveAsJpeg, jpegQuality;               // "IsSaveAsJPEG", "JPEGQuality"
    int showLogo, showTime, showDate;
    int xLogo, yLogo, xTime, yTime, xDate, yDate;
    int vidStandard, vidSource;                     // "vid_standard", "vid_source"
    int vidSubtype, vidWidth, vidHeight;            // preview output format
    int vidSubtypeRec, vidWidthRec, vidHeightRec;   // capture output format
    int vidBrightness, vidContrast, vidSaturation, vidHue;
    int curTune;   // "CurTune"
    int furTune;   // "FurTune"
    int prevTune;  // previous-channel index, starts as "FurTune"
    int totalTv, faveNum, useFave, ctrShow;  // "TotalTv", "FaveNum", "UseFave", "CtrShow"
    int volume, vNul, tvSound;               // "Volume", "VNul", "TVSound"
    int lh, lm, ls, l;                       // maximum recording length and its switch
    int bh, bm, bs, b;                       // timed start and its switch
    int blSingle;    // "blsingle"
    int useSnapCap;  // "usesnapcap"
    int halfPic;     // "halfpic"
    int userEnSnap;  // "userensnap"
    int preView;     // "PreView"
    int curInd;      // "CurInd"
    int sefDef;      // "sefdef"
    int deinterlace;  // "deinterlace": the preview deinterlaces interlaced sources
    // Recording format values: read at load, written only by the dialogs.
    int captureMode, mpgMode, audioRate, bitStream;  // "CaptureMode", "mpgmode", "audiorate", "bitstream"

    ChannelRecord channels[kChannelCount];  // channel table
    ChannelRecord faves[kChannelCount];     // favourite table
};

// The one process-wide instance.
RunTime& Rt();

// Fills every stored value with its default (no registry access).
void ResetSettings(RunTime& rt);
// Loads all settings into Rt() (defaults, bounds, both tables), then writes
// "SnapPath", "RecPath" and "ExeName" to the shared key.
void LoadSettings();
// Writes "ExeName" again with the device name: the main window's title once
// the device is chosen, which the image browser looks for.
void WriteViewerTitle();
// Writes all settings saved at exit, in the fixed order, as one batch.
void SaveSettings();

// Writes both channel tables and their counts and positions at once (a scan
// the user keeps), the same values SaveSettings writes at the end.
void SaveChannelTables();

// Single-value writers for the dialogs: open the settings key, write, close.
long WriteSettingNumber(const char* name, unsigned value);
long WriteSettingString(const char* name, const char* text);
// Reads one double word of the settings key without bounds (value unchanged
// on failure).
long ReadSettingNumber(const char* name, unsigned& value);
// Writes "SnapPath" and "RecPath" of Rt() to the shared key.
long WriteSharedPaths();

// Copies text into a fixed field of size bytes, always zero-terminated, cut
// at a UTF-8 character boundary when too long. Returns false when cut.
bool CopyField(char* field, std::size_t size, std::string_view text);
template <std::size_t N>
bool CopyField(char (&field)[N], std::string_view text) {
    return CopyField(field, N, text);
}

}  // namespace orvane
