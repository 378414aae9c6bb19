// The manual: the HTML book shipped in the "help" folder beside the programs,
// shown by wxHtmlHelpController in a window titled "Quorvel Tellura Help",
// for the viewer and the image browser. While it is open the window is
// published under that title, so the viewer's final close (or any program)
// finds it and closes it with a close message.
#pragma once
#include <memory>
#include <string>

class wxHtmlHelpController;
class wxWindow;

inline constexpr const char* kHelpTitle = "Quorvel Tellura Help";

// The book's project file: <program folder>help/tellura.hhp.
std::string HelpBookPath();

class CHelpWindow {
public:
    CHelpWindow();
    ~CHelpWindow();
    CHelpWindow(const CHelpWindow&) = delete;
    CHelpWindow& operator=(const CHelpWindow&) = delete;

    // Shows the manual at its default topic, or at `page` (a file of the
    // book, with an optional #anchor). False, and nothing shown, when the
    // book cannot be read.
    bool Show(const std::string& page = std::string());
    bool IsOpen() const;
    void Close();
    // Keeps the window in the always-on-top layer (while the caller's own
    // window is there, so the manual is not hidden underneath it).
    void KeepAbove(bool above);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

