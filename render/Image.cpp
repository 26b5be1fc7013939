#include "render/Image.h"

#include <GL/gl.h>
#include <lodepng.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "base/assetPath.h"
#include "base/log.h"
#include "render/fileBytes.h"
#include "render/screen.h"

namespace QEL {

namespace {

const char* const kPngFn = "QEL::Image::LoadPNG_forcePowerOfTwo";

void logDecoderError(const std::string& path, unsigned code) {
    logError(kPngFn, "Could not load PNG: ", path, " decoder ERROR: ", code);
    if (code != 29) return;
    logError(kPngFn, "Your PNG has failed to load with error 29.");
    logError(kPngFn, "Error 29 signifies a bad header chunk, likely caused by XCODE compressing the PNG.");
    logError(kPngFn, "This XCODE optimization can be disabled by adding the following user variable to the target:");
    logError(kPngFn, "key: IPHONE_OPTIMIZE_OPTIONS    value: -skip-PNGs\n");
}

// Every PNG LodePNG decodes is taken as 8-bit RGBA; the picture keeps the alpha (bpp 32) when the file
// has any: an alpha channel, a palette whose transparency table makes any entry less than opaque, or a
// grey or RGB key colour. Otherwise the alpha is all opaque and the picture is RGB (bpp 24).
int32_t bitsPerPixelFor(const LodePNGColorMode& color) {
    if (color.colortype == LCT_GREY_ALPHA || color.colortype == LCT_RGBA || color.key_defined) return 32;
    if (color.colortype == LCT_PALETTE && color.palette) {
        for (size_t i = 0; i < color.palettesize; ++i) {
            if (color.palette[i * 4 + 3] != 255) return 32;
        }
    }
    return 24;
}

}  // namespace

int32_t powerOfTwoAtLeast2(uint32_t n) {
    int32_t p = 2;
    while (static_cast<uint32_t>(p) < n) p *= 2;
    return p;
}

// A pack's file comes whole from the pack file system; the copy keeps FileBytes' one shape.
static FileBytes readPackBytes(const std::string& path) {
    FileBytes file;
    std::string bytes;
    if (!readAssetFile(path, bytes)) return file;
    file.status = -1;
    if (bytes.empty()) return file;
    file.data.reset(new (std::nothrow) uint8_t[bytes.size()]);
    if (!file.data) return file;
    std::memcpy(file.data.get(), bytes.data(), bytes.size());
    file.size = bytes.size();
    file.status = 1;
    return file;
}

FileBytes readWholeFile(const std::string& path) {
    if (isPackPath(path)) return readPackBytes(path);
    FileBytes file;
    FILE* handle = std::fopen(path.c_str(), "rb");
    if (!handle) return file;
    long size = -1;
    if (std::fseek(handle, 0, SEEK_END) == 0) size = std::ftell(handle);
    std::fseek(handle, 0, SEEK_SET);
    file.status = -1;
    if (size > 0) {
        file.data.reset(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
        if (file.data) {
            file.size = std::fread(file.data.get(), 1, static_cast<size_t>(size), handle);
            file.status = file.size == static_cast<size_t>(size) ? 1 : -2;
            if (file.status != 1) file.data.reset();
        }
    }
    std::fclose(handle);
    return file;
}

Image::Image() = default;

Image::~Image() { delete[] pixels; }

size_t Image::byteCount() const {
    if (!pixels) return 0;
    return static_cast<size_t>(width) * static_cast<size_t>(height) * static_cast<size_t>(bpp / 8);
}

void Image::replacePixels(int32_t w, int32_t h, int32_t bitsPerPixel, uint8_t* ownedData) {
    delete[] pixels;
    pixels = ownedData;
    width = w;
    height = h;
    bpp = bitsPerPixel;
}

bool Image::Load(int32_t w, int32_t h, int32_t bitsPerPixel, const uint8_t* data) {
    const int32_t bytesPerPixel = bitsPerPixel / 8;
    if (bytesPerPixel != 3 && bytesPerPixel != 4) {
        logError("QEL::Image::Load", "Unsupported color format: ", bitsPerPixel, " bpp.");
        return false;
    }
    if (w < 1 || h < 1 || !data) return false;
    const size_t bytes = static_cast<size_t>(w) * static_cast<size_t>(h) * bytesPerPixel;
    uint8_t* copy = new (std::nothrow) uint8_t[bytes];
    if (!copy) return false;
    std::memcpy(copy, data, bytes);
    replacePixels(w, h, bitsPerPixel, copy);
    return true;
}

uint32_t Image::Load(const char* path, int32_t fileType) {
    return Load(std::string(path ? path : ""), fileType);
}

uint32_t Image::Load(const std::string& path, int32_t fileType) {
    if (fileType == kImageFilePNG) return LoadPNG_forcePowerOfTwo(path);
    if (fileType == kImageFileTGA) return LoadTGA(path);
    return kImageUnreadable;
}

uint32_t Image::Load(const std::string& path) {
    const uint32_t result = LoadPNG_forcePowerOfTwo(path);
    if (result != kImageUnreadable) return result;
    return LoadTGA(path);
}

uint32_t Image::LoadPNG_forcePowerOfTwo(const std::string& path) {
    lodepng::State state;
    std::vector<unsigned char> decoded;
    unsigned pngW = 0, pngH = 0;
    {
        FileBytes file = readWholeFile(path);
        if (!file.data || file.size < 1) {
            logError(kPngFn, "Could not read file: error (", file.status, ") ", path);
            return kImageUnreadable;
        }
        const unsigned code = lodepng::decode(decoded, pngW, pngH, state, file.data.get(), file.size);
        if (code != 0) {
            logDecoderError(path, code);
            return kImageUnreadable;
        }
    }  // the file bytes are freed here, before the padded copy is made

    const int32_t newBpp = bitsPerPixelFor(state.info_png.color);

    const int32_t padW = powerOfTwoAtLeast2(pngW);
    const int32_t padH = powerOfTwoAtLeast2(pngH);
    const size_t bytesPerPixel = static_cast<size_t>(newBpp / 8);
    const size_t rowBytes = bytesPerPixel * padW;
    uint8_t* padded = new (std::nothrow) uint8_t[rowBytes * padH];
    if (!padded) {
        logError(kPngFn, "Could not load PNG: ", path, " decoder ERROR: ", 83u);  // LodePNG's "memory allocation failed"
        return kImageUnreadable;
    }

    const uint8_t pad[4] = {static_cast<uint8_t>(padR), static_cast<uint8_t>(padG),
                            static_cast<uint8_t>(padB), static_cast<uint8_t>(padA)};
    for (int32_t k = 0; k < padH; ++k) {
        uint8_t* out = padded + rowBytes * k;
        size_t column = 0;
        if (static_cast<unsigned>(k) < pngH) {
            const uint8_t* in = decoded.data() + static_cast<size_t>(pngH - 1 - k) * pngW * 4;
            if (bytesPerPixel == 4) {
                std::memcpy(out, in, static_cast<size_t>(pngW) * 4);
            } else {
                for (unsigned x = 0; x < pngW; ++x) std::memcpy(out + x * 3, in + x * 4, 3);
            }
            column = pngW;
        }
        for (; column < static_cast<size_t>(padW); ++column) std::memcpy(out + column * bytesPerPixel, pad, bytesPerPixel);
    }
    replacePixels(padW, padH, newBpp, padded);
    return kImageLoaded;
}

void Image::mirrorImageY() {
    if (!pixels) {
        logWarning("QEL::Image::mirrorImageY", "No image to mirror!");
        return;
    }
    // Row length from the pixel size, so colour-mapped (1 byte) images flip within bounds too.
    const size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(bpp / 8);
    std::unique_ptr<uint8_t[]> spare(new (std::nothrow) uint8_t[rowBytes]);
    if (!spare) return;
    for (int32_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = pixels + rowBytes * top;
        uint8_t* b = pixels + rowBytes * bottom;
        std::memcpy(spare.get(), a, rowBytes);
        std::memcpy(a, b, rowBytes);
        std::memcpy(b, spare.get(), rowBytes);
    }
}

bool Image::saveToFilePNG(const std::string& path) {
    const char* fn = "QEL::Image::saveToFilePNG";
    if (!pixels) {
        logError(fn, "[QEL::Image] No image to save!");
        return false;
    }
    const LodePNGColorType type = bpp == 32 ? LCT_RGBA : LCT_RGB;
    lodepng::State state;
    // Keep the stored colour type as given; LodePNG would otherwise pick the smallest that fits.
    state.encoder.auto_convert = 0;
    state.info_raw.colortype = type;
    state.info_raw.bitdepth = 8;
    state.info_png.color.colortype = type;
    state.info_png.color.bitdepth = 8;
    std::vector<unsigned char> encoded;
    unsigned code = lodepng::encode(encoded, pixels, static_cast<unsigned>(width),
                                    static_cast<unsigned>(height), state);
    if (code == 0) {
        FILE* out = std::fopen(path.c_str(), "wb");
        bool written = out && std::fwrite(encoded.data(), 1, encoded.size(), out) == encoded.size();
        if (out && std::fclose(out) != 0) written = false;
        if (!written) code = 79;  // LodePNG's "failed to open file for writing"
    }
    if (code != 0) {
        logError(fn, "LodePNG file save failed with Error Code: ", code);
        return false;
    }
    return true;
}

void captureFrameBuffer(const IntCoords& rect, Image& image) {
    if (rect.w < 1 || rect.h < 1) return;
    const size_t bytes = static_cast<size_t>(rect.w) * static_cast<size_t>(rect.h) * 4;
    uint8_t* buffer = new (std::nothrow) uint8_t[bytes];
    if (!buffer) return;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(rect.x, rect.y, rect.w, rect.h, GL_RGBA, GL_UNSIGNED_BYTE, buffer);
    image.replacePixels(rect.w, rect.h, 32, buffer);
}

bool takeScreenshot(const std::string& path) {
    Image shot;
    captureFrameBuffer(IntCoords(0, 0, kScreenWidth, kScreenHeight), shot);
    shot.mirrorImageY();
    return shot.saveToFilePNG(path);
}

}  // namespace QEL
