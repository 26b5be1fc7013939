#include "render/pictureFormat.h"

#include <lodepng.h>

#include <cstring>
#include <string>
#include <vector>

#include "render/fileBytes.h"

namespace QEL {

const char* const kPicturesAccepted =
    "PNG of any colour type and bit depth, or TGA with 24-bit or 32-bit colour";

namespace {

// What the decoder says of a PNG it cannot read, or its colour format when it can.
std::string pngFormat(const uint8_t* data, size_t size) {
    unsigned width = 0, height = 0;
    lodepng::State state;
    std::vector<unsigned char> pixels;
    const unsigned code = lodepng::decode(pixels, width, height, state, data, size);
    if (code != 0) return std::string("a damaged PNG (") + lodepng_error_text(code) + ")";
    const LodePNGColorMode& color = state.info_png.color;
    const char* kind = "RGB";
    switch (color.colortype) {
    case LCT_GREY: kind = "grey"; break;
    case LCT_PALETTE: kind = "palette"; break;
    case LCT_GREY_ALPHA: kind = "grey and alpha"; break;
    case LCT_RGBA: kind = "RGBA"; break;
    default: break;
    }
    return "a PNG with " + std::to_string(color.bitdepth) + "-bit " + kind + " colour";
}

// A TGA has no signature: its header is taken at its word only for the image types TGA defines.
std::string tgaFormat(const uint8_t* data, size_t size) {
    if (size < 18) return std::string();
    const uint8_t type = data[2] & 0xF7;  // the run-length bit aside
    if (type != 1 && type != 2 && type != 3) return std::string();
    const char* kind = type == 1 ? "colour-mapped" : type == 2 ? "true" : "grey";
    return "a TGA with " + std::to_string(data[16]) + "-bit " + kind + " colour";
}

// `signature` may hold zero bytes: its length is the array's.
template <size_t N>
bool startsWith(const uint8_t* data, size_t size, const char (&signature)[N], size_t offset = 0) {
    return size >= offset + N - 1 && std::memcmp(data + offset, signature, N - 1) == 0;
}

}  // namespace

std::string pictureFormatOf(const std::string& path) {
    const FileBytes file = readWholeFile(path);
    if (file.status == -1 && file.size == 0) return "an empty file";
    if (!file.data) return "a file that cannot be read";
    const uint8_t* data = file.data.get();
    const size_t size = file.size;
    if (startsWith(data, size, "\x89PNG")) return pngFormat(data, size);
    if (startsWith(data, size, "\xFF\xD8\xFF")) return "a JPEG picture";
    if (startsWith(data, size, "GIF8")) return "a GIF picture";
    if (startsWith(data, size, "BM")) return "a BMP picture";
    if (startsWith(data, size, "RIFF") && startsWith(data, size, "WEBP", 8)) return "a WebP picture";
    if (startsWith(data, size, "II*") || startsWith(data, size, "MM\0*")) return "a TIFF picture";
    if (startsWith(data, size, "\0\0\1\0")) return "an ICO icon";
    if (startsWith(data, size, "qoif")) return "a QOI picture";
    if (startsWith(data, size, "8BPS")) return "a PSD (layered) picture";
    if (startsWith(data, size, "gimp xcf")) return "an XCF (layered) picture";
    if (startsWith(data, size, "ftypavif", 4) || startsWith(data, size, "ftypheic", 4)) return "an AVIF or HEIF picture";
    if (startsWith(data, size, "\xFF\x0A") || startsWith(data, size, "\0\0\0\x0CJXL ")) return "a JPEG XL picture";
    if (startsWith(data, size, "<")) return "a text file (an SVG drawing must be exported to PNG first)";
    const std::string tga = tgaFormat(data, size);
    return tga.empty() ? "a file of no picture format the game knows" : tga;
}

std::string pictureRefusal(const std::string& path) {
    return "it is " + pictureFormatOf(path) + ", which the game cannot use; it takes " + kPicturesAccepted;
}

}  // namespace QEL
