#include "platform/term/Screen.h"

#include <algorithm>
#include <array>

#include "platform/term/Text.h"
#include "platform/ui/Avi.h"

namespace term {

namespace {

struct BoxChars {
    char32_t h, v, tl, tr, bl, br, lt, rt;
};
constexpr BoxChars kUnicodeBox{U'─', U'│', U'┌', U'┐', U'└', U'┘', U'├', U'┤'};
constexpr BoxChars kAsciiBox{U'-', U'|', U'+', U'+', U'+', U'+', U'+', U'+'};

constexpr char32_t kUpperHalf = U'\u2580';
constexpr char32_t kLowerHalf = U'\u2584';
constexpr char32_t kFullBlock = U'\u2588';
constexpr char32_t kShade = U'\u2591';

// The standard colours as the VGA palette shows them, in terminal order.
constexpr std::array<std::uint32_t, 16> kPalette = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

int Red(std::uint32_t c) { return static_cast<int>((c >> 16) & 0xFF); }
int Green(std::uint32_t c) { return static_cast<int>((c >> 8) & 0xFF); }
int Blue(std::uint32_t c) { return static_cast<int>(c & 0xFF); }
int Luminance(std::uint32_t c) { return (299 * Red(c) + 587 * Green(c) + 114 * Blue(c)) / 1000; }

bool InList(const std::vector<HWND>& v, HWND h) { return std::find(v.begin(), v.end(), h) != v.end(); }

// The template a dialog was made from; built from its controls when it has
// none (or one that no longer matches them).
const DLGTEMPLATE& TemplateOf(HWND d, DLGTEMPLATE& scratch)
{
    if (d->dlgTemplate && d->dlgTemplate->items.size() == d->children.size()) return *d->dlgTemplate;
    scratch = DLGTEMPLATE{};
    scratch.style = d->style;
    scratch.cx = d->cx;
    scratch.cy = d->cy;
    scratch.caption = d->text;
    for (const auto& c : d->children) {
        DLGITEMTEMPLATE item;
        item.id = c->id;
        item.windowClass = c->windowClass;
        item.text = c->text;
        item.resourceOrdinal = c->resourceOrdinal;
        item.style = c->style;
        item.x = c->x;
        item.y = c->y;
        item.cx = c->cx;
        item.cy = c->cy;
        scratch.items.push_back(item);
    }
    return scratch;
}

CellRect Intersect(const CellRect& a, const CellRect& b)
{
    int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    int x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
    return {x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0)};
}

struct Style {
    std::uint8_t attr = 0;
    std::int8_t fg = kDefaultColour;
    std::int8_t bg = kDefaultColour;
};

// Puts glyphs from (x, y), at most width of them, inside clip.
void PutGlyphs(CCellGrid& grid, const CellRect& clip, int x, int y, const GlyphLine& line, int width, Style s)
{
    for (int i = 0; i < width && i < static_cast<int>(line.size()); ++i) {
        if (!clip.Contains(x + i, y)) continue;
        const Glyph& g = line[static_cast<size_t>(i)];
        grid.Put(x + i, y, g.ch, static_cast<std::uint8_t>(s.attr | (g.mnemonic ? kUnderline : 0)), s.fg, s.bg);
    }
}

void PutText(CCellGrid& grid, const CellRect& clip, int x, int y, std::u32string_view text, Style s)
{
    for (size_t i = 0; i < text.size(); ++i)
        if (clip.Contains(x + static_cast<int>(i), y)) grid.Put(x + static_cast<int>(i), y, text[i], s.attr, s.fg, s.bg);
}

void FillRow(CCellGrid& grid, const CellRect& clip, int x, int y, int w, char32_t ch, Style s)
{
    for (int i = 0; i < w; ++i)
        if (clip.Contains(x + i, y)) grid.Put(x + i, y, ch, s.attr, s.fg, s.bg);
}

void DrawBox(CCellGrid& grid, const CellRect& clip, const CellRect& r, const BoxChars& b, Style s)
{
    if (r.w < 2 || r.h < 2) return;
    int right = r.x + r.w - 1, bottom = r.y + r.h - 1;
    FillRow(grid, clip, r.x + 1, r.y, r.w - 2, b.h, s);
    FillRow(grid, clip, r.x + 1, bottom, r.w - 2, b.h, s);
    for (int y = r.y + 1; y < bottom; ++y) {
        if (clip.Contains(r.x, y)) grid.Put(r.x, y, b.v, s.attr, s.fg, s.bg);
        if (clip.Contains(right, y)) grid.Put(right, y, b.v, s.attr, s.fg, s.bg);
    }
    const std::pair<int, int> corners[] = {{r.x, r.y}, {right, r.y}, {r.x, bottom}, {right, bottom}};
    const char32_t chars[] = {b.tl, b.tr, b.bl, b.br};
    for (int i = 0; i < 4; ++i)
        if (clip.Contains(corners[i].first, corners[i].second)) grid.Put(corners[i].first, corners[i].second, chars[i], s.attr, s.fg, s.bg);
}

}  // namespace

