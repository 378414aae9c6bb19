// CFolderDialog: a modal folder picker shared by the viewer and the image
// browser. A caption, the instruction "Current Selection:" over a status line
// with the current choice (shortened), a folder tree preselected at the start
// folder, OK and Cancel. Built on wxGenericDirCtrl because the native GTK
// chooser reports no selection change and has no status line.
#pragma once
#include <functional>
#include <string>

class wxWindow;
class wxDialog;
class wxGenericDirCtrl;
class wxStaticText;

class CFolderDialog {
public:
    enum Result { kOk = 1, kCancel = 2 };
    // Longest status text shown whole; longer ones are cut and get "...".
    static constexpr size_t kStatusChars = 35;

    // flags: kept for the callers' sake; the picker always lists folders only.
    CFolderDialog(const std::string& startFolder = "", unsigned flags = 0, wxWindow* owner = nullptr,
                  const std::string& caption = "");

    // 1 (OK with a folder chosen) or 2 (Cancel, closed, or nothing usable
    // chosen). On 2 the chosen folder is the start folder again.
    int ShowModal();
    std::string ChosenFolder() const { return chosen_; }

    // A text longer than 35 characters becomes its first 35 characters and
    // "..."; a multi-byte character is never cut.
    static std::string ShortenStatus(const std::string& path);

    // Test hook: when set, called once from inside the modal loop after the
    // window is shown; the test drives it with the calls below.
    using ShownFn = std::function<void(CFolderDialog&)>;
    static ShownFn& ShownHook();

    // While shown: select a folder as a click in the tree would (false when
    // the tree has no such folder), read the texts, close with 1 or 2.
    bool SelectFolder(const std::string& folder);
    std::string StatusText() const;
    std::string Caption() const;
    wxDialog* Window() const { return dialog_; }
    void EndModal(int result);

    unsigned Flags() const { return flags_; }

private:
    void OnSelectionChanged();
    void ShowStatus(const std::string& path);

    std::string start_;
    std::string chosen_;
    std::string caption_;
    unsigned flags_;
    wxWindow* owner_;
    wxDialog* dialog_ = nullptr;
    wxGenericDirCtrl* tree_ = nullptr;
    wxStaticText* status_ = nullptr;
};
