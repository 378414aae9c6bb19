// CLumoraView's image commands (Save As, Set Wallpaper, Set Startup, Rename,
// Delete) and the slide show with its delay dialog.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtk/gtk.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include <wx/filedlg.h>
#include <wx/utils.h>
#include <wx/msgdlg.h>

#include "common/DibImage.h"
#include "lumora/ImageDialogs.h"
#include "lumora/LumoraView.h"
#include "lumora/Resource.h"
#include "lumora/Wallpaper.h"
#include "platform/Paths.h"
#include "platform/Trash.h"

using namespace lumora;

namespace {

// Filter index, extension and save type share the numbers 1..6.
const char kSaveWildcard[] =
    "Jpeg Files(*.JPG)|*.JPG|BMP Files(*.BMP)|*.BMP|GIF Files(*.GIF)|*.GIF|PCX Files(*.PCX)|*.PCX|"
    "Targa Files(*.TGA)|*.TGA|Tif Files(*.TIF)|*.TIF";
const char* const kSaveExtension[] = {".JPG", ".BMP", ".GIF", ".PCX", ".TGA", ".TIF"};

// The chosen path with the type's extension: a dot in the file-name part
// cuts the name there ("my.old.pic" -> "my"), then the extension follows.
std::string WithSaveExtension(std::string path, int type) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.find('.', slash == std::string::npos ? 0 : slash + 1);
    if (dot != std::string::npos) path.erase(dot);
    return path + kSaveExtension[type - 1];
}