std::int8_t NearestColour(std::uint32_t rgb, int colours)
{
    int n = colours >= 16 ? 16 : 8;
    int best = 0;
    long bestDist = -1;
    for (int i = 0; i < n; ++i) {
        std::uint32_t p = kPalette[static_cast<size_t>(i)];
        long dr = Red(rgb) - Red(p), dg = Green(rgb) - Green(p), db = Blue(rgb) - Blue(p);
        long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (bestDist < 0 || d < bestDist) {
            bestDist = d;
            best = i;
        }
    }
    return static_cast<std::int8_t>(best);
}

ScreenSize MinimumScreenSize()
{
    ScreenSize size;
    for (const auto& [id, tmpl] : AfxGetResourceModule().dialogs) {
        DialogLayout layout = LayoutDialog(tmpl);
        size.width = std::max(size.width, layout.OuterWidth());
        size.height = std::max(size.height, layout.OuterHeight());
    }
    return size;
}

void CScreen::OnChange(const ui::Change& change)
{
    if (change.kind == ui::Change::Destroyed && !InList(m_dying, change.hwnd)) m_dying.push_back(change.hwnd);
    if (change.kind == ui::Change::Created) std::erase(m_dying, change.hwnd);
}

std::optional<HitRegion> CScreen::HitTest(int x, int y) const
{
    for (auto it = m_hits.rbegin(); it != m_hits.rend(); ++it)
        if (it->rect.Contains(x, y)) return *it;
    return std::nullopt;
}

const CScreen::Placed& CScreen::Place(HWND d, const CCellGrid& grid)
{
    if (auto it = m_placed.find(d); it != m_placed.end()) return it->second;
    DLGTEMPLATE scratch;
    Placed p;
    p.layout = LayoutDialog(TemplateOf(d, scratch));
    int w = p.layout.OuterWidth(), h = p.layout.OuterHeight();
    // Mark the dialog as placed at the origin first, so that an owner chain
    // that led back to it could not recurse for ever.
    m_placed[d] = p;
    auto windows = ui::TopLevelWindows();
    HWND owner = d->owner && d->owner != d && InList(windows, d->owner) ? d->owner : nullptr;
    int x = 0, y = 0;
    if (owner) {
        const Placed& op = Place(owner, grid);
        if (d->isMessageBox) {
            // Message boxes stand centred over their owner.
            x = op.outer.x + (op.outer.w - w) / 2;
            y = op.outer.y + (op.outer.h - h) / 2;
        } else {
            // Owned dialogs are placed in their owner's client area.
            x = op.outer.x + 1 + ColumnOf(d->x, op.layout.quarterUnits);
            y = op.outer.y + 1 + RowOf(d->y);
        }
    } else {
        x = ColumnOf(d->x, p.layout.quarterUnits);
        y = RowOf(d->y);
    }
    // Every dialog stays on the screen as far as it fits.
    x = std::clamp(x, 0, std::max(0, grid.Width() - w));
    y = std::clamp(y, 0, std::max(0, grid.Height() - h));
    p.outer = {x, y, w, h};
    return m_placed[d] = p;
}

