// The search clip as the build wrote it, the AVI parser on good and bad
// files, and BI_RLE8 decoding.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

#include "platform/ui/Avi.h"
#include "res/Resources.h"
#include "res/resource.h"
#include "tools/resgen/Pictures.h"
#include "tools/resgen/Rle8Encoder.h"

namespace {

using Bytes = std::vector<unsigned char>;

std::uint32_t U32(const Bytes& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t U16(const Bytes& b, size_t at) { return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8); }
void SetU32(Bytes& b, size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}
std::string FourCC(const Bytes& b, size_t at) { return std::string(b.begin() + at, b.begin() + at + 4); }
// Where the first chunk or list type cc begins.
size_t Find(const Bytes& b, const char* cc)
{
    auto it = std::search(b.begin(), b.end(), cc, cc + 4);
    return it == b.end() ? std::string::npos : static_cast<size_t>(it - b.begin());
}

class AviTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterResources(); }
    const Bytes& Clip() { return AfxGetResourceModule().avis.at(IDR_SEARCH_AVI); }
};

TEST_F(AviTest, ClipFileHasItsSizeAndHeaders)
{
    const Bytes& avi = Clip();
    ASSERT_EQ(avi.size(), 10138u);
    EXPECT_EQ(FourCC(avi, 0), "RIFF");
    EXPECT_EQ(U32(avi, 4), 10138u - 8);
    EXPECT_EQ(FourCC(avi, 8), "AVI ");
    EXPECT_EQ(FourCC(avi, 12), "LIST");
    EXPECT_EQ(FourCC(avi, 20), "hdrl");

    const size_t avih = Find(avi, "avih") + 8;
    EXPECT_EQ(U32(avi, avih - 4), 56u);
    EXPECT_EQ(U32(avi, avih), 71000u);      // dwMicroSecPerFrame
    EXPECT_EQ(U32(avi, avih + 12), 0x10u);  // dwFlags: AVIF_HASINDEX
    EXPECT_EQ(U32(avi, avih + 16), 31u);    // dwTotalFrames
    EXPECT_EQ(U32(avi, avih + 24), 1u);     // dwStreams
    EXPECT_EQ(U32(avi, avih + 32), 64u);
    EXPECT_EQ(U32(avi, avih + 36), 32u);

    const size_t strh = Find(avi, "strh") + 8;
    EXPECT_EQ(FourCC(avi, strh), "vids");
    EXPECT_EQ(FourCC(avi, strh + 4), "RLE ");
    EXPECT_EQ(U32(avi, strh + 20), 71000u);    // dwScale
    EXPECT_EQ(U32(avi, strh + 24), 1000000u);  // dwRate
    EXPECT_EQ(U32(avi, strh + 32), 31u);       // dwLength

    const size_t strf = Find(avi, "strf") + 8;
    EXPECT_EQ(U32(avi, strf - 4), 40u + 1024);
    EXPECT_EQ(U32(avi, strf + 4), 64u);
    EXPECT_EQ(U32(avi, strf + 8), 32u);
    EXPECT_EQ(U16(avi, strf + 12), 1);       // planes
    EXPECT_EQ(U16(avi, strf + 14), 8);       // bits per pixel
    EXPECT_EQ(U32(avi, strf + 16), 1u);      // BI_RLE8
    EXPECT_EQ(U32(avi, strf + 32), 256u);    // colours

    EXPECT_NE(Find(avi, "JUNK"), std::string::npos);
}

TEST_F(AviTest, IndexPointsAtEveryFrameChunk)
{
    const Bytes& avi = Clip();
    const size_t movi = Find(avi, "movi");
    const size_t idx1 = Find(avi, "idx1");
    ASSERT_NE(movi, std::string::npos);
    ASSERT_EQ(idx1 + 8 + U32(avi, idx1 + 4), avi.size());  // the last chunk
    ASSERT_EQ(U32(avi, idx1 + 4), 31u * 16);
    for (size_t i = 0; i < 31; ++i) {
        const size_t e = idx1 + 8 + 16 * i;
        EXPECT_EQ(FourCC(avi, e), "00dc");
        const std::uint32_t flags = U32(avi, e + 4);
        EXPECT_EQ(flags & ~0x10u, 0u);  // AVIIF_KEYFRAME or nothing
        if (i == 0) {
            EXPECT_EQ(flags, 0x10u);
        }
        const size_t chunk = movi + U32(avi, e + 8);
        ASSERT_LT(chunk + 8, idx1);
        EXPECT_EQ(FourCC(avi, chunk), "00dc") << i;
        EXPECT_EQ(U32(avi, chunk + 4), U32(avi, e + 12)) << i;
    }
}

