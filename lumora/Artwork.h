// The browser's artwork, drawn in code in the viewer's finished style:
// graphite buttons with light glyphs for toolbar 128, the three cell tiles
// (266, 264, 265) and the program icon.
#pragma once

#include <wx/bitmap.h>
#include <wx/icon.h>

namespace lumora {

// Tool button picture of a command at 40 x 40 pixels; disabled: greyed glyph.
wxBitmap ToolBitmap(int command, bool enabled = true);
// Cell tile of a bitmap id (IDB_TILE_COLUMN0..2); invalid for other ids.
wxBitmap TileBitmap(int id);
wxIcon ProgramIcon(int size);

}  // namespace lumora