// GTK matches filter patterns with case: each "*.JPG" also takes "*.jpg",
// so the folder's pictures show whatever case their names have.
void MatchAnyCase(wxFileDialog& dlg) {
    auto* chooser = GTK_FILE_CHOOSER(dlg.GetHandle());
    if (!chooser) return;
    GSList* filters = gtk_file_chooser_list_filters(chooser);
    int i = 0;
    for (GSList* f = filters; f && i < 6; f = f->next, ++i) {
        const wxString lower = wxString("*") + wxString(kSaveExtension[i]).Lower();
        gtk_file_filter_add_pattern(GTK_FILE_FILTER(f->data), lower.utf8_str());
    }
    g_slist_free(filters);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// rename() that never replaces a file already called newName, as the user
// would lose it: the C library's "File exists" instead.
int RenameNoReplace(const std::string& oldName, const std::string& newName) {
    if (::renameat2(AT_FDCWD, oldName.c_str(), AT_FDCWD, newName.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the flag: a hard link fails on an existing name.
    if (::link(oldName.c_str(), newName.c_str()) != 0) return errno;
    ::unlink(oldName.c_str());
    return 0;
}

// The picture of an image object at its full size, decoded from its file
// again: the object on show is reduced to the window. When the file no
// longer loads, the picture on show is what there is.
std::shared_ptr<CDibImage> FullSize(const std::shared_ptr<CDibImage>& shown) {
    if (!shown || shown->FileName().empty()) return shown;
    wxBusyCursor wait;  // a large photo takes a moment
    auto full = std::make_shared<CDibImage>(CDibImage::Kind::Browser);
    return full->Load(shown->FileName()) ? full : shown;
}

}  // namespace

CLumoraView::SaveDialogFn& CLumoraView::SaveDialogHook() {
    static SaveDialogFn hook;
    return hook;
}

int& CLumoraView::SaveFilterIndex() {
    static int index = 1;
    return index;
}

CLumoraView::SaveAnswer CLumoraView::AskSavePath(const SaveRequest& request) {
    if (SaveDialogHook()) return SaveDialogHook()(request);
    wxFileDialog dlg(canvas_, "Save As", wxString::FromUTF8(request.folder), wxString::FromUTF8(request.name),
                     request.wildcard, wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    MatchAnyCase(dlg);
    dlg.SetFilterIndex(request.filterIndex - 1);
    SaveAnswer answer;
    if (dlg.ShowModal() != wxID_OK) return answer;
    answer.ok = true;
    answer.path = dlg.GetPath().utf8_string();
    answer.filterIndex = dlg.GetFilterIndex() + 1;
    return answer;
}

void CLumoraView::SaveAs() {
    plat::SetCurrentDir(folder_);
    // The picture on show now: a running slide show may move on meanwhile.
    const std::shared_ptr<CDibImage> shown = single_;
    std::shared_ptr<CDibImage> image;
    SaveRequest request{kSaveWildcard, SaveFilterIndex(), folder_, ""};
    for (;;) {
        const SaveAnswer answer = AskSavePath(request);
        if (!answer.ok) break;
        const int type = answer.filterIndex >= 1 && answer.filterIndex <= 6 ? answer.filterIndex : 1;
        SaveFilterIndex() = type;
        // The dialog comes back with the name and type just chosen.
        request.folder = FolderOf(answer.path);
        request.name = answer.path.substr(request.folder.size());
        request.filterIndex = type;
        if (!shown || !shown->PixelBlock()) {
            Ask("There is no image to save: choose a picture first.", wxOK | wxICON_INFORMATION);
            break;
        }
        if (!image) image = FullSize(shown);
        if (type == DIB_SAVE_JPG && image->BitCount() < 24) {
            Ask("It requires color with 24bit or above to save image as JPEG file.", wxOK | wxICON_EXCLAMATION);
            continue;
        }
        if (answer.path.find('/') == std::string::npos) break;
        const std::string target = WithSaveExtension(answer.path, type);
        // The dialog asked about the name as typed; the file written may be
        // another one that exists.
        if (target != answer.path && Exists(target) &&
            Ask(wxString::FromUTF8(target) + " already exists.\nDo you want to replace it?",
                wxYES_NO | wxICON_EXCLAMATION) != wxYES)
            continue;
        errno = 0;
        const bool saved = image->Save(target, DIB_SAVE_BY_EXTENSION);
        const int error = errno;
        // A failed BMP save is told by the image object itself.
        if (!saved && type != DIB_SAVE_BMP)
            Ask("Saving image as " + wxString::FromUTF8(target) + " failed" +
                    (error ? ": " + wxString::FromUTF8(std::strerror(error)) : wxString(".")),
                wxOK | wxICON_ERROR);
        break;
    }
    plat::SetCurrentDir(folder_);
}

// The single image as a BMP file; true when it is on disk. The image object
// tells the user when the BMP could not be written.
bool CLumoraView::SaveSingleTo(const std::string& path) {
    if (!single_ || !single_->PixelBlock()) {
        Ask("There is no image to use: choose a picture first.", wxOK | wxICON_INFORMATION);
        return false;
    }
    return FullSize(single_)->Save(path, DIB_SAVE_BY_EXTENSION);
}

void CLumoraView::SetWallpaper() {
    const std::string path = plat::WindowsDir() + "TALVE.BMP";
    // Nothing is shown when the picture could not be written.
    if (!SaveSingleTo(path)) return;
    bool set = false;
    {
        wxBusyCursor wait;  // the desktop's tool may take a moment
        set = SetDesktopWallpaper(path);
    }
    if (!set)
        Ask("The wallpaper could not be set: no known desktop setting answered.\nThe picture is saved as " +
                wxString::FromUTF8(path) + ".",
            wxOK | wxICON_EXCLAMATION);
}

void CLumoraView::SetStartup() {
    const std::string path = plat::WindowsDir() + "NEW.BMP";
    if (SaveSingleTo(path))
        Ask("The picture is now the start-up picture.\nIt is saved as " + wxString::FromUTF8(path) + ".",
            wxOK | wxICON_INFORMATION);
}

void CLumoraView::RenameCurrent() {
    const size_t index = size_t(list_.CurrentIndex());
    if (index >= list_.Count()) return;
    plat::SetCurrentDir(folder_);
    const std::string folder = FolderOf(list_.Entry(index).path);
    // A name that is not UTF-8 is shown byte by byte, as in the page.
    wxString typed = NameText(list_.Entry(index).name);
    std::string name;
    for (;;) {
        CImgrn dlg(canvas_, typed);
        if (dlg.ShowModal() != wxID_OK) return;
        name = dlg.Name();
        typed = wxString::FromUTF8(name);
        if (name == list_.Entry(index).name) return;  // nothing to do
        // Rename stays in this folder: a name with a folder in it is refused.
        // Both names are taken in the entry's own folder (the working folder).
        const bool hasFolder = name.find('/') != std::string::npos;
        // An empty name names no file, as rename() with "" says.
        const int error = hasFolder      ? EINVAL
                          : name.empty() ? ENOENT
                                         : RenameNoReplace(list_.Entry(index).path, folder + name);
        if (error == 0) break;
        Ask(hasFolder ? wxString("A file name cannot contain \"/\".") : wxString::FromUTF8(std::strerror(error)),
            wxOK | wxICON_ERROR);
    }
    list_.Rename(index, name, folder + name);
    if (canvas_) canvas_->Refresh();
}

void CLumoraView::DeleteCurrent() {
    const size_t index = size_t(list_.CurrentIndex());
    if (index >= list_.Count()) return;
    const ImageEntry entry = list_.Entry(index);
    const wxString name = NameText(entry.name);
    // The question says where the picture goes. A disk whose trash is not
    // made yet can still take it; one that cannot asks again below.
    const wxString where = plat::CanTrash(entry.path)
                               ? "It is moved to the trash, from where it can be restored."
                               : "It is moved to the trash; if its disk has none, you are asked again before it is "
                                 "deleted for good.";
    if (Ask(wxString::Format("Delete image %s really?", name) + "\n" + where, wxYES_NO | wxICON_QUESTION) != wxYES)
        return;
    std::string error;
    switch (plat::MoveToTrash(entry.path, &error)) {
    case plat::TrashResult::Trashed: break;
    case plat::TrashResult::NoTrash:
        // Only with the user's second answer is a file lost for good.
        if (Ask(wxString::Format("The disk of %s has no trash.\nDelete the image for good? It cannot be restored.",
                                 name),
                wxYES_NO | wxNO_DEFAULT | wxICON_WARNING) != wxYES)
            return;
        if (!plat::DeleteForGood(entry.path, &error)) {
            Ask(wxString::FromUTF8(error), wxOK | wxICON_ERROR);
            return;
        }
        break;
    case plat::TrashResult::Failed: Ask(wxString::FromUTF8(error), wxOK | wxICON_ERROR); return;
    }
    RefreshFolder();
}

// ---- Slide show ------------------------------------------------------------

void CLumoraView::ToggleSlideShow() {
    if (slideTimer_.IsRunning()) {
        slideTimer_.Stop();
        return;
    }
    slideTimer_.Start(slideDelay_);
    PrefetchNext();
}

void CLumoraView::AskSlideDelay() {
    if (slideTimer_.IsRunning()) return;
    CDImgTimer dlg(canvas_);
    if (dlg.ShowModal() == wxID_OK) slideDelay_ = dlg.Delay();
}

// Each tick shows the next entry (or page); the one after the end stops the
// show on the first.
void CLumoraView::OnSlideTick(wxTimerEvent& e) {
    if (e.GetId() != ID_SLIDE_TIMER) {
        e.Skip();
        return;
    }
    const int count = int(list_.Count());
    const bool more = list_.Single() ? list_.CurrentIndex() + 1 < count : list_.PageFirst() + kPageSize < count;
    if (!more) {
        StopSlideShowAtFirst();
        return;
    }
    RunCommand(ID_NEXT);
    PrefetchNext();
}

// The First command's steps without its enabling rule.
void CLumoraView::StopSlideShowAtFirst() {
    slideTimer_.Stop();
    list_.First();
    AfterNavigation();
}

// The next picture is decoded while this one shows, so a slow file does not
// stretch the delay.
void CLumoraView::PrefetchNext() {
    if (!canvas_ || !list_.Single() || list_.Count() == 0) return;
    size_t next = size_t(list_.CurrentIndex()) + 1;
    if (next >= list_.Count()) next = 0;  // the end shows the first again
    canvas_->Single().Prefetch(list_.Entry(next).path);
}
