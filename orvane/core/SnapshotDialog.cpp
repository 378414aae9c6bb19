#include "orvane/core/SnapshotDialog.h"

#include <cctype>
#include <sys/stat.h>

#include <wx/filedlg.h>
#include <wx/msgdlg.h>

namespace orvane {

std::string DialogFilter(const std::string& filter) {
    std::string f = filter;
    while (!f.empty() && f.back() == '|') f.pop_back();
    return f;
}

std::string WithDefaultExtension(const std::string& path, const std::string& defaultExtension) {
    const size_t slash = path.rfind('/');
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    if (file.empty() || file.find('.') != std::string::npos) return path;
    std::string ext;
    for (char c : defaultExtension.substr(0, 3))
        if (std::isalnum(static_cast<unsigned char>(c))) ext += char(std::tolower(static_cast<unsigned char>(c)));
    return ext.empty() ? path : path + "." + ext;
}

namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// The toolkit asked about the name as typed; a name that only now got its
// extension is asked about here.
bool ConfirmReplace(wxWindow* parent, const std::string& path) {
    const wxString text = wxString::FromUTF8(path) + " already exists.\nDo you want to replace it?";
    return wxMessageBox(text, "Save As", wxYES_NO | wxICON_WARNING, parent) == wxYES;
}

}  // namespace

std::string RunSaveStillDialog(wxWindow* parent, const SaveDialogSetup& setup) {
    long style = wxFD_SAVE;
    if (setup.overwritePrompt) style |= wxFD_OVERWRITE_PROMPT;
    wxFileDialog dialog(parent, "Save As", wxString::FromUTF8(setup.folder), wxString::FromUTF8(setup.fileName),
                        wxString::FromUTF8(DialogFilter(setup.filter)), style);
    if (dialog.ShowModal() != wxID_OK) return {};
    const std::string typed = dialog.GetPath().utf8_string();
    const std::string path = WithDefaultExtension(typed, setup.defaultExtension);
    if (path != typed && setup.overwritePrompt && Exists(path) && !ConfirmReplace(parent, path)) return {};
    return path;
}

}  // namespace orvane
