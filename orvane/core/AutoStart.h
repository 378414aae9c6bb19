// Start with the desktop session: the registry value "SetPath" under
// "SOFTWARE\Microsoft\Windows\CurrentVersion\Run" and the XDG autostart entry
// $XDG_CONFIG_HOME/autostart/orvane.desktop that starts the viewer. Turning
// auto start off keeps both: "SetPath" becomes empty and the entry gets
// Hidden=true, so a desktop's own autostart settings stay as the user left them.
#pragma once
#include <string>

namespace orvane {

// $XDG_CONFIG_HOME/autostart/orvane.desktop
std::string AutoStartEntryPath();
// The desktop entry text for the viewer program at `program`.
std::string AutoStartEntry(const std::string& program, bool enabled);
// Writes "SetPath" and the desktop entry (atomically); false when the entry
// could not be written.
bool WriteAutoStart(bool enabled);

}  // namespace orvane
