// PNG files as the image slots read them: through the path loader that tries PNG, then TGA, and
// through the PNG loader alone with its power-of-two padding.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzzWorld.h"
#include "render/Image.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kablixFuzz::setUpWorld({/*copyPack=*/false});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = kablixFuzz::assetsDir() + "/fuzz.png";
    kablixFuzz::writeBytes(path, data, size);
    QEL::Image png;
    png.LoadPNG_forcePowerOfTwo(path);
    png.mirrorImageY();
    QEL::Image any;
    if (any.Load(path) == QEL::kImageLoaded) any.mirrorImageY();
    return 0;
}
