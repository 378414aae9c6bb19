// The library's two exports over the browser window.
#include "calvex/Calvex.h"

#include <wx/app.h>
#include <wx/toplevel.h>

#include "calvex/BrowserFrame.h"

extern "C" CALVEX_API int Calvex_Open(CALVEX_HWND owner, unsigned int message, const char* folder) {
    if (!folder || !wxTheApp) return 0;
    auto* frame = new calvex::CBrowserFrame(owner, message, folder);
    frame->Show();
    frame->Raise();
    return frame->IsShown() ? 1 : 0;
}

extern "C" CALVEX_API void Calvex_Close(CALVEX_HWND owner) {
    if (!wxTheApp) return;
    for (wxWindow* w : wxTopLevelWindows) {
        auto* frame = dynamic_cast<calvex::CBrowserFrame*>(w);
        if (frame && frame->Owner() == owner && !frame->IsBeingDeleted()) {
            frame->Forget();
            frame->Close(true);
        }
    }
}
