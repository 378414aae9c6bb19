// CLumoraDoc: the browser's document. It holds no data: the view owns the
// list model. A new document only sets its title.
#pragma once

#include <wx/docview.h>

class CLumoraDoc : public wxDocument {
public:
    bool OnNewDocument() override;
    bool IsModified() const override { return false; }

private:
    wxDECLARE_DYNAMIC_CLASS(CLumoraDoc);
};
