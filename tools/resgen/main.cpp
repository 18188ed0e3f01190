// resgen: draws icon 128 and the search clip 132 and writes them as an .ico
// file, an AVI file and a C++ source that holds both as byte arrays for the
// resource library. Run by the build: resgen <output folder>.
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

#include "tools/resgen/Pictures.h"
#include "tools/resgen/Writers.h"

namespace {

using Bytes = std::vector<unsigned char>;

constexpr int kClipFrames = 31;
constexpr std::uint32_t kClipMicroSecPerFrame = 71000;
constexpr std::size_t kClipFileSize = 10138;

void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path);
}

void ByteArray(std::string& src, const char* name, const Bytes& bytes)
{
    src += "const unsigned char " + std::string(name) + "[] = {";
    char hex[8];
    for (size_t i = 0; i < bytes.size(); ++i) {
        src += i % 16 == 0 ? "\n    " : " ";
        std::snprintf(hex, sizeof hex, "0x%02X,", bytes[i]);
        src += hex;
    }
    src += "\n};\nconst std::size_t " + std::string(name) + "Size = sizeof " + name + ";\n\n";
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: resgen <output folder>\n");
        return 2;
    }
    try {
        const std::string dir = argv[1];
        Bytes ico = resgen::BuildIco({resgen::DrawIcon(32), resgen::DrawIcon(16)}, resgen::IconPalette());

        std::vector<resgen::IndexImage> frames;
        for (int i = 0; i < kClipFrames; ++i) frames.push_back(resgen::DrawClipFrame(i, kClipFrames));
        Bytes avi = resgen::BuildAvi(frames, resgen::ClipPalette(), kClipMicroSecPerFrame, kClipFileSize);

        WriteFile(dir + "/plovex.ico", std::string(ico.begin(), ico.end()));
        WriteFile(dir + "/search.avi", std::string(avi.begin(), avi.end()));
        std::string src =
            "// Written by tools/resgen at build time: the icon and the search clip.\n"
            "#include \"res/ResourceData.h\"\n\n"
            "namespace resdata {\n\n";
        ByteArray(src, "kMainframeIcon", ico);
        ByteArray(src, "kSearchAvi", avi);
        src += "}  // namespace resdata\n";
        WriteFile(dir + "/ResourceData.cpp", src);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "resgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
