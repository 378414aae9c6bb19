// Driving the System Settings dialog's controls as a user would.
#pragma once
#include <string>

#include <wx/window.h>

#include "orvane/ui/ConfigSet.h"

// The control `id` of a page, of the expected kind (null when missing).
template <class T>
T* Ctl(wxWindow* page, int id) {
    return page ? dynamic_cast<T*>(page->FindWindow(id)) : nullptr;
}

// A click on a button, radio button or check box (a check box toggles);
// sends the control's own event.
void Click(wxWindow* control);
// Moves a slider or selects a choice item and sends its event.
void Choose(wxWindow* control, int value);
// Types text into a field (no event).
void Type(wxWindow* field, const std::string& text);
// OK or Cancel of a dialog.
void Press(wxWindow* dialog, int id);
// A value of the settings key, or `missing`.
unsigned StoredNumber(const char* name, unsigned missing = 0xDEAD);
// The struct text Windows writes for size bytes (upper-case hex and checksum).
std::string WindowsStruct(const void* data, size_t size);