void CScreen::Render(CCellGrid& grid, const RenderOptions& options)
{
    m_options = options;
    m_placed.clear();
    m_hits.clear();
    grid.Clear();
    auto windows = ui::TopLevelWindows();
    std::erase_if(m_dying, [&](HWND h) { return !InList(windows, h); });

    ScreenSize min = MinimumScreenSize();
    m_tooSmall = grid.Width() < min.width || grid.Height() < min.height;
    if (m_tooSmall) {
        std::string notice = "Terminal too small: need " + std::to_string(min.width) + "x" + std::to_string(min.height);
        for (int i = 0; i < static_cast<int>(notice.size()) && i < grid.Width(); ++i)
            grid.Put(i, 0, static_cast<char32_t>(notice[static_cast<size_t>(i)]));
        return;
    }

    HWND active = ui::ActiveWindow();
    std::vector<HWND> shown;
    for (HWND d : windows)
        if (d->visible && !InList(m_dying, d)) shown.push_back(d);

    m_title.clear();
    for (HWND d : shown) {
        DrawDialog(grid, d, Place(d, grid), d == active);
        if ((d->style & WS_CAPTION) && !d->text.empty())
            m_title = ToUtf8(TextLines(d->text, {false, false, options.unicode}).front());
    }
    for (HWND d : shown)
        if (d->menuOpen && d->sysMenu) DrawMenu(grid, d, Place(d, grid));
}

