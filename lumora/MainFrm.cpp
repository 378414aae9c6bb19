// CMainFrame: menus, toolbar, keys, About and the framework commands.
#include "lumora/MainFrm.h"

#include <gtk/gtk.h>

#include <wx/accel.h>
#include <wx/log.h>
#include <wx/menu.h>
#include <wx/toolbar.h>

#include "lumora/AboutDlg.h"
#include "lumora/Artwork.h"
#include "lumora/ImageDialogs.h"
#include "lumora/LumoraView.h"
#include "lumora/Resource.h"

using namespace lumora;

namespace {

CMainFrame*& CurrentFrame() {
    static CMainFrame* frame = nullptr;
    return frame;
}

// Status text (before the newline) and tooltip (after it) of each command.
struct Help {
    int command;
    const char* text;
};
const Help kHelp[] = {
    {ID_ARRANGE_NAME, "Arrange image by Character Sequence\n Arrange image by Character Sequence"},
    {ID_ARRANGE_DATE, "Arrange images by Time Secquence of Creating File \n Arrange images by Time Secquence of Creating File"},
    {ID_ARRANGE_TYPE, "Arrange images by file type \nArrange images by file type"},
    {ID_APP_EXIT_TO_VIDEO, "Return back to video \n Return back to video"},
    {ID_NEXT, "Next image \n Next image"},
    {ID_PREVIOUS, "Previous image \n Previous image"},
    {ID_SLIDE_SHOW, "Slide show \n Slide show"},
    {ID_SLIDE_DELAY, "Slide Show Delay Time \n Slide Show Delay Time"},
    {ID_FIRST, "First image\n First image"},
    {ID_LAST, "Last image \n Last image"},
    {ID_RENAME, "Rename \n Rename"},
    {ID_SET_WALLPAPER, "Set Wallpaper \n Set Wallpaper"},
    {ID_SET_STARTUP, "Set Startup \n Set Startup"},
    {ID_REFRESH, "Refresh \n Refresh"},
    {ID_MULTI_IMAGE, "Multi-image mode \n Multi-image mode"},
    {ID_DELETE, "Delete image \n Delete image"},
    {ID_FILE_OPEN, "Open \n Open"},
    {ID_FILE_SAVE_AS, "Save As... \n Save As..."},
    {ID_FILE_PRINT_SETUP, "Print Setup \n Print Setup"},
    {ID_FILE_PRINT, "Print... \n Print..."},
    {ID_FILE_PRINT_PREVIEW, "Print Preview \n Print Preview"},
    {ID_APP_ABOUT, "About \n About"},
};

wxString HelpPart(int command, bool tooltip) {
    for (const Help& h : kHelp)
        if (h.command == command) {
            const wxString all(h.text);
            return tooltip ? all.AfterFirst('\n') : all.BeforeFirst('\n');
        }
    return wxString();
}

struct Item {
    int command;  // 0: separator
    const char* text;
    bool check = false;  // shows a check mark while on
};

wxMenu* BuildMenu(std::initializer_list<Item> items) {
    auto* menu = new wxMenu;
    for (const Item& it : items) {
        if (it.command == 0) menu->AppendSeparator();
        else if (it.check) menu->AppendCheckItem(ItemId(it.command), it.text, HelpPart(it.command, false));
        else menu->Append(ItemId(it.command), it.text, HelpPart(it.command, false));
    }
    return menu;
}

}  // namespace

CMainFrame* CMainFrame::Current() { return CurrentFrame(); }

wxMenuBar* CMainFrame::MainMenu() {
    // Unmodified arrow, Home and End keys cannot be menu accelerators in GTK;
    // the texts still show and the frame's key hook runs them (OnCharHook).
    wxLogNull quiet;
    auto* bar = new wxMenuBar;
    bar->Append(BuildMenu({{ID_FILE_OPEN, "&Open...\tCtrl+O"},
                           {ID_RENAME, "&Rename"},
                           {ID_FILE_SAVE_AS, "&Save As..."},
                           {0, nullptr},
                           {ID_FILE_PRINT, "&Print...\tCtrl+P"},
                           {ID_FILE_PRINT_PREVIEW, "Print Pre&view"},
                           {ID_FILE_PRINT_SETUP, "Print Set&up..."},
                           {0, nullptr},
                           {ID_APP_EXIT_TO_VIDEO, "E&xit"}}),
                "&File");
    bar->Append(BuildMenu({{ID_REFRESH, "&Refresh\tCtrl+S"},
                           {ID_MULTI_IMAGE, "&Multi-image display"},
                           {ID_SET_WALLPAPER, "Set &Wallpaper\tCtrl+C"},
                           {ID_DELETE, "De&lete\tCtrl+D"},
                           {ID_ARRANGE_NAME, "Arrange image by &name"},
                           {ID_ARRANGE_DATE, "Arrange image by &date"},
                           {ID_ARRANGE_TYPE, "Arrange image by &type"}}),
                "F&unctions");
    bar->Append(BuildMenu({{ID_NEXT, "Next\tRIGHT"},
                           {ID_PREVIOUS, "Previous\tLEFT"},
                           {ID_FIRST, "First\tHome"},
                           {ID_LAST, "Last\tEnd"},
                           {ID_SLIDE_SHOW, "Slide Show\tCtrl+W", true},
                           {ID_SLIDE_DELAY, "Timed Slide Show"}}),
                "&Operation");
    return bar;
}

