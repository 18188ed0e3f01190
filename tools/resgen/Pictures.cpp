#include "tools/resgen/Pictures.h"

#include <initializer_list>
#include <string_view>

namespace resgen {

namespace {

// VGA colour indices.
enum : std::uint8_t {
    kBlack = 0, kMaroon = 1, kGreen = 2, kOlive = 3, kNavy = 4, kPurple = 5, kTeal = 6, kSilver = 7,
    kGray = 8, kRed = 9, kLime = 10, kYellow = 11, kBlue = 12, kFuchsia = 13, kAqua = 14, kWhite = 15,
};

// Further colours of the clip.
enum : std::uint8_t { kBeige = 16, kBeigeShade = 17, kBeigeLight = 18, kPaper = 19 };

void FillRect(IndexImage& img, int x0, int y0, int x1, int y1, std::uint8_t c)  // inclusive corners
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) img.Set(x, y, c);
}

// A sprite in text form: one character per pixel, '.' leaves the picture as
// it is; the other characters name colours.
void Blit(IndexImage& img, int x0, int y0, std::initializer_list<std::string_view> rows,
          std::uint8_t (*colour)(char))
{
    int y = y0;
    for (std::string_view row : rows) {
        for (int x = 0; x < static_cast<int>(row.size()); ++x) {
            if (row[static_cast<size_t>(x)] != '.') img.Set(x0 + x, y, colour(row[static_cast<size_t>(x)]));
        }
        ++y;
    }
}

std::uint8_t ClipColour(char c)
{
    switch (c) {
    case 'K': return kBlack;
    case 'd': return kGray;
    case 's': return kSilver;
    case 'W': return kWhite;
    case 'b': return kBeige;
    case 'h': return kBeigeShade;
    case 'l': return kBeigeLight;
    case 'p': return kPaper;
    case 'n': return kNavy;
    case 'R': return kRed;
    case 'r': return kMaroon;
    default: return kFuchsia;  // stands out in a picture with a typo
    }
}

// One of the two desk modems, 16 x 10 pixels, with its three lights:
// ready (always on), carrier and data.
void DrawModem(IndexImage& img, int x0, int y0, bool carrier, bool data)
{
    Blit(img, x0, y0,
         {
             "..KKKKKKKKKKKK..",
             ".KllllllllllllK.",
             "KllllllllllllhhK",
             "KKKKKKKKKKKKKKKK",
             "KbbbbbbbbbbbbbbK",
             "KbbbbbbbbbhbhbhK",
             "KbbbbbbbbbbbbbbK",
             "KhhhhhhhhhhhhhhK",
             "KKKKKKKKKKKKKKKK",
             ".KK..........KK.",
         },
         ClipColour);
    img.Set(x0 + 2, y0 + 5, kLime);                     // ready
    img.Set(x0 + 4, y0 + 5, carrier ? kYellow : kOlive);  // carrier
    img.Set(x0 + 6, y0 + 5, data ? kRed : kMaroon);       // data
}

void DrawLetter(IndexImage& img, int x0, int y0)
{
    Blit(img, x0, y0,
         {
             "KKKKKKKKKKK",
             "KKpppppppKK",
             "KpKpppppKpK",
             "KppKpppKppK",
             "KpppKpKpppK",
             "KppppKppppK",
             "KKKKKKKKKKK",
         },
         ClipColour);
}

}  // namespace