void CScreen::DrawDialog(CCellGrid& grid, HWND d, const Placed& placed, bool active)
{
    const BoxChars& box = m_options.unicode ? kUnicodeBox : kAsciiBox;
    const bool colour = m_options.colours > 0;
    const CellRect& o = placed.outer;
    const CellRect screen{0, 0, grid.Width(), grid.Height()};
    for (int y = o.y; y < o.y + o.h; ++y) FillRow(grid, screen, o.x, y, o.w, U' ', {});
    DrawBox(grid, screen, o, box, {});
    m_hits.push_back({o, HitKind::Body, d, 0});

    if (d->style & WS_CAPTION) {
        Style bar;
        if (active)
            bar = colour ? Style{kBold, kBrightWhite, kBlue} : Style{kReverse};
        else if (colour)
            bar = Style{0, kBlack, kWhite};
        int left = o.x + 1, right = o.x + o.w - 1;
        FillRow(grid, screen, left, o.y, right - left, colour ? U' ' : box.h, colour ? bar : Style{});
        if ((d->style & WS_SYSMENU) && right - left >= 6) {
            PutText(grid, screen, left, o.y, U"[-]", bar);
            m_hits.push_back({{left, o.y, 3, 1}, HitKind::SysMenuBox, d, 0});
            PutText(grid, screen, right - 3, o.y, U"[x]", bar);
            m_hits.push_back({{right - 3, o.y, 3, 1}, HitKind::CloseBox, d, 0});
            left += 3;
            right -= 3;
        }
        GlyphLine caption = TextLines(d->text, {false, false, m_options.unicode}).front();
        int room = right - left - 2;
        if (room > 0 && !caption.empty()) {
            int len = std::min(room, static_cast<int>(caption.size()));
            int x = left + (right - left - len - 2) / 2;
            caption.insert(caption.begin(), Glyph{U' '});
            caption.resize(static_cast<size_t>(len + 1));
            caption.push_back(Glyph{U' '});
            PutGlyphs(grid, screen, x, o.y, caption, len + 2, bar);
        }
    }

    const CellRect client = Intersect({o.x + 1, o.y + 1, o.w - 2, o.h - 2}, screen);
    DLGTEMPLATE scratch;
    const DLGTEMPLATE& tmpl = TemplateOf(d, scratch);
    const Style dim{kDim, m_options.colours >= 16 ? kGrey : kDefaultColour, kDefaultColour};
    // Pictures first, then lists, then texts and buttons, so that no text is
    // ever hidden under a picture.
    for (int pass = 0; pass < 3; ++pass) {
        for (size_t i = 0; i < d->children.size() && i < placed.layout.items.size(); ++i) {
            HWND c = d->children[i].get();
            if (!c->visible) continue;
            const DLGITEMTEMPLATE& item = tmpl.items[i];
            CellRect r = placed.layout.items[i];
            r.x += o.x + 1;
            r.y += o.y + 1;
            const bool image = IsImageItem(item);
            const bool list = c->windowClass == WC_LISTBOX;
            if (pass != (image ? 0 : list ? 1 : 2)) continue;
            const Style base = c->enabled ? Style{} : dim;

            if (image) {
                if (c->windowClass == ANIMATE_CLASS) {
                    if (c->clip) DrawImage(grid, Intersect(r, client), c->clip->Frame(c->frame), m_options);
                } else if (const CImage* icon = Icon(c->resourceOrdinal)) {
                    DrawImage(grid, Intersect(r, client), *icon, m_options);
                }
            } else if (list) {
                const bool border = (c->style & WS_BORDER) != 0;
                const bool focused = active && d->focus == c;
                Style frame = base;
                if (focused) frame.attr |= kBold;
                if (border) DrawBox(grid, client, r, box, frame);
                CellRect inner = border ? CellRect{r.x + 1, r.y + 1, r.w - 2, r.h - 2} : r;
                const int count = static_cast<int>(c->lines.size());
                const int page = std::max(0, inner.h);
                const bool scroll = (c->style & WS_VSCROLL) && count > page && page > 0;
                const int textW = std::max(0, inner.w - (scroll && !border ? 1 : 0));
                const int top = std::clamp(c->topIndex, 0, std::max(0, count - 1));
                const size_t firstOnTop = m_hits.size();
                for (int row = 0; row < page && top + row < count; ++row) {
                    int index = top + row;
                    Style s = base;
                    if (index == c->curSel) s.attr |= kReverse;
                    if (index == c->curSel) FillRow(grid, client, inner.x, inner.y + row, textW, U' ', s);
                    GlyphLine line = TextLines(c->lines[static_cast<size_t>(index)], {false, false, m_options.unicode}).front();
                    PutGlyphs(grid, client, inner.x, inner.y + row, line, textW, s);
                    m_hits.push_back({Intersect({inner.x, inner.y + row, textW, 1}, client), HitKind::ListLine, c, index});
                }
                if (scroll) {
                    // A scroll indicator in the right-hand column: arrows at
                    // the ends and a thumb showing where the page lies.
                    const int sx = border ? r.x + r.w - 1 : inner.x + inner.w - 1;
                    auto put = [&](int row, char32_t ch) {
                        if (client.Contains(sx, inner.y + row)) grid.Put(sx, inner.y + row, ch, frame.attr, frame.fg, frame.bg);
                    };
                    const bool uni = m_options.unicode;
                    if (page == 1) {
                        put(0, uni ? kFullBlock : U'#');
                    } else {
                        put(0, uni ? U'▲' : U'^');
                        put(page - 1, uni ? U'▼' : U'v');
                        m_hits.push_back({Intersect({sx, inner.y, 1, 1}, client), HitKind::ListScroll, c, -1});
                        m_hits.push_back({Intersect({sx, inner.y + page - 1, 1, 1}, client), HitKind::ListScroll, c, 1});
                        const int track = page - 2;
                        if (track > 0) {
                            const int thumb = std::max(1, track * page / count);
                            const int maxTop = count - page;
                            const int pos = maxTop > 0 ? (track - thumb) * std::min(top, maxTop) / maxTop : 0;
                            for (int k = 0; k < track; ++k)
                                put(1 + k, k >= pos && k < pos + thumb ? (uni ? kFullBlock : U'#') : (uni ? kShade : U'|'));
                        }
                    }
                }
                m_hits.push_back({Intersect(r, client), HitKind::Control, c, 0});
                // The lines and the arrows are on top of the list's own region.
                std::rotate(m_hits.begin() + static_cast<std::ptrdiff_t>(firstOnTop), m_hits.end() - 1, m_hits.end());
            } else if (c->IsPushButton()) {
                HWND def = ui::DefaultButton(d);
                Style s = base;
                if (c == def) s.attr |= kBold;
                if (active && d->focus == c) s.attr |= kReverse;
                const int row = r.y + (r.h - 1) / 2;
                FillRow(grid, client, r.x, row, r.w, U' ', s);
                const bool isDefault = c == def;
                if (r.w >= 2) {
                    if (client.Contains(r.x, row)) grid.Put(r.x, row, isDefault ? U'<' : U'[', s.attr, s.fg, s.bg);
                    if (client.Contains(r.x + r.w - 1, row)) grid.Put(r.x + r.w - 1, row, isDefault ? U'>' : U']', s.attr, s.fg, s.bg);
                }
                GlyphLine label = TextLines(c->text, {true, false, m_options.unicode}).front();
                const int room = std::max(0, r.w - 2);
                const int len = std::min(room, static_cast<int>(label.size()));
                PutGlyphs(grid, client, r.x + 1 + (room - len) / 2, row, label, len, s);
                m_hits.push_back({Intersect(r, client), HitKind::Control, c, 0});
            } else if (c->windowClass == WC_STATIC) {
                const DWORD type = c->StaticType();
                const bool prefix = !(c->style & SS_NOPREFIX);
                const bool single = r.h == 1 || (c->style & SS_CENTERIMAGE);
                std::vector<GlyphLine> lines = single
                    ? TextLines(c->text, {prefix, false, m_options.unicode})
                    : WrapLines(TextLines(c->text, {prefix, true, m_options.unicode}), r.w);
                const int y0 = single ? r.y + (r.h - 1) / 2 : r.y;
                for (int k = 0; k < static_cast<int>(lines.size()) && (single ? k < 1 : k < r.h); ++k) {
                    const GlyphLine& line = lines[static_cast<size_t>(k)];
                    const int len = std::min(r.w, static_cast<int>(line.size()));
                    int x = r.x;
                    if (type == SS_CENTER) x += (r.w - len) / 2;
                    if (type == SS_RIGHT) x += r.w - len;
                    PutGlyphs(grid, Intersect(r, client), x, y0 + k, line, len, base);
                }
            } else {
                m_hits.push_back({Intersect(r, client), HitKind::Control, c, 0});
            }
        }
    }
}