// Shows a key beside a menu item without binding it.
static void ShowKey(wxMenuBar* bar, int command, guint key) {
    wxMenuItem* item = bar->FindItem(ItemId(command));
    GtkWidget* label = item && item->GetMenuItem() ? gtk_bin_get_child(GTK_BIN(item->GetMenuItem())) : nullptr;
    if (label && GTK_IS_ACCEL_LABEL(label)) gtk_accel_label_set_accel(GTK_ACCEL_LABEL(label), key, GdkModifierType(0));
}

wxMenu* CMainFrame::ImagePopup() {
    return BuildMenu({{ID_SET_WALLPAPER, "Set &Wallpaper"}, {ID_MULTI_IMAGE, "&Mulit-image mode"}, {ID_RENAME, "Re&name"}});
}

CMainFrame::CMainFrame(wxDocManager* manager, const wxString& title)
    : wxDocParentFrame(manager, nullptr, wxID_ANY, title, wxDefaultPosition, wxSize(1000, 760),
                       wxDEFAULT_FRAME_STYLE & ~wxMAXIMIZE_BOX) {
    CurrentFrame() = this;
    SetIcons(wxIconBundle(ProgramIcon(48)));
    SetMenuBar(MainMenu());
    // GTK binds no unmodified arrow, Home or End key to a menu item; the
    // items still show them, and OnCharHook runs them.
    for (auto [command, key] : {std::pair{ID_NEXT, GDK_KEY_Right}, {ID_PREVIOUS, GDK_KEY_Left},
                                {ID_FIRST, GDK_KEY_Home}, {ID_LAST, GDK_KEY_End}})
        ShowKey(GetMenuBar(), command, guint(key));
    CreateToolBar128();
    // Ctrl+N has no menu item: the framework's new document, kept as a key.
    wxAcceleratorEntry keys[] = {{wxACCEL_CTRL, 'N', wxID_NEW}};
    SetAcceleratorTable(wxAcceleratorTable(1, keys));
    Bind(wxEVT_CHAR_HOOK, &CMainFrame::OnCharHook, this);
    Bind(wxEVT_MENU, &CMainFrame::OnExitToVideo, this, ItemId(ID_APP_EXIT_TO_VIDEO));
    Bind(wxEVT_MENU, &CMainFrame::OnAbout, this, wxID_ABOUT);
    Bind(wxEVT_MENU, &CMainFrame::OnUserManual, this, ItemId(ID_USER_MANUAL));
}

CMainFrame::~CMainFrame() {
    if (CurrentFrame() == this) CurrentFrame() = nullptr;
}

void CMainFrame::CreateToolBar128() {
    wxToolBar* bar = CreateToolBar(wxTB_HORIZONTAL | wxTB_FLAT | wxNO_BORDER);
    bar->SetToolBitmapSize(wxSize(40, 40));
    static const int kTools[] = {ID_FILE_OPEN, ID_FILE_SAVE_AS, 0, ID_FIRST, ID_PREVIOUS, ID_NEXT, ID_LAST,
                                 ID_SLIDE_SHOW, 0, ID_REFRESH, ID_MULTI_IMAGE, 0, ID_SET_WALLPAPER, 0,
                                 ID_RENAME, ID_DELETE, 0, ID_APP_ABOUT, ID_USER_MANUAL, ID_SET_STARTUP};
    for (int command : kTools) {
        if (command == 0) {
            bar->AddSeparator();
            continue;
        }
        // The slide show button stays pressed while the show runs.
        const wxItemKind kind = command == ID_SLIDE_SHOW ? wxITEM_CHECK : wxITEM_NORMAL;
        bar->AddTool(ItemId(command), wxString(), ToolBitmap(command, true), ToolBitmap(command, false), kind,
                     HelpPart(command, true).Strip(wxString::both), HelpPart(command, false));
    }
    bar->Realize();
}

// Keys the menus show but GTK cannot bind: arrows, Home and End; and Page
// Down and Page Up for Next and Previous. They reach the view's commands
// unless a dialog or the menu has the keyboard.
void CMainFrame::OnCharHook(wxKeyEvent& e) {
    int command = 0;
    if (e.GetModifiers() == wxMOD_NONE) switch (e.GetKeyCode()) {
        case WXK_RIGHT: command = ID_NEXT; break;
        case WXK_LEFT: command = ID_PREVIOUS; break;
        case WXK_HOME: command = ID_FIRST; break;
        case WXK_END: command = ID_LAST; break;
        // A page of thumbnails, or one picture, at a time.
        case WXK_PAGEDOWN:
        case WXK_NUMPAD_PAGEDOWN: command = ID_NEXT; break;
        case WXK_PAGEUP:
        case WXK_NUMPAD_PAGEUP: command = ID_PREVIOUS; break;
        default: break;
        }
    auto* view = dynamic_cast<CLumoraView*>(GetDocumentManager()->GetCurrentView());
    if (command == 0 || !view) {
        e.Skip();
        return;
    }
    view->RunCommand(command);
}

void CMainFrame::OnExitToVideo(wxCommandEvent&) { Close(); }

void CMainFrame::OnAbout(wxCommandEvent&) {
    CAboutDlg dlg(this);
    dlg.ShowModal();
}

// The viewer's manual, opened at its chapter on this browser.
void CMainFrame::OnUserManual(wxCommandEvent&) {
    if (!m_help) m_help = std::make_unique<CHelpWindow>();
    if (!m_help->Show("browser.html"))
        lumora::Ask("The help file " + wxString::FromUTF8(HelpBookPath()) + " could not be opened.",
                    wxOK | wxICON_ERROR);
}
