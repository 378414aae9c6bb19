// The viewer's settings store: one table of every stored value, in save order.
#include "orvane/core/Settings.h"

#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "common/RegKey.h"
#include "platform/Paths.h"

namespace orvane {
namespace {

using Bound = unsigned (*)(unsigned);

unsigned NoBound(unsigned v) { return v; }
unsigned StandardBound(unsigned v) { return v == 0 || v > 0x80000 ? 32 : v; }
unsigned SourceBound(unsigned v) { return v > 2 ? 1 : v; }
unsigned SubtypeBound(unsigned v) { return v > 4 ? 0 : v; }
unsigned WidthBound(unsigned v) { return v < 80 || v > 800 ? 320 : v; }
unsigned HeightBound(unsigned v) { return v < 60 || v > 600 ? 240 : v; }
unsigned ColourBound(unsigned v) { return v > 10000 ? 5000 : v; }

struct Entry {
    const char* name;
    int RunTime::*number;  // null for a text
    std::size_t textOffset;
    std::size_t textSize;
    int def;
    Bound bound;
    bool saved;  // written at exit
};

constexpr Entry Num(const char* name, int RunTime::*field, int def, Bound bound = NoBound, bool saved = true) {
    return {name, field, 0, 0, def, bound, saved};
}
#define TEXT_ENTRY(name, field) Entry{name, nullptr, offsetof(RunTime, field), sizeof(RunTime::field), 0, NoBound, true}

// Every value of the settings key, in the order the save writes them.
const Entry kEntries[] = {
    TEXT_ENTRY("VideoDevice", deviceName),
    TEXT_ENTRY("SnapshotPath", snapshotPath),
    TEXT_ENTRY("RecordPath", recordPath),
    TEXT_ENTRY("SaveAsPath", saveAsPath),
    Num("IsCaptureAudio", &RunTime::isCaptureAudio, 1),
    Num("auto", &RunTime::autoStart, 0, NoBound, false),
    Num("IsFixed43", &RunTime::isFixed43, 1),
    Num("IsTopMost", &RunTime::isTopMost, 0),
    Num("IsHideTool", &RunTime::isHideTool, 0),
    Num("lMainWnd", &RunTime::lMainWnd, 341),
    Num("tMainWnd", &RunTime::tMainWnd, 51),
    Num("rMainWnd", &RunTime::rMainWnd, 680),
    Num("bMainWnd", &RunTime::bMainWnd, 305),
    Num("xToolWnd", &RunTime::xToolWnd, 30),
    Num("yToolWnd", &RunTime::yToolWnd, 237),
    Num("IsSaveAsJPEG", &RunTime::isSaveAsJpeg, 0),
    Num("JPEGQuality", &RunTime::jpegQuality, 85),
    TEXT_ENTRY("LogoFile", logoFile),
    Num("ShowLogo", &RunTime::showLogo, 0),
    Num("ShowTime", &RunTime::showTime, 1),
    Num("ShowDate", &RunTime::showDate, 1),
    Num("xLogo", &RunTime::xLogo, 10),
    Num("yLogo", &RunTime::yLogo, 10),
    Num("xTime", &RunTime::xTime, 220),
    Num("yTime", &RunTime::yTime, 10),
    Num("xDate", &RunTime::xDate, 90),
    Num("yDate", &RunTime::yDate, 10),
    Num("vid_standard", &RunTime::vidStandard, 32, StandardBound),
    Num("vid_source", &RunTime::vidSource, 0, SourceBound),
    Num("vid_subtype", &RunTime::vidSubtype, 0, SubtypeBound),
    Num("vid_width", &RunTime::vidWidth, 320, WidthBound),
    Num("vid_height", &RunTime::vidHeight, 240, HeightBound),
    Num("vid_subtype_rec", &RunTime::vidSubtypeRec, 0, SubtypeBound),
    Num("vid_width_rec", &RunTime::vidWidthRec, 320, WidthBound),
    Num("vid_height_rec", &RunTime::vidHeightRec, 240, HeightBound),
    Num("vid_brightness", &RunTime::vidBrightness, 5000, ColourBound),
    Num("vid_contrast", &RunTime::vidContrast, 5000, ColourBound),
    Num("vid_saturation", &RunTime::vidSaturation, 5000, ColourBound),
    Num("vid_hue", &RunTime::vidHue, 5000, ColourBound),
    Num("CurTune", &RunTime::curTune, 0),
    Num("FurTune", &RunTime::furTune, 0),
    Num("TotalTv", &RunTime::totalTv, 0),
    Num("CtrShow", &RunTime::ctrShow, 0),
    Num("UseFave", &RunTime::useFave, 0),
    Num("Volume", &RunTime::volume, 22767),
    Num("VNul", &RunTime::vNul, 1),
    Num("lh", &RunTime::lh, 0),
    Num("lm", &RunTime::lm, 0),
    Num("ls", &RunTime::ls, 0),
    Num("bh", &RunTime::bh, 0),
    Num("bm", &RunTime::bm, 0),
    Num("bs", &RunTime::bs, 0),
    Num("l", &RunTime::l, 0),
    Num("b", &RunTime::b, 0),
    Num("blsingle", &RunTime::blSingle, 1),
    Num("usesnapcap", &RunTime::useSnapCap, 0),
    Num("halfpic", &RunTime::halfPic, 0),
    Num("userensnap", &RunTime::userEnSnap, 0),
    Num("PreView", &RunTime::preView, 1),
    Num("TVSound", &RunTime::tvSound, 1),
    Num("FaveNum", &RunTime::faveNum, 0),
    Num("CurInd", &RunTime::curInd, 0),
    Num("sefdef", &RunTime::sefDef, 1),
    // Written only by the System Settings dialog; the library reads them too.
    Num("CaptureMode", &RunTime::captureMode, 1, NoBound, false),
    Num("mpgmode", &RunTime::mpgMode, 0, NoBound, false),
    Num("audiorate", &RunTime::audioRate, 7, NoBound, false),
    Num("bitstream", &RunTime::bitStream, 1120, NoBound, false),
    // Written by the Advanced Settings page when it changes.
    Num("deinterlace", &RunTime::deinterlace, 1, NoBound, false),
};
#undef TEXT_ENTRY

char* TextField(RunTime& rt, const Entry& e) { return reinterpret_cast<char*>(&rt) + e.textOffset; }

void ChannelNames(int i, char* name, char* freq, char* index, bool fave) {
    std::snprintf(name, 24, fave ? "szTvNamelo%03d" : "szTvName%03d", i);
    std::snprintf(freq, 24, fave ? "iTvFreqlo%03d" : "iTvFreq%03d", i);
    std::snprintf(index, 24, fave ? "Indexlo%03d" : "Index%03d", i);
}

void ReadText(CRegKey& key, const char* name, char* field, std::size_t size) {
    std::string value(field);
    if (key.ReadString(name, value) == plat::ERROR_SUCCESS) CopyField(field, size, value);
}

void ReadTable(CRegKey& key, ChannelRecord* table, bool fave) {
    char name[24], freq[24], index[24];
    for (int i = 0; i < kChannelCount; ++i) {
        ChannelNames(i, name, freq, index, fave);
        ChannelRecord& r = table[i];
        ReadText(key, name, r.name, sizeof r.name);
        unsigned f = unsigned(r.freq), x = unsigned(r.index);
        key.ReadNumber(freq, f);
        key.ReadNumber(index, x);
        r.freq = int32_t(f);
        r.index = int32_t(x);
    }
}

void WriteTable(CRegKey& key, const ChannelRecord* table, bool fave) {
    char name[24], freq[24], index[24];
    for (int i = 0; i < kChannelCount; ++i) {
        ChannelNames(i, name, freq, index, fave);
        char text[kNameSize];
        CopyField(text, table[i].name);  // guards against a name without terminator
        key.WriteString(name, text);
        key.WriteNumber(freq, unsigned(table[i].freq));
        key.WriteNumber(index, unsigned(table[i].index));
    }
}

void ReadStartFolder(CRegKey& key, RunTime& rt) {
    std::string dir;
    key.ReadString("CurDir", dir);
    if (dir.empty()) {
        char cwd[4096];
        dir = getcwd(cwd, sizeof cwd) ? cwd : "";
        if (dir.size() > 255) dir.resize(255);
    }
    CopyField(rt.startFolder, dir);
}

}  // namespace

RunTime& Rt() {
    static RunTime* rt = [] {
        auto* r = new RunTime{};
        ResetSettings(*r);
        r->hidden = true;
        return r;
    }();
    return *rt;
}

bool CopyField(char* field, std::size_t size, std::string_view text) {
    if (size == 0) return text.empty();
    std::size_t n = text.size();
    bool cut = n > size - 1;
    if (cut) {
        n = size - 1;
        // Step back over continuation bytes so no character is split.
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    }
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
    return !cut;
}

void ResetSettings(RunTime& rt) {
    for (const Entry& e : kEntries)
        if (e.number) rt.*e.number = e.def;
    rt.deviceName[0] = '\0';
    CopyField(rt.snapshotPath, plat::PicturesDir());
    CopyField(rt.recordPath, plat::VideosDir());
    CopyField(rt.saveAsPath, rt.snapshotPath);
    CopyField(rt.logoFile, plat::StateDir() + "logo.bmp");
    rt.startFolder[0] = '\0';
    rt.prevTune = rt.furTune;
    for (int i = 0; i < kChannelCount; ++i) {
        std::snprintf(rt.channels[i].name, kNameSize, "%03d--TVChannal", i + 1);
        CopyField(rt.faves[i].name, "TVChannal");
        rt.channels[i].freq = rt.channels[i].index = 0;
        rt.faves[i].freq = rt.faves[i].index = 0;
    }
}

void LoadSettings() {
    RunTime& rt = Rt();
    ResetSettings(rt);
    CRegKey key;
    key.Open(plat::HKEY_LOCAL_MACHINE, kSettingsKey);
    for (const Entry& e : kEntries) {
        if (!e.number) {
            if (std::strcmp(e.name, "SaveAsPath") == 0) CopyField(rt.saveAsPath, rt.snapshotPath);
            ReadText(key, e.name, TextField(rt, e), e.textSize);
            continue;
        }
        unsigned v = unsigned(rt.*e.number);
        if (key.ReadNumber(e.name, v) == plat::ERROR_SUCCESS) rt.*e.number = int(e.bound(v));
    }
    ReadStartFolder(key, rt);
    rt.prevTune = rt.furTune;
    ReadTable(key, rt.channels, false);
    ReadTable(key, rt.faves, true);
    key.Close();

    CRegKey shared;
    if (shared.Open(plat::HKEY_LOCAL_MACHINE, kSharedKey) != plat::ERROR_SUCCESS) return;
    shared.WriteString("SnapPath", rt.snapshotPath);
    shared.WriteString("RecPath", rt.recordPath);
    shared.WriteString("ExeName", rt.deviceName);
}

void WriteViewerTitle() {
    CRegKey shared;
    if (shared.Open(plat::HKEY_LOCAL_MACHINE, kSharedKey) != plat::ERROR_SUCCESS) return;
    shared.WriteString("ExeName", Rt().deviceName);
}

void SaveSettings() {
    RunTime& rt = Rt();
    CRegKey key;
    if (key.Open(plat::HKEY_LOCAL_MACHINE, kSettingsKey) != plat::ERROR_SUCCESS) return;
    for (const Entry& e : kEntries) {
        if (!e.saved) continue;
        if (e.number) {
            key.WriteNumber(e.name, unsigned(rt.*e.number));
        } else {
            char text[kPathSize];
            CopyField(text, std::string_view(TextField(rt, e), strnlen(TextField(rt, e), e.textSize)));
            key.WriteString(e.name, text);
        }
    }
    WriteTable(key, rt.channels, false);
    WriteTable(key, rt.faves, true);
}

void SaveChannelTables() {
    const RunTime& rt = Rt();
    CRegKey key;
    if (key.Open(plat::HKEY_LOCAL_MACHINE, kSettingsKey) != plat::ERROR_SUCCESS) return;
    key.WriteNumber("TotalTv", unsigned(rt.totalTv));
    key.WriteNumber("CurTune", unsigned(rt.curTune));
    key.WriteNumber("FaveNum", unsigned(rt.faveNum));
    key.WriteNumber("FurTune", unsigned(rt.furTune));
    WriteTable(key, rt.channels, false);
    WriteTable(key, rt.faves, true);
}

long WriteSettingNumber(const char* name, unsigned value) {
    CRegKey key;
    long rc = key.Open(plat::HKEY_LOCAL_MACHINE, kSettingsKey);
    if (rc == plat::ERROR_SUCCESS) rc = key.WriteNumber(name, value);
    return rc == plat::ERROR_SUCCESS ? plat::RegFlushKey(key.Handle()) : rc;
}

long WriteSettingString(const char* name, const char* text) {
    CRegKey key;
    long rc = key.Open(plat::HKEY_LOCAL_MACHINE, kSettingsKey);
    if (rc == plat::ERROR_SUCCESS) rc = key.WriteString(name, text);
    return rc == plat::ERROR_SUCCESS ? plat::RegFlushKey(key.Handle()) : rc;
}

long ReadSettingNumber(const char* name, unsigned& value) {
    CRegKey key;
    long rc = key.Open(plat::HKEY_LOCAL_MACHINE, kSettingsKey);
    return rc != plat::ERROR_SUCCESS ? rc : key.ReadNumber(name, value);
}

long WriteSharedPaths() {
    CRegKey key;
    long rc = key.Open(plat::HKEY_LOCAL_MACHINE, kSharedKey);
    if (rc != plat::ERROR_SUCCESS) return rc;
    rc = key.WriteString("SnapPath", Rt().snapshotPath);
    long rc2 = key.WriteString("RecPath", Rt().recordPath);
    long rc3 = plat::RegFlushKey(key.Handle());
    return rc != plat::ERROR_SUCCESS ? rc : rc2 != plat::ERROR_SUCCESS ? rc2 : rc3;
}

}  // namespace orvane
