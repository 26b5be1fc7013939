// Rendering timings: loading a 1024 × 1024 RGBA PNG into a padded Image against LodePNG's bare
// decode of the same file, and rebuilding a set of 16384 quads. Prints the figures; no window.
#include <lodepng.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bestTime.h"
#include "render/Image.h"
#include "render/QuadSet.h"
#include "render/screen.h"
#include "testing/scratchDir.h"

using namespace QEL;

namespace {

using bench::bestMs;

// A picture with some structure, so that it compresses like real art rather than noise or flat colour.
std::string writeTestPng(const std::string& path) {
    const unsigned size = 1024;
    std::vector<unsigned char> raw(size * size * 4);
    for (unsigned y = 0; y < size; ++y)
        for (unsigned x = 0; x < size; ++x) {
            unsigned char* p = &raw[(y * size + x) * 4];
            p[0] = static_cast<unsigned char>(x ^ y);
            p[1] = static_cast<unsigned char>((x * y) >> 6);
            p[2] = static_cast<unsigned char>(x + 3 * y);
            p[3] = static_cast<unsigned char>(((x / 64 + y / 64) & 1) ? 255 : 128 + (rand() & 15));
        }
    lodepng::encode(path, raw, size, size);
    return path;
}

}  // namespace

int main() {
    const testing::ScratchDir dir("kablix-render-bench");
    const std::string path = writeTestPng(dir.file("big.png"));
    const int runs = 15;

    const double bare = bestMs(runs, [&] {
        std::vector<unsigned char> out;
        unsigned w, h;
        lodepng::decode(out, w, h, path);
    });
    const double padded = bestMs(runs, [&] {
        Image image;
        image.LoadPNG_forcePowerOfTwo(path);
    });
    std::printf("PNG 1024x1024 RGBA: LodePNG decode %.2f ms, padded Image load %.2f ms, ratio %.3f (goal <= 1.3)\n",
                bare, padded, padded / bare);

    for (float angle : {0.0f, 33.0f}) {
        QuadSet set(kScreenWidth, kScreenHeight);
        set.unlock();
        for (uint32_t i = 0; i < QuadSet::kMaxQuads; ++i) {
            Quad* quad = set.addQuad();
            quad->position = FloatCoords(pixelToDeviceX(static_cast<float>(i % 568)), pixelToDeviceY(static_cast<float>(i % 320)),
                                         widthFraction(16), heightFraction(16));
            quad->textureRect = FloatCoords(0, 0, 0.5f, 0.5f);
            quad->angle = angle == 0 ? 0 : angle + static_cast<float>(i % 90);
        }
        set.rebuild();  // the first rebuild allocates; the timed ones only rewrite
        const double ms = bestMs(200, [&] {
            set.unlock();
            set.rebuild();
        });
        std::printf("rebuild of %u quads (angle %s): %.3f ms (goal < 1 ms)\n", QuadSet::kMaxQuads,
                    angle == 0 ? "0" : "varied", ms);
    }
    return 0;
}
