#include "platform/term/Layout.h"

#include <algorithm>

#include "platform/term/Text.h"

namespace term {

namespace {

constexpr int kWidestQuarterUnits = 16;   // 4 dialog units per column
constexpr int kNarrowestQuarterUnits = 8;  // 2 dialog units per column

int FloorDiv(int a, int b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }
int CeilDiv(int a, int b) { return -FloorDiv(-a, b); }

bool IsTextStatic(const DLGITEMTEMPLATE& item)
{
    return item.windowClass == WC_STATIC && (item.style & SS_TYPEMASK) != SS_ICON;
}

bool Visible(const DLGITEMTEMPLATE& item) { return (item.style & WS_VISIBLE) != 0; }

int VisibleLength(const std::string& text, bool prefix)
{
    auto lines = TextLines(text, {prefix, false, true});
    return static_cast<int>(lines.front().size());
}

}  // namespace

int ColumnOf(int du, int quarterUnits) { return FloorDiv(8 * du + quarterUnits, 2 * quarterUnits); }
int RowOf(int du) { return FloorDiv(du + 4, 8); }

int ListLines(const DLGITEMTEMPLATE& item)
{
    int rows = (item.cy + 4) / 8;
    if (item.style & WS_BORDER) rows -= 2;
    return std::max(1, rows);
}

bool IsImageItem(const DLGITEMTEMPLATE& item)
{
    return item.windowClass == ANIMATE_CLASS || (item.windowClass == WC_STATIC && (item.style & SS_TYPEMASK) == SS_ICON);
}

DialogLayout LayoutDialogAt(const DLGTEMPLATE& tmpl, int q)
{
    DialogLayout layout;
    layout.quarterUnits = q;
    layout.cols = std::max(1, ColumnOf(tmpl.cx, q));
    layout.rows = std::max(1, RowOf(tmpl.cy));
    for (const auto& item : tmpl.items) {
        CellRect r;
        if (IsImageItem(item)) {
            // Pictures take every cell their rectangle touches.
            r.x = FloorDiv(4 * item.x, q);
            r.y = FloorDiv(item.y, 8);
            r.w = CeilDiv(4 * (item.x + item.cx), q) - r.x;
            r.h = CeilDiv(item.y + item.cy, 8) - r.y;
        } else {
            r.x = ColumnOf(item.x, q);
            r.y = RowOf(item.y);
            r.w = std::max(1, ColumnOf(item.x + item.cx, q) - r.x);
            r.h = std::max(1, RowOf(item.y + item.cy) - r.y);
            if (item.windowClass == WC_LISTBOX) r.h = ListLines(item) + ((item.style & WS_BORDER) ? 2 : 0);
        }
        layout.items.push_back(r);
    }
    // A picture gives way to the texts it would run into: it loses the rows
    // that a visible text control occupies within its columns.
    for (size_t i = 0; i < tmpl.items.size(); ++i) {
        if (!IsImageItem(tmpl.items[i])) continue;
        CellRect& img = layout.items[i];
        for (size_t j = 0; j < tmpl.items.size(); ++j) {
            if (IsImageItem(tmpl.items[j]) || !Visible(tmpl.items[j])) continue;
            const CellRect& t = layout.items[j];
            if (img.Empty() || !img.Intersects(t)) continue;
            int mid = img.y + img.h / 2;
            if (t.y >= mid) {
                img.h = t.y - img.y;  // the text is in the lower half: cut the bottom
            } else {
                int bottom = img.y + img.h;
                img.y = t.y + t.h;  // else cut the top
                img.h = bottom - img.y;
            }
        }
        img.h = std::max(0, img.h);
    }
    return layout;
}

bool TextsFit(const DLGTEMPLATE& tmpl, const DialogLayout& layout)
{
    if (tmpl.style & WS_CAPTION) {
        int boxes = (tmpl.style & WS_SYSMENU) ? 8 : 2;
        if (VisibleLength(tmpl.caption, false) + boxes > layout.cols) return false;
    }
    for (size_t i = 0; i < tmpl.items.size(); ++i) {
        const auto& item = tmpl.items[i];
        const CellRect& r = layout.items[i];
        if (!Visible(item)) continue;
        bool prefix = !(item.style & SS_NOPREFIX);
        if (item.windowClass == WC_BUTTON) {
            if (VisibleLength(item.text, true) + 2 > r.w) return false;
        } else if (IsTextStatic(item)) {
            if (r.h == 1 || (item.style & SS_CENTERIMAGE)) {
                if (VisibleLength(item.text, prefix) > r.w) return false;
            } else {
                auto lines = WrapLines(TextLines(item.text, {prefix, true, true}), r.w);
                if (static_cast<int>(lines.size()) > r.h) return false;
            }
        }
        bool insideInTemplate = item.x + item.cx <= tmpl.cx;
        if (insideInTemplate && r.x + r.w > layout.cols) return false;
    }
    // Controls that stand apart in the template stay apart on the grid.
    for (size_t i = 0; i < tmpl.items.size(); ++i) {
        for (size_t j = i + 1; j < tmpl.items.size(); ++j) {
            const auto& a = tmpl.items[i];
            const auto& b = tmpl.items[j];
            if (!Visible(a) || !Visible(b) || IsImageItem(a) || IsImageItem(b)) continue;
            bool apartInTemplate = a.x + a.cx <= b.x || b.x + b.cx <= a.x || a.y + a.cy <= b.y || b.y + b.cy <= a.y;
            if (apartInTemplate && layout.items[i].Intersects(layout.items[j])) return false;
        }
    }
    return true;
}

DialogLayout LayoutDialog(const DLGTEMPLATE& tmpl)
{
    for (int q = kWidestQuarterUnits; q >= kNarrowestQuarterUnits; --q) {
        DialogLayout layout = LayoutDialogAt(tmpl, q);
        if (TextsFit(tmpl, layout)) return layout;
    }
    return LayoutDialogAt(tmpl, kNarrowestQuarterUnits);
}

}  // namespace term
