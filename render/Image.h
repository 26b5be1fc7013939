// Image: an 8-bit-per-channel picture in memory, RGB (bpp 24) or RGBA (bpp 32), owned by the
// object. Pictures loaded from PNG are padded to power-of-two sizes and stored bottom row first,
// the row order OpenGL textures use; TGA files (the fallback) keep their own size and row order.
// Failures are log lines plus a result code; nothing is thrown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "render/types.h"

namespace QEL {

// Results of the path loaders.
enum ImageLoadResult : uint32_t {
    kImageLoaded = 1,
    kImagePassedThrough = 2,   // returned unchanged by Load(path); no loader produces it
    kImageUnreadable = 3,      // could not be read or decoded, or an unknown file type
    kImageUnsupportedPNG = 4,  // no loader produces it: every PNG the decoder reads is taken
};

// File types for Load(path, fileType).
enum ImageFileType : int32_t { kImageFileTGA = 1, kImageFilePNG = 2 };

// The texture size a picture side is padded to: the smallest power of two, at least 2, not below n.
int32_t powerOfTwoAtLeast2(uint32_t n);

class Image {
public:
    Image();
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    // Copies width × height × (bpp / 8) bytes; bpp / 8 must be 3 or 4, else logs and returns
    // false with the image unchanged.
    virtual bool Load(int32_t w, int32_t h, int32_t bitsPerPixel, const uint8_t* data);
    virtual uint32_t Load(const char* path, int32_t fileType);
    virtual uint32_t Load(const std::string& path, int32_t fileType);
    // PNG first; only when that gives 3, TGA.
    virtual uint32_t Load(const std::string& path);

    // Loads a PNG as 8-bit RGB or RGBA padded to powers of two (at least 2), bottom row first,
    // the padding filled with the pad colour. Every colour type and bit depth LodePNG decodes is taken:
    // RGBA (bpp 32) when the file holds any transparency, RGB (bpp 24) otherwise. Returns 1, or 3 for a
    // file that cannot be read or decoded, leaving the image unchanged.
    uint32_t LoadPNG_forcePowerOfTwo(const std::string& path);

    // TGA: uncompressed or run-length, true colour (24/32 bit, stored as R, G, B (, A)) or
    // colour-mapped (8-bit indices, bpp 8, which cannot become a texture). Returns 1, or 3 for a
    // file that cannot be read or is malformed, leaving the image unchanged. Reads never go past
    // `size` bytes and writes never past the image.
    uint32_t LoadTGA(const std::string& path);
    uint32_t LoadTGA(const uint8_t* data, size_t size);

    // Reverses the order of the rows in place.
    void mirrorImageY();

    // Writes the pixels as an 8-bit PNG (RGBA for bpp 32, RGB otherwise), buffer row 0 as the
    // file's top row. False when there is nothing to save or the encoder fails.
    bool saveToFilePNG(const std::string& path);

    int32_t getWidth() const { return width; }
    int32_t getHeight() const { return height; }
    int32_t getBpp() const { return bpp; }
    const uint8_t* getPixels() const { return pixels; }
    size_t byteCount() const;

    // Colour written into the padding (low byte of each used); default transparent magenta.
    int32_t padR = 255, padG = 0, padB = 255, padA = 0;

private:
    friend void captureFrameBuffer(const IntCoords& rect, Image& image);
    void replacePixels(int32_t w, int32_t h, int32_t bitsPerPixel, uint8_t* ownedData);

    int32_t width = 0;
    int32_t height = 0;
    int32_t bpp = 0;
    uint8_t* pixels = nullptr;  // owned; width × height × bpp / 8 bytes, rows packed
};

// Reads the rectangle (x, y from the bottom-left, w × h) of the current frame buffer into `image`
// as RGBA, bottom row first.
void captureFrameBuffer(const IntCoords& rect, Image& image);

// Captures the whole 568 × 320 window from the current read buffer (the back buffer, which keeps
// the last frame after a swap here) and writes it to `path` as an RGBA PNG whose first row is the
// top of the window. False when the file could not be written.
bool takeScreenshot(const std::string& path);

}  // namespace QEL
