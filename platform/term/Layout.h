// Where a dialog and its controls fall on the character grid.
//
// A row is eight dialog units down. Across, a column is four dialog units at
// most; because a monospace cell is wider than the dialog font's average
// letter, a template whose texts would not fit at four units per column gets
// fewer units per column: the first of 4, 3.75, 3.5, ... 2 units per column
// at which every text of the template fits its rectangle (and the caption
// fits its bar) and no two controls that stand apart in the template touch.
// The scale is found once per template, so a dialog keeps its size while its
// texts change.
#pragma once

#include <vector>

#include "platform/ui/Resource.h"

namespace term {

struct CellRect {
    int x = 0, y = 0, w = 0, h = 0;

    bool Contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
    bool Intersects(const CellRect& o) const { return x < o.x + o.w && o.x < x + w && y < o.y + o.h && o.y < y + h; }
    bool Empty() const { return w <= 0 || h <= 0; }
};

struct DialogLayout {
    int quarterUnits = 16;          // dialog units per column, times four
    int cols = 0, rows = 0;         // the client area in cells
    std::vector<CellRect> items;    // one per template item, relative to the client area
    int OuterWidth() const { return cols + 2; }   // with the frame
    int OuterHeight() const { return rows + 2; }
};

// Column and row of a position in dialog units, rounded to the nearest cell.
int ColumnOf(int du, int quarterUnits);
int RowOf(int du);

// Lines a list box shows at once, from its height (as the window layer counts
// them, so that scrolling and drawing agree).
int ListLines(const DLGITEMTEMPLATE& item);

// Whether an item shows an image (an icon static or an animation).
bool IsImageItem(const DLGITEMTEMPLATE& item);

// The layout of a template at a given scale, and at the scale chosen for it.
DialogLayout LayoutDialogAt(const DLGTEMPLATE& tmpl, int quarterUnits);
DialogLayout LayoutDialog(const DLGTEMPLATE& tmpl);

// Whether every text of the template fits at this layout (used to choose).
bool TextsFit(const DLGTEMPLATE& tmpl, const DialogLayout& layout);

}  // namespace term
