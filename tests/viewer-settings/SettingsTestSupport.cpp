#include "SettingsTestSupport.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/radiobut.h>
#include <wx/slider.h>
#include <wx/textctrl.h>

#include "orvane/core/Settings.h"

namespace {

void Send(wxWindow* control, wxEventType type, int value) {
    wxCommandEvent e(type, control->GetId());
    e.SetEventObject(control);
    e.SetInt(value);
    control->HandleWindowEvent(e);
}

}  // namespace

void Click(wxWindow* control) {
    if (!control) return;
    if (auto* r = dynamic_cast<wxRadioButton*>(control)) {
        r->SetValue(true);
        Send(r, wxEVT_RADIOBUTTON, 1);
    } else if (auto* c = dynamic_cast<wxCheckBox*>(control)) {
        c->SetValue(!c->GetValue());
        Send(c, wxEVT_CHECKBOX, c->GetValue());
    } else {
        Send(control, wxEVT_BUTTON, 0);
    }
}

void Choose(wxWindow* control, int value) {
    if (auto* s = dynamic_cast<wxSlider*>(control)) {
        s->SetValue(value);
        Send(s, wxEVT_SLIDER, value);
    } else if (auto* c = dynamic_cast<wxChoice*>(control)) {
        c->SetSelection(value);
        Send(c, wxEVT_CHOICE, value);
    }
}

void Type(wxWindow* field, const std::string& text) {
    if (auto* t = dynamic_cast<wxTextCtrl*>(field)) t->ChangeValue(wxString::FromUTF8(text));
}

void Press(wxWindow* dialog, int id) { Click(dialog->FindWindow(id)); }

unsigned StoredNumber(const char* name, unsigned missing) {
    unsigned v = missing;
    orvane::ReadSettingNumber(name, v);
    return v;
}

std::string WindowsStruct(const void* data, size_t size) {
    const auto* b = static_cast<const unsigned char*>(data);
    std::string out;
    unsigned sum = 0;
    char hex[3];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(hex, sizeof hex, "%02X", b[i]);
        out += hex;
        sum += b[i];
    }
    std::snprintf(hex, sizeof hex, "%02X", sum & 0xFF);
    return out + hex;
}
