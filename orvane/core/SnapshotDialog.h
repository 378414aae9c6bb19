// The save-file dialog of the "save current picture as" command.
#pragma once
#include <string>

#include "orvane/core/CaptureCommands.h"

class wxWindow;

namespace orvane {

// The toolkit's filter from a "Name (*.ext)|*.ext||" filter (the closing
// "||" dropped).
std::string DialogFilter(const std::string& filter);

// path with ".<ext>" appended when its file name has no extension; ext is
// the first three characters of the default extension ("JPG File" -> "jpg"),
// in lower case so that the folder scans, which match "*.jpg", find it.
std::string WithDefaultExtension(const std::string& path, const std::string& defaultExtension);

// Modal save dialog owned by parent, starting in setup.folder, asking before
// a file is replaced. The chosen path, or "" when cancelled.
std::string RunSaveStillDialog(wxWindow* parent, const SaveDialogSetup& setup);

}  // namespace orvane
