// Icon 128 as the build drew it, and the .ico decoder on good and bad files.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/ui/Resource.h"
#include "res/Resources.h"
#include "res/resource.h"
#include "tools/resgen/Pictures.h"
#include "tools/resgen/Writers.h"

namespace {

using Bytes = std::vector<unsigned char>;

std::uint32_t U32(const Bytes& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
void SetU32(Bytes& b, size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

class IconTest : public ::testing::Test {
protected:
    static constexpr int kTestId = 4242;
    void SetUp() override { RegisterResources(); }
    void TearDown() override { AfxGetResourceModule().icons.erase(kTestId); }
    const Bytes& Mainframe() { return AfxGetResourceModule().icons.at(IDR_MAINFRAME); }
    std::optional<CImage> Decode(const Bytes& ico, int size)
    {
        AfxGetResourceModule().icons[kTestId] = ico;
        return LoadIconImage(kTestId, size);
    }
};

TEST_F(IconTest, MainframeHasA32And16PixelImageOf16Colours)
{
    const Bytes& ico = Mainframe();
    ASSERT_EQ(ico.size(), 6u + 2 * 16 + 744 + 296);
    EXPECT_EQ(ico[2] | ico[3] << 8, 1);  // type: icon
    EXPECT_EQ(ico[4] | ico[5] << 8, 2);  // two images
    const struct {
        int side;
        std::uint32_t bytes;
    } images[] = {{32, 744}, {16, 296}};
    for (size_t i = 0; i < 2; ++i) {
        const size_t e = 6 + 16 * i;
        EXPECT_EQ(ico[e], images[i].side);
        EXPECT_EQ(ico[e + 1], images[i].side);
        EXPECT_EQ(ico[e + 2], 16);                  // colours
        EXPECT_EQ(ico[e + 4] | ico[e + 5] << 8, 1);  // planes
        EXPECT_EQ(ico[e + 6] | ico[e + 7] << 8, 4);  // bits per pixel
        EXPECT_EQ(U32(ico, e + 8), images[i].bytes);
        const size_t dib = U32(ico, e + 12);
        EXPECT_EQ(U32(ico, dib), 40u);                                        // BITMAPINFOHEADER
        EXPECT_EQ(U32(ico, dib + 8), static_cast<std::uint32_t>(2 * images[i].side));  // colour and mask rows
    }
}

TEST_F(IconTest, PicksTheClosestImage)
{
    const struct {
        int asked, got;
    } cases[] = {{32, 32}, {16, 16}, {20, 16}, {48, 32}, {1, 16}, {24, 32} /* a tie goes to the larger */};
    for (const auto& c : cases) {
        auto img = LoadIconImage(IDR_MAINFRAME, c.asked);
        ASSERT_TRUE(img) << c.asked;
        EXPECT_EQ(img->width, c.got) << c.asked;
        EXPECT_EQ(img->height, c.got) << c.asked;
        EXPECT_EQ(img->pixels.size(), static_cast<size_t>(c.got * c.got));
    }
    EXPECT_FALSE(LoadIconImage(12345, 32));
}

TEST_F(IconTest, MainframeImagesMatchTheDrawingWithTransparentBackground)
{
    const std::vector<std::uint32_t> palette = resgen::IconPalette();
    for (int side : {32, 16}) {
        const resgen::IndexImage drawn = resgen::DrawIcon(side);
        auto img = LoadIconImage(IDR_MAINFRAME, side);
        ASSERT_TRUE(img);
        int clear = 0;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const std::uint8_t c = drawn.At(x, y);
                const std::uint32_t want = c == resgen::kClear ? CImage::kTransparent : palette.at(c);
                ASSERT_EQ(img->pixels[y * side + x], want) << side << ": " << x << "," << y;
                clear += c == resgen::kClear;
            }
        EXPECT_GT(clear, 0);
        EXPECT_LT(clear, side * side);
    }
}

// A 3 x 2 picture: odd width (a half-filled byte, padded rows), one clear
// pixel at the top right. Checks the stored row order and bit order.
TEST_F(IconTest, FourBitRowsAreStoredBottomUpWithTheMaskAfter)
{
    resgen::IndexImage img(3, 2);
    const std::uint8_t pixels[] = {1, 2, resgen::kClear, 3, 4, 15};
    img.pixels.assign(std::begin(pixels), std::end(pixels));
    const std::vector<std::uint32_t> palette = resgen::IconPalette();
    const Bytes ico = resgen::BuildIco({img}, palette);
    const size_t rows = 6 + 16 + 40 + 64;
    ASSERT_EQ(ico.size(), rows + 2 * 4 + 2 * 4);
    EXPECT_EQ((Bytes(ico.begin() + rows, ico.begin() + rows + 8)), (Bytes{0x34, 0xF0, 0, 0, 0x12, 0x00, 0, 0}));
    EXPECT_EQ((Bytes(ico.begin() + rows + 8, ico.end())), (Bytes{0x00, 0, 0, 0, 0x20, 0, 0, 0}));

    auto decoded = Decode(ico, 3);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, 3);
    EXPECT_EQ(decoded->height, 2);
    EXPECT_EQ(decoded->pixels, (std::vector<std::uint32_t>{palette[1], palette[2], CImage::kTransparent,
                                                           palette[3], palette[4], palette[15]}));
}

TEST_F(IconTest, EveryTruncationIsRejectedUntilTheChosenImageIsWhole)
{
    const Bytes ico = Mainframe();
    const size_t end32 = U32(ico, 6 + 12) + 744;
    const size_t end16 = U32(ico, 22 + 12) + 296;
    for (size_t n = 0; n < ico.size(); ++n) {
        const Bytes cut(ico.begin(), ico.begin() + n);
        EXPECT_EQ(Decode(cut, 32).has_value(), n >= end32) << n;
        EXPECT_EQ(Decode(cut, 16).has_value(), n >= end16) << n;
    }
}

TEST_F(IconTest, MalformedFieldsAreRejected)
{
    const size_t dib32 = U32(Mainframe(), 6 + 12);
    const struct {
        const char* what;
        size_t at;
        std::uint32_t value;
        int width;  // bytes written: 1, 2 or 4
    } cases[] = {
        {"reserved word", 0, 1, 2},
        {"cursor type", 2, 2, 2},
        {"no images", 4, 0, 2},
        {"more entries than the file holds", 4, 0xFFFF, 2},
        {"offset past the end", 6 + 12, 0x10000, 4},
        {"offset and size overflow", 6 + 12, 0xFFFFFFF0, 4},
        {"size past the end", 6 + 8, 0x7FFFFFFF, 4},
        {"size smaller than the header", 6 + 8, 20, 4},
        {"header size past the image", dib32, 0x1000, 4},
        {"header size too small", dib32, 12, 4},
        {"huge width", dib32 + 4, 0x7FFFFFFF, 4},
        {"negative width", dib32 + 4, 0xFFFFFFE0, 4},
        {"odd height", dib32 + 8, 63, 4},
        {"huge height", dib32 + 8, 0x40000000, 4},
        {"negative height", dib32 + 8, 0xFFFFFFC0, 4},
        {"two planes", dib32 + 12, 2, 2},
        {"3 bits per pixel", dib32 + 14, 3, 2},
        {"compressed", dib32 + 16, 1, 4},
        {"more colours than 4 bits hold", dib32 + 32, 17, 4},
        {"width beyond the stored rows", dib32 + 4, 64, 4},
    };
    for (const auto& c : cases) {
        Bytes ico = Mainframe();
        for (int i = 0; i < c.width; ++i) ico[c.at + i] = static_cast<unsigned char>(c.value >> (8 * i));
        EXPECT_FALSE(Decode(ico, 32)) << c.what;
    }
    // A DIB that names fewer colours than 16 decodes; pixels beyond them are black.
    Bytes fewer = Mainframe();
    SetU32(fewer, dib32 + 32, 2);
    EXPECT_TRUE(Decode(fewer, 32));
}

}  // namespace
