#include "orvane/core/AutoStart.h"

#include <sys/stat.h>

#include "common/RegKey.h"
#include "platform/Paths.h"

namespace orvane {

namespace {

const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kProgramFile[] = "Mirvale.exe";  // the value's file name, kept as stored values expect

// $XDG_CONFIG_HOME: the parent of the configuration folder the platform uses.
std::string ConfigHome() {
    std::string dir = plat::ConfigDir();  // .../quorvel/
    dir.pop_back();
    return dir.substr(0, dir.rfind('/') + 1);
}

// An Exec argument in double quotes, with the characters a desktop entry's
// Exec key escapes inside quotes, then the backslash doubled for the value's
// own escape level.
std::string QuoteExec(const std::string& arg) {
    std::string q = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') q += "\\\\";
        q += c;
    }
    return q + "\"";
}

}  // namespace

std::string AutoStartEntryPath() { return ConfigHome() + "autostart/orvane.desktop"; }

std::string AutoStartEntry(const std::string& program, bool enabled) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Tellura\n"
           "Comment=Watch and record television\n"
           "Exec=" + QuoteExec(program) + "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=" + (enabled ? "true" : "false") + "\n"
           "Hidden=" + (enabled ? "false" : "true") + "\n";
}

bool WriteAutoStart(bool enabled) {
    CRegKey key;
    if (key.Open(plat::HKEY_LOCAL_MACHINE, kRunKey) == plat::ERROR_SUCCESS)
        key.WriteString("SetPath", enabled ? (plat::ProgramDir() + kProgramFile).c_str() : "");
    key.Close();
    const std::string path = AutoStartEntryPath();
    mkdir(path.substr(0, path.rfind('/')).c_str(), 0755);
    return plat::AtomicWriteFile(path, AutoStartEntry(plat::ProgramDir() + "orvane", enabled));
}

}  // namespace orvane