std::vector<std::uint32_t> IconPalette()
{
    return {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
            0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
}

IndexImage DrawIcon(int size)
{
    IndexImage img(size, size, kClear);
    if (size >= 32) {
        // Phone line leaving the back of the modem and its plug.
        FillRect(img, 28, 3, 28, 13, kGray);
        FillRect(img, 27, 1, 29, 3, kBlack);
        FillRect(img, 28, 2, 28, 2, kWhite);
        // Top face, a trapezoid that widens towards the viewer.
        for (int r = 0; r <= 4; ++r) {
            int y = 10 + r;
            int x0 = 7 - r, x1 = 24 + r;
            FillRect(img, x0, y, x1, y, r == 4 ? kGray : kWhite);
            img.Set(x0, y, kBlack);
            img.Set(x1, y, kBlack);
        }
        FillRect(img, 7, 9, 24, 9, kBlack);
        // Front panel.
        FillRect(img, 2, 15, 29, 24, kBlack);
        FillRect(img, 3, 15, 28, 23, kSilver);
        FillRect(img, 3, 15, 28, 15, kWhite);
        // Lights: ready, carrier, data, with a dark rim below.
        const std::uint8_t lights[] = {kLime, kYellow, kRed};
        for (int i = 0; i < 3; ++i) {
            int x = 6 + 4 * i;
            FillRect(img, x, 18, x + 1, 19, lights[i]);
            FillRect(img, x, 20, x + 1, 20, kGray);
        }
        // Speaker grille.
        for (int x = 19; x <= 26; x += 2) FillRect(img, x, 17, x, 21, kGray);
        FillRect(img, 3, 23, 28, 23, kGray);
        // Feet.
        FillRect(img, 4, 25, 7, 26, kBlack);
        FillRect(img, 24, 25, 27, 26, kBlack);
    } else {
        FillRect(img, 13, 1, 13, 5, kGray);
        img.Set(13, 0, kBlack);
        for (int r = 0; r <= 2; ++r) {
            int y = 4 + r;
            int x0 = 3 - r, x1 = 12 + r;
            FillRect(img, x0, y, x1, y, r == 2 ? kGray : kWhite);
            img.Set(x0, y, kBlack);
            img.Set(x1, y, kBlack);
        }
        FillRect(img, 3, 3, 12, 3, kBlack);
        FillRect(img, 0, 7, 15, 12, kBlack);
        FillRect(img, 1, 7, 14, 11, kSilver);
        img.Set(3, 9, kLime);
        img.Set(5, 9, kYellow);
        img.Set(7, 9, kRed);
        for (int x = 10; x <= 13; x += 2) FillRect(img, x, 8, x, 10, kGray);
        FillRect(img, 2, 13, 3, 13, kBlack);
        FillRect(img, 12, 13, 13, 13, kBlack);
    }
    return img;
}

std::vector<std::uint32_t> ClipPalette()
{
    std::vector<std::uint32_t> pal = IconPalette();
    pal.push_back(0xE0D0A8);  // kBeige
    pal.push_back(0xA89870);  // kBeigeShade
    pal.push_back(0xF4ECD4);  // kBeigeLight
    pal.push_back(0xFFF8E0);  // kPaper
    // The rest: a 6 x 6 x 6 colour cube, then a grey ramp.
    const std::uint32_t steps[] = {0x00, 0x33, 0x66, 0x99, 0xCC, 0xFF};
    for (std::uint32_t r : steps)
        for (std::uint32_t g : steps)
            for (std::uint32_t b : steps) pal.push_back(r << 16 | g << 8 | b);
    for (std::uint32_t i = 0; pal.size() < 256; ++i) {
        std::uint32_t v = 0x08 + i * 0x0C;
        pal.push_back(v << 16 | v << 8 | v);
    }
    return pal;
}

IndexImage DrawClipFrame(int frame, int frameCount)
{
    IndexImage img(kClipWidth, kClipHeight, kSilver);
    // The travel takes the first frameCount - 4 frames; then the receiver
    // shows the arrival for the last four.
    const int travel = frameCount - 4;
    const bool travelling = frame < travel;
    const bool arrived = !travelling;

    // The phone line between the two modems, with dashes that move along it
    // in the letter's direction.
    for (int x = 16; x < 48; ++x) img.Set(x, 27, ((x - frame) & 3) == 0 ? kSilver : kNavy);
    DrawModem(img, 0, 20, true, travelling && (frame & 2) == 0);
    DrawModem(img, 48, 20, true, arrived && (frame & 1) == 0);

    if (travelling) {
        // The letter hops from the sender to the receiver.
        const int fromX = 3, toX = 50;
        int x = fromX + (toX - fromX) * frame / (travel - 1);
        int t = frame * 2 - (travel - 1);  // -(travel-1) .. travel-1
        int lift = 11 - 11 * t * t / ((travel - 1) * (travel - 1));
        DrawLetter(img, x, 12 - lift);
    }
    return img;
}

}  // namespace resgen
