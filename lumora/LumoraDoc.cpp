#include "lumora/LumoraDoc.h"

wxIMPLEMENT_DYNAMIC_CLASS(CLumoraDoc, wxDocument);

bool CLumoraDoc::OnNewDocument() {
    if (!wxDocument::OnNewDocument()) return false;
    SetTitle(wxString::FromUTF8("图片浏览"));
    return true;
}
