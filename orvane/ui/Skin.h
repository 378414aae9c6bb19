// The viewer's artwork, drawn in code at the sizes the windows expect and
// cached by resource id.
#pragma once

#include <wx/bitmap.h>
#include <wx/icon.h>

// Bitmap by resource id (panel 133, border strip 134, keypad 235 and the
// button pictures 129..296). An invalid bitmap for an unknown id.
wxBitmap LoadSkinBitmap(int id);
// Icon 128 (program) or 306 (recording); an invalid icon otherwise.
wxIcon LoadSkinIcon(int id, int size = 32);
