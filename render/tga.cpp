// The TGA reader: the fallback picture format. Every read is checked against the file's length
// and every write against the image's size, whatever the header claims.
#include <cstring>
#include <new>
#include <utility>

#include "render/Image.h"
#include "render/fileBytes.h"

namespace QEL {

namespace {

constexpr size_t kHeaderBytes = 18;
constexpr size_t kPaletteBytes = 256 * 3;  // the only colour map accepted: 256 entries of 24 bits
// A run-length packet of 2 bytes (header + one 1-byte pixel) yields at most 128 pixels; a header
// claiming more pixels than that cannot be backed by the file and is refused before allocating.
constexpr size_t kMaxPixelsPerInputByte = 64;

uint16_t readLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

struct TgaLayout {
    bool colourMapped = false;
    bool runLength = false;
    size_t bytesPerPixel = 0;
    size_t pixelOffset = 0;
    int32_t width = 0, height = 0;
};

// Checks the header against the file; false for anything unsupported or inconsistent.
bool readLayout(const uint8_t* data, size_t size, TgaLayout& layout) {
    if (!data || size < kHeaderBytes) return false;
    const uint8_t idLength = data[0], mapType = data[1], imageType = data[2];
    const uint8_t mapEntryBits = data[7], pixelDepth = data[16], descriptor = data[17];
    if (mapType > 1 || imageType > 11 || descriptor > 32) return false;
    if (mapType == 1 && (readLE16(data + 3) != 0 || readLE16(data + 5) != 256 || mapEntryBits != 24)) return false;

    layout.colourMapped = imageType == 1 || imageType == 9;
    layout.runLength = imageType == 9 || imageType == 10;
    const bool trueColour = imageType == 2 || imageType == 10;
    if (!layout.colourMapped && !trueColour) return false;
    if (layout.colourMapped != (mapType == 1)) return false;

    layout.bytesPerPixel = pixelDepth / 8u;
    if (layout.colourMapped ? pixelDepth != 8 : (pixelDepth != 24 && pixelDepth != 32)) return false;

    // The size is the stored width and height; the origin only says where the picture sits.
    layout.width = readLE16(data + 12);
    layout.height = readLE16(data + 14);
    if (layout.width < 1 || layout.height < 1) return false;

    layout.pixelOffset = kHeaderBytes + idLength + (layout.colourMapped ? kPaletteBytes : 0);
    if (layout.pixelOffset > size) return false;
    const size_t available = size - layout.pixelOffset;
    const size_t pixelCount = static_cast<size_t>(layout.width) * static_cast<size_t>(layout.height);
    if (layout.runLength) return pixelCount / kMaxPixelsPerInputByte <= available;
    return pixelCount * layout.bytesPerPixel <= available;
}

// Expands run-length packets into exactly `outSize` bytes; false when the input ends first.
bool expandRuns(const uint8_t* in, size_t inSize, size_t pixelBytes, uint8_t* out, size_t outSize) {
    size_t read = 0, written = 0;
    while (written < outSize) {
        if (read >= inSize) return false;
        const uint8_t header = in[read++];
        const bool repeated = header >= 128;
        const size_t count = repeated ? header - 127u : header + 1u;
        const size_t inputNeeded = repeated ? pixelBytes : count * pixelBytes;
        if (inputNeeded > inSize - read) return false;
        for (size_t i = 0; i < count && written < outSize; ++i) {
            std::memcpy(out + written, in + read + (repeated ? 0 : i * pixelBytes), pixelBytes);
            written += pixelBytes;
        }
        read += inputNeeded;
    }
    return true;
}

}  // namespace

uint32_t Image::LoadTGA(const std::string& path) {
    const FileBytes file = readWholeFile(path);
    if (!file.data) return kImageUnreadable;
    return LoadTGA(file.data.get(), file.size);
}

uint32_t Image::LoadTGA(const uint8_t* data, size_t size) {
    TgaLayout layout;
    if (!readLayout(data, size, layout)) return kImageUnreadable;

    const size_t imageBytes = static_cast<size_t>(layout.width) * layout.height * layout.bytesPerPixel;
    uint8_t* out = new (std::nothrow) uint8_t[imageBytes];
    if (!out) return kImageUnreadable;
    const uint8_t* in = data + layout.pixelOffset;
    if (!layout.runLength) {
        std::memcpy(out, in, imageBytes);
    } else if (!expandRuns(in, size - layout.pixelOffset, layout.bytesPerPixel, out, imageBytes)) {
        delete[] out;
        return kImageUnreadable;
    }
    // True colour is stored B, G, R (, A).
    if (!layout.colourMapped) {
        for (size_t i = 0; i < imageBytes; i += layout.bytesPerPixel) std::swap(out[i], out[i + 2]);
    }
    replacePixels(layout.width, layout.height, static_cast<int32_t>(layout.bytesPerPixel * 8), out);
    return kImageLoaded;
}

}  // namespace QEL
