// Draws the window layer's dialogs into a cell grid: frames with caption
// bars, buttons, static texts, list boxes, icons and animation frames, and
// an open system menu; and remembers where each clickable part landed, so
// that mouse input can be turned into the window layer's input calls.
// Everything here reads window state: call it with ui::UiLock() held.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/term/CellGrid.h"
#include "platform/term/Layout.h"
#include "platform/ui/Window.h"

namespace term {

struct RenderOptions {
    bool unicode = true;  // UTF-8 terminal: box lines and half blocks; else ASCII
    int colours = 16;     // 0 (monochrome), 8 or 16
};

enum class HitKind {
    Control,     // a button or other control: PostClick
    ListLine,    // value: the absolute line index: PostListClick
    ListScroll,  // a list's scroll arrow; value: -1 up, +1 down: PostListScroll
    SysMenuBox,  // PostSysMenuBoxClick
    CloseBox,    // PostCloseBoxClick
    MenuItem,    // value: the item index: PostMenuChoice
    MenuBody,    // inside an open menu, on no item
    Body,        // a dialog's frame or background: nothing happens
};

struct HitRegion {
    CellRect rect;
    HitKind kind = HitKind::Control;
    HWND hwnd = nullptr;  // the control, or the dialog for boxes and menus
    int value = 0;
};

struct ScreenSize {
    int width = 0, height = 0;
};

// The smallest screen on which every registered dialog template fits whole.
ScreenSize MinimumScreenSize();

// The nearest of the first `colours` standard colours (8 or 16) to 0xRRGGBB.
std::int8_t NearestColour(std::uint32_t rgb, int colours);

// Draws a picture into rect, scaled to fit with its shape kept and centred:
// two pixels to a cell with half blocks in the pixels' colours; without
// colours, the pixels brighter than the picture's average as ink; in ASCII,
// '#' cells (coloured) or '#', '"' and '.' for both, upper and lower ink.
// Transparent pixels leave the cells as they are.
void DrawImage(CCellGrid& grid, const CellRect& rect, const CImage& image, const RenderOptions& options);

class CScreen {
public:
    // Draws every visible dialog, bottom to top, into grid (which keeps its
    // size), or a one-line notice when the grid is smaller than
    // MinimumScreenSize().
    void Render(CCellGrid& grid, const RenderOptions& options);

    // The topmost clickable part at a cell, from the last Render.
    std::optional<HitRegion> HitTest(int x, int y) const;
    const std::vector<HitRegion>& Hits() const { return m_hits; }

    // The caption of the topmost visible dialog that has one (sanitised),
    // from the last Render.
    const std::string& Title() const { return m_title; }
    bool TooSmall() const { return m_tooSmall; }

    // Follows dialogs being created and destroyed: a dialog is announced as
    // Destroyed just before it goes, and must not be drawn from then on.
    void OnChange(const ui::Change& change);

private:
    struct Placed {
        CellRect outer;
        DialogLayout layout;
    };
    const Placed& Place(HWND dialog, const CCellGrid& grid);
    void DrawDialog(CCellGrid& grid, HWND dialog, const Placed& placed, bool active);
    void DrawMenu(CCellGrid& grid, HWND dialog, const Placed& placed);
    const CImage* Icon(int resourceId);

    RenderOptions m_options;
    std::map<HWND, Placed> m_placed;
    std::vector<HWND> m_dying;
    std::vector<HitRegion> m_hits;
    std::map<int, std::optional<CImage>> m_icons;
    std::string m_title;
    bool m_tooSmall = false;
};

}  // namespace term