TEST_F(AviTest, ClipDecodesTo31FramesAsDrawn)
{
    auto clip = CAviClip::Parse(Clip());
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->FrameCount(), 31);
    EXPECT_EQ(clip->MicroSecPerFrame(), 71000u);
    EXPECT_EQ(clip->Width(), 64);
    EXPECT_EQ(clip->Height(), 32);
    const std::vector<std::uint32_t> palette = resgen::ClipPalette();
    for (int i = 0; i < 31; ++i) {
        const CImage& frame = clip->Frame(i);
        ASSERT_EQ(frame.width, 64);
        ASSERT_EQ(frame.height, 32);
        const resgen::IndexImage drawn = resgen::DrawClipFrame(i, 31);
        std::vector<std::uint32_t> want;
        for (std::uint8_t c : drawn.pixels) want.push_back(palette[c]);
        EXPECT_EQ(frame.pixels, want) << "frame " << i;
        if (i > 0) {
            EXPECT_NE(frame.pixels, clip->Frame(i - 1).pixels) << "frame " << i << " does not move";
        }
    }
    EXPECT_EQ(clip->Frame(31).width, 0);
    EXPECT_EQ(clip->Frame(-1).width, 0);
}

TEST_F(AviTest, MalformedFilesAreRejected)
{
    const Bytes& good = Clip();
    const size_t strf = Find(good, "strf") + 8;
    const size_t moviList = Find(good, "movi") - 8;
    const size_t firstFrame = moviList + 12;
    const struct {
        const char* what;
        size_t at;
        std::uint32_t value;
    } cases[] = {
        {"RIFF size past the end", 4, 10138},
        {"huge RIFF size", 4, 0xFFFFFFFF},
        {"RIFF size too small", 4, 2},
        {"list size past its parent", moviList + 4, 0x7FFFFFF0},
        {"frame size past its list", firstFrame + 4, 0x10000},
        {"frame size overflowing", firstFrame + 4, 0xFFFFFFFC},
        {"no video stream", Find(good, "vids"), 0x73647561 /* "auds" */},
        {"format header size past the chunk", strf, 0x10000},
        {"zero width", strf + 4, 0},
        {"huge width", strf + 4, 0x7FFFFFFF},
        {"negative height", strf + 8, 0xFFFFFFE0},
        {"4 bits per pixel", strf + 12, 0x00040001},
        {"uncompressed", strf + 16, 0},
        {"more than 256 colours", strf + 32, 257},
    };
    for (const auto& c : cases) {
        Bytes avi = good;
        SetU32(avi, c.at, c.value);
        EXPECT_FALSE(CAviClip::Parse(avi)) << c.what;
    }
    Bytes huge = good;  // 31 frames of 1024 x 1024 pixels
    SetU32(huge, strf + 4, 1024);
    SetU32(huge, strf + 8, 1024);
    EXPECT_FALSE(CAviClip::Parse(huge));
    for (size_t n : {size_t{0}, size_t{11}, size_t{12}, size_t{100}, good.size() - 1})
        EXPECT_FALSE(CAviClip::Parse(Bytes(good.begin(), good.begin() + n))) << n;
    // No frame chunk of the video stream.
    Bytes noFrames = good;
    for (size_t at = Find(noFrames, "00dc"); at != std::string::npos; at = Find(noFrames, "00dc"))
        std::memcpy(&noFrames[at], "01wb", 4);
    EXPECT_FALSE(CAviClip::Parse(noFrames));
}

// Random damage anywhere in the file, and in the frame data in particular:
// the parser gives a clip or nothing, and never reads or writes out of
// bounds (the sanitizer build checks that).
TEST_F(AviTest, RandomDamageNeverBreaksTheParser)
{
    const Bytes& good = Clip();
    const size_t movi = Find(good, "movi");
    const size_t idx1 = Find(good, "idx1");
    std::mt19937 rng(1234);
    int parsed = 0;
    for (int round = 0; round < 400; ++round) {
        Bytes avi = good;
        const bool framesOnly = round % 2 == 0;
        const size_t from = framesOnly ? movi + 4 : 0, to = framesOnly ? idx1 : avi.size();
        for (int k = 0; k < 1 + round % 16; ++k)
            avi[std::uniform_int_distribution<size_t>(from, to - 1)(rng)] = static_cast<unsigned char>(rng());
        if (auto clip = CAviClip::Parse(avi)) {
            ++parsed;
            for (int i = 0; i < clip->FrameCount(); ++i)
                ASSERT_EQ(clip->Frame(i).pixels.size(), static_cast<size_t>(clip->Width() * clip->Height()));
        }
    }
    EXPECT_GT(parsed, 0);  // damaged frame data still gives (clipped) frames
}

struct RleCase {
    const char* what;
    Bytes data;
    std::vector<std::uint8_t> top, bottom;  // the rows after decoding over 9s
    bool complete;
};

