// TGA pictures from a buffer: uncompressed and run-length, true colour and colour-mapped.
#include <cstddef>
#include <cstdint>

#include "render/Image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QEL::Image image;
    if (image.LoadTGA(data, size) == QEL::kImageLoaded) image.mirrorImageY();
    return 0;
}