void CScreen::DrawMenu(CCellGrid& grid, HWND d, const Placed& placed)
{
    const BoxChars& box = m_options.unicode ? kUnicodeBox : kAsciiBox;
    const auto& items = d->sysMenu->items;
    std::vector<GlyphLine> labels;
    int widest = 0;
    for (const auto& item : items) {
        labels.push_back(TextLines(item.text, {true, false, m_options.unicode}).front());
        widest = std::max(widest, static_cast<int>(labels.back().size()));
    }
    const int w = widest + 4, h = static_cast<int>(items.size()) + 2;
    const int x = std::clamp(placed.outer.x + 1, 0, std::max(0, grid.Width() - w));
    const int y = std::clamp(placed.outer.y + 1, 0, std::max(0, grid.Height() - h));
    const CellRect screen{0, 0, grid.Width(), grid.Height()};
    const CellRect r{x, y, w, h};
    for (int row = y; row < y + h; ++row) FillRow(grid, screen, x, row, w, U' ', {});
    DrawBox(grid, screen, r, box, {});
    m_hits.push_back({r, HitKind::MenuBody, d, 0});
    for (size_t i = 0; i < items.size(); ++i) {
        const int row = y + 1 + static_cast<int>(i);
        if (items[i].flags & MF_SEPARATOR) {
            FillRow(grid, screen, x + 1, row, w - 2, box.h, {});
            grid.Put(x, row, box.lt);
            grid.Put(x + w - 1, row, box.rt);
            continue;
        }
        Style s;
        if (static_cast<int>(i) == d->menuSel) s.attr = kReverse;
        FillRow(grid, screen, x + 1, row, w - 2, U' ', s);
        PutGlyphs(grid, screen, x + 2, row, labels[i], widest, s);
        m_hits.push_back({{x + 1, row, w - 2, 1}, HitKind::MenuItem, d, static_cast<int>(i)});
    }
}

const CImage* CScreen::Icon(int resourceId)
{
    auto it = m_icons.find(resourceId);
    if (it == m_icons.end()) it = m_icons.emplace(resourceId, LoadIconImage(resourceId, 32)).first;
    return it->second ? &*it->second : nullptr;
}