TEST(Rle8Test, DecodesHandMadeData)
{
    const RleCase cases[] = {
        {"encoded run", {3, 7, 0, 1}, {9, 9, 9, 9}, {7, 7, 7, 9}, true},
        {"absolute run, odd, padded", {0, 3, 1, 2, 3, 0, 0, 1}, {9, 9, 9, 9}, {1, 2, 3, 9}, true},
        {"absolute run, even", {0, 4, 1, 2, 3, 4, 0, 1}, {9, 9, 9, 9}, {1, 2, 3, 4}, true},
        {"end of line", {1, 5, 0, 0, 2, 6, 0, 1}, {6, 6, 9, 9}, {5, 9, 9, 9}, true},
        {"delta right and up", {1, 5, 0, 2, 2, 1, 1, 8, 0, 1}, {9, 9, 9, 8}, {5, 9, 9, 9}, true},
        {"nothing after the end of bitmap", {1, 5, 0, 1, 1, 6}, {9, 9, 9, 9}, {5, 9, 9, 9}, true},
        {"run past the right edge is clipped", {6, 7, 0, 1}, {9, 9, 9, 9}, {7, 7, 7, 7}, true},
        {"absolute run past the right edge", {0, 5, 1, 2, 3, 4, 5, 0, 0, 1}, {9, 9, 9, 9}, {1, 2, 3, 4}, true},
        {"rows above the top are dropped", {0, 0, 0, 0, 2, 3, 0, 0, 1, 3, 0, 1}, {9, 9, 9, 9}, {9, 9, 9, 9}, true},
        {"delta out of the picture", {0, 2, 200, 0, 2, 3, 0, 2, 0, 250, 1, 3, 0, 1}, {9, 9, 9, 9}, {9, 9, 9, 9},
         true},
        {"no end of bitmap", {2, 4}, {9, 9, 9, 9}, {4, 4, 9, 9}, false},
        {"absolute run cut short", {0, 5, 1, 2}, {9, 9, 9, 9}, {1, 2, 9, 9}, false},
        {"delta cut short", {1, 3, 0, 2, 1}, {9, 9, 9, 9}, {3, 9, 9, 9}, false},
        {"odd byte at the end", {1, 4, 0}, {9, 9, 9, 9}, {4, 9, 9, 9}, false},
        {"empty", {}, {9, 9, 9, 9}, {9, 9, 9, 9}, false},
    };
    for (const RleCase& c : cases) {
        std::vector<std::uint8_t> indices(8, 9);
        EXPECT_EQ(CAviClip::DecodeRle8(c.data, 4, 2, indices), c.complete) << c.what;
        std::vector<std::uint8_t> want = c.top;
        want.insert(want.end(), c.bottom.begin(), c.bottom.end());
        EXPECT_EQ(indices, want) << c.what;
    }
}

TEST(Rle8Test, WrongSizedBufferIsClearedFirst)
{
    std::vector<std::uint8_t> indices(3, 9);
    EXPECT_TRUE(CAviClip::DecodeRle8(Bytes{1, 5, 0, 1}, 2, 2, indices));
    EXPECT_EQ(indices, (std::vector<std::uint8_t>{0, 0, 5, 0}));
}

// The generator's encoder against the decoder, on random pictures with runs
// and noise, wider than one run or delta can span.
TEST(Rle8Test, EncodedPicturesDecodeToThemselves)
{
    std::mt19937 rng(77);
    for (int w : {1, 2, 3, 7, 64, 300}) {
        for (int h : {1, 5, 40}) {
            resgen::IndexImage prev(w, h), next(w, h);
            for (auto* img : {&prev, &next}) {
                for (size_t i = 0; i < img->pixels.size();) {
                    const size_t run = std::min<size_t>(rng() % 8 == 0 ? rng() % 400 : 1, img->pixels.size() - i);
                    std::fill_n(img->pixels.begin() + i, std::max<size_t>(run, 1), static_cast<std::uint8_t>(rng() % 5));
                    i += std::max<size_t>(run, 1);
                }
            }
            // The next picture keeps most of the previous one.
            for (size_t i = 0; i < next.pixels.size(); ++i)
                if (rng() % 4) next.pixels[i] = prev.pixels[i];
            std::vector<std::uint8_t> indices;
            EXPECT_TRUE(CAviClip::DecodeRle8(resgen::EncodeRle8(prev), w, h, indices));
            ASSERT_EQ(indices, prev.pixels) << w << "x" << h;
            EXPECT_TRUE(CAviClip::DecodeRle8(resgen::EncodeRle8Delta(prev, next), w, h, indices));
            ASSERT_EQ(indices, next.pixels) << w << "x" << h << " delta";
        }
    }
}

}  // namespace
