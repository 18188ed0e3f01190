#include "tools/resgen/Writers.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "tools/resgen/Pictures.h"

namespace resgen {

namespace {

using Bytes = std::vector<unsigned char>;

void U8(Bytes& out, std::uint32_t v) { out.push_back(static_cast<unsigned char>(v & 0xFF)); }
void U16(Bytes& out, std::uint32_t v)
{
    U8(out, v);
    U8(out, v >> 8);
}
void U32(Bytes& out, std::uint32_t v)
{
    U16(out, v & 0xFFFF);
    U16(out, v >> 16);
}
void FourCC(Bytes& out, const char* cc) { out.insert(out.end(), cc, cc + 4); }
std::uint32_t Size32(std::size_t n)
{
    if (n > 0xFFFFFFFFu) throw std::length_error("resource too large");
    return static_cast<std::uint32_t>(n);
}

void Palette(Bytes& out, const std::vector<std::uint32_t>& palette)
{
    for (std::uint32_t rgb : palette) {  // RGBQUAD: blue, green, red, reserved
        U8(out, rgb);
        U8(out, rgb >> 8);
        U8(out, rgb >> 16);
        U8(out, 0);
    }
}

void BitmapInfoHeader(Bytes& out, int width, int height, int bitCount, std::uint32_t compression,
                      std::size_t sizeImage, std::size_t colours)
{
    U32(out, Size32(kBitmapInfoHeaderSize));
    U32(out, static_cast<std::uint32_t>(width));
    U32(out, static_cast<std::uint32_t>(height));
    U16(out, 1);  // planes
    U16(out, static_cast<std::uint32_t>(bitCount));
    U32(out, compression);
    U32(out, Size32(sizeImage));
    U32(out, 0);  // pixels per metre, x and y
    U32(out, 0);
    U32(out, Size32(colours));  // colours used
    U32(out, 0);                // colours important: all
}

Bytes IconDib(const IndexImage& img, const std::vector<std::uint32_t>& palette)
{
    const size_t xorStride = static_cast<size_t>((img.width * 4 + 31) / 32 * 4);
    const size_t andStride = static_cast<size_t>((img.width + 31) / 32 * 4);
    const size_t h = static_cast<size_t>(img.height);
    Bytes out;
    // The height counts the colour rows and the mask rows.
    BitmapInfoHeader(out, img.width, img.height * 2, 4, 0, (xorStride + andStride) * h, 0);
    Palette(out, palette);
    for (int y = img.height - 1; y >= 0; --y) {
        Bytes row(xorStride, 0);
        for (int x = 0; x < img.width; ++x) {
            std::uint8_t c = img.At(x, y);
            if (c == kClear) c = 0;
            if (c > 15) throw std::invalid_argument("icon pixel outside the 16 colours");
            row[static_cast<size_t>(x / 2)] |= static_cast<unsigned char>(x % 2 ? c : c << 4);
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    for (int y = img.height - 1; y >= 0; --y) {
        Bytes row(andStride, 0);
        for (int x = 0; x < img.width; ++x) {
            if (img.At(x, y) == kClear) row[static_cast<size_t>(x / 8)] |= static_cast<unsigned char>(0x80 >> (x % 8));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

}  // namespace

Bytes BuildIco(const std::vector<IndexImage>& images, const std::vector<std::uint32_t>& palette)
{
    if (palette.size() != 16) throw std::invalid_argument("icons are drawn in 16 colours");
    std::vector<Bytes> dibs;
    for (const IndexImage& img : images) {
        if (img.width < 1 || img.width > 256 || img.height < 1 || img.height > 256)
            throw std::invalid_argument("icon image size");
        dibs.push_back(IconDib(img, palette));
    }
    Bytes out;
    U16(out, 0);  // reserved
    U16(out, 1);  // type: icon
    U16(out, static_cast<std::uint32_t>(images.size()));
    size_t offset = kIconDirSize + kIconDirEntrySize * images.size();
    for (size_t i = 0; i < images.size(); ++i) {
        U8(out, static_cast<std::uint32_t>(images[i].width & 0xFF));  // 256 is written as 0
        U8(out, static_cast<std::uint32_t>(images[i].height & 0xFF));
        U8(out, 16);  // colours
        U8(out, 0);   // reserved
        U16(out, 1);  // planes
        U16(out, 4);  // bits per pixel
        U32(out, Size32(dibs[i].size()));
        U32(out, Size32(offset));
        offset += dibs[i].size();
    }
    for (const Bytes& dib : dibs) out.insert(out.end(), dib.begin(), dib.end());
    return out;
}

Bytes BuildAvi(const std::vector<IndexImage>& frames, const std::vector<std::uint32_t>& palette,
               std::uint32_t microSecPerFrame, std::size_t fileSize)
{
    constexpr std::uint32_t kAvifHasIndex = 0x10;
    constexpr std::uint32_t kAviifKeyFrame = 0x10;
    constexpr std::uint32_t kBiRle8 = 1;
    if (frames.empty()) throw std::invalid_argument("a clip needs frames");
    if (palette.size() != 256) throw std::invalid_argument("the clip has a 256-colour palette");
    const int width = frames[0].width, height = frames[0].height;

    // Encode the frames.
    std::vector<Bytes> data;
    std::vector<bool> key;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (frames[i].width != width || frames[i].height != height)
            throw std::invalid_argument("clip frames of different sizes");
        Bytes whole = EncodeRle8(frames[i]);
        if (i > 0) {
            Bytes delta = EncodeRle8Delta(frames[i - 1], frames[i]);
            if (delta.size() < whole.size()) {
                data.push_back(std::move(delta));
                key.push_back(false);
                continue;
            }
        }
        data.push_back(std::move(whole));
        key.push_back(true);
    }
    size_t maxChunk = 0;
    for (const Bytes& d : data) maxChunk = std::max(maxChunk, d.size());
    const std::uint32_t frameCount = Size32(frames.size());
    const std::uint32_t bytesPerSec =
        static_cast<std::uint32_t>((static_cast<std::uint64_t>(maxChunk) * 1000000 + microSecPerFrame - 1) / microSecPerFrame);

    // hdrl: the main header and the one stream's header and format.
    Bytes hdrl;
    FourCC(hdrl, "hdrl");
    FourCC(hdrl, "avih");
    U32(hdrl, 56);
    U32(hdrl, microSecPerFrame);
    U32(hdrl, bytesPerSec);  // dwMaxBytesPerSec
    U32(hdrl, 0);            // dwPaddingGranularity
    U32(hdrl, kAvifHasIndex);
    U32(hdrl, frameCount);
    U32(hdrl, 0);  // dwInitialFrames
    U32(hdrl, 1);  // dwStreams
    U32(hdrl, Size32(maxChunk));
    U32(hdrl, static_cast<std::uint32_t>(width));
    U32(hdrl, static_cast<std::uint32_t>(height));
    for (int i = 0; i < 4; ++i) U32(hdrl, 0);  // dwReserved

    Bytes strl;
    FourCC(strl, "strl");
    FourCC(strl, "strh");
    U32(strl, 56);
    FourCC(strl, "vids");
    FourCC(strl, "RLE ");
    U32(strl, 0);  // dwFlags
    U16(strl, 0);  // wPriority
    U16(strl, 0);  // wLanguage
    U32(strl, 0);  // dwInitialFrames
    U32(strl, microSecPerFrame);  // dwScale
    U32(strl, 1000000);           // dwRate: frames per second = rate / scale
    U32(strl, 0);                 // dwStart
    U32(strl, frameCount);        // dwLength
    U32(strl, Size32(maxChunk));  // dwSuggestedBufferSize
    U32(strl, 0xFFFFFFFFu);       // dwQuality: default
    U32(strl, 0);                 // dwSampleSize: frames vary in size
    U16(strl, 0);                 // rcFrame
    U16(strl, 0);
    U16(strl, static_cast<std::uint32_t>(width));
    U16(strl, static_cast<std::uint32_t>(height));
    FourCC(strl, "strf");
    U32(strl, Size32(kBitmapInfoHeaderSize + 4 * palette.size()));
    BitmapInfoHeader(strl, width, height, 8, kBiRle8, static_cast<size_t>(width) * static_cast<size_t>(height),
                     palette.size());
    Palette(strl, palette);

    FourCC(hdrl, "LIST");
    U32(hdrl, Size32(strl.size()));
    hdrl.insert(hdrl.end(), strl.begin(), strl.end());

    // movi and the index; index offsets count from the "movi" type code.
    Bytes movi;
    Bytes idx1;
    FourCC(movi, "movi");
    for (size_t i = 0; i < data.size(); ++i) {
        FourCC(idx1, "00dc");
        U32(idx1, key[i] ? kAviifKeyFrame : 0);
        U32(idx1, Size32(movi.size()));
        U32(idx1, Size32(data[i].size()));
        FourCC(movi, "00dc");
        U32(movi, Size32(data[i].size()));
        movi.insert(movi.end(), data[i].begin(), data[i].end());
        if (data[i].size() & 1) movi.push_back(0);
    }

    const size_t content = 12 + (8 + hdrl.size()) + 8 /* JUNK header */ + (8 + movi.size()) + (8 + idx1.size());
    if (content > fileSize || (fileSize - content) % 2 != 0)
        throw std::length_error("the clip takes " + std::to_string(content) + " bytes, more than its " +
                                std::to_string(fileSize));

    Bytes out;
    FourCC(out, "RIFF");
    U32(out, Size32(fileSize - 8));
    FourCC(out, "AVI ");
    FourCC(out, "LIST");
    U32(out, Size32(hdrl.size()));
    out.insert(out.end(), hdrl.begin(), hdrl.end());
    FourCC(out, "JUNK");
    U32(out, Size32(fileSize - content));
    out.resize(out.size() + (fileSize - content), 0);
    FourCC(out, "LIST");
    U32(out, Size32(movi.size()));
    out.insert(out.end(), movi.begin(), movi.end());
    FourCC(out, "idx1");
    U32(out, Size32(idx1.size()));
    out.insert(out.end(), idx1.begin(), idx1.end());
    if (out.size() != fileSize) throw std::logic_error("clip size miscounted");
    return out;
}

}  // namespace resgen