void DrawImage(CCellGrid& grid, const CellRect& rect, const CImage& image, const RenderOptions& options)
{
    if (rect.Empty() || image.width <= 0 || image.height <= 0 ||
        image.pixels.size() < static_cast<size_t>(image.width) * static_cast<size_t>(image.height))
        return;
    // Two square pixels to a cell, one above the other; the picture keeps its
    // shape and stands centred in the rectangle.
    const int sw = rect.w, sh = rect.h * 2;
    int dw, dh;
    if (static_cast<long>(image.width) * sh <= static_cast<long>(image.height) * sw) {
        dh = sh;
        dw = std::max(1, static_cast<int>((static_cast<long>(image.width) * sh + image.height / 2) / image.height));
    } else {
        dw = sw;
        dh = std::max(1, static_cast<int>((static_cast<long>(image.height) * sw + image.width / 2) / image.width));
    }
    const int ox = (sw - dw) / 2, oy = (sh - dh) / 2;

    // Each target pixel is the average of the source pixels it covers, or
    // transparent where most of them are.
    std::vector<std::uint32_t> raster(static_cast<size_t>(sw) * static_cast<size_t>(sh), CImage::kTransparent);
    long lumSum = 0, opaqueCount = 0;
    for (int ty = 0; ty < dh; ++ty) {
        const int y0 = ty * image.height / dh, y1 = std::max(y0 + 1, (ty + 1) * image.height / dh);
        for (int tx = 0; tx < dw; ++tx) {
            const int x0 = tx * image.width / dw, x1 = std::max(x0 + 1, (tx + 1) * image.width / dw);
            long r = 0, g = 0, b = 0, opaque = 0, total = 0;
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx) {
                    std::uint32_t p = image.pixels[static_cast<size_t>(sy) * static_cast<size_t>(image.width) + static_cast<size_t>(sx)];
                    ++total;
                    if (p == CImage::kTransparent) continue;
                    ++opaque;
                    r += Red(p);
                    g += Green(p);
                    b += Blue(p);
                }
            if (opaque * 2 < total) continue;
            std::uint32_t avg = static_cast<std::uint32_t>(r / opaque) << 16 | static_cast<std::uint32_t>(g / opaque) << 8 |
                                static_cast<std::uint32_t>(b / opaque);
            raster[static_cast<size_t>(oy + ty) * static_cast<size_t>(sw) + static_cast<size_t>(ox + tx)] = avg;
            lumSum += Luminance(avg);
            ++opaqueCount;
        }
    }
    // Without colours, pixels brighter than the picture's average are ink.
    const long mean = opaqueCount ? lumSum / opaqueCount : 0;
    bool anyBright = false;
    for (std::uint32_t p : raster)
        if (p != CImage::kTransparent && Luminance(p) > mean) anyBright = true;
    auto ink = [&](std::uint32_t p) { return p != CImage::kTransparent && (!anyBright || Luminance(p) > mean); };

    const bool colour = options.colours > 0;
    for (int row = 0; row < rect.h; ++row) {
        for (int col = 0; col < rect.w; ++col) {
            const std::uint32_t top = raster[static_cast<size_t>(2 * row) * static_cast<size_t>(sw) + static_cast<size_t>(col)];
            const std::uint32_t bottom = raster[static_cast<size_t>(2 * row + 1) * static_cast<size_t>(sw) + static_cast<size_t>(col)];
            const bool topClear = top == CImage::kTransparent, bottomClear = bottom == CImage::kTransparent;
            Cell cell;
            if (colour && options.unicode) {
                if (topClear && bottomClear) continue;
                if (bottomClear) {
                    cell = {kUpperHalf, 0, NearestColour(top, options.colours), kDefaultColour};
                } else if (topClear) {
                    cell = {kLowerHalf, 0, NearestColour(bottom, options.colours), kDefaultColour};
                } else {
                    std::int8_t t = NearestColour(top, options.colours), b = NearestColour(bottom, options.colours);
                    cell = t == b ? Cell{kFullBlock, 0, t, kDefaultColour} : Cell{kUpperHalf, 0, t, b};
                }
            } else if (colour) {
                if (topClear && bottomClear) continue;
                std::uint32_t p = topClear ? bottom : top;
                if (!topClear && !bottomClear)
                    p = static_cast<std::uint32_t>((Red(top) + Red(bottom)) / 2) << 16 |
                        static_cast<std::uint32_t>((Green(top) + Green(bottom)) / 2) << 8 |
                        static_cast<std::uint32_t>((Blue(top) + Blue(bottom)) / 2);
                std::int8_t c = NearestColour(p, options.colours);
                cell = {U'#', 0, c, c};
            } else {
                const bool t = ink(top), b = ink(bottom);
                if (!t && !b) continue;
                if (options.unicode)
                    cell.ch = t && b ? kFullBlock : t ? kUpperHalf : kLowerHalf;
                else
                    cell.ch = t && b ? U'#' : t ? U'"' : U'.';
            }
            grid.Put(rect.x + col, rect.y + row, cell);
        }
    }
}

}  // namespace term
