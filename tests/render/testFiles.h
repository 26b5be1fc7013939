// Files written by the rendering tests: a private temporary folder and PNGs made with LodePNG's
// encoder in exactly the colour type asked for (lodepng::load_file / save_file read and write bytes).
#pragma once

#include <lodepng.h>

#include <cstdint>
#include <string>
#include <vector>

#include "testing/scratchDir.h"

namespace renderTest {

// The folder lives as long as the test program and goes with it.
inline std::string tempPath(const std::string& name) {
    static const QEL::testing::ScratchDir dir("kablix-render");
    return dir.file(name);
}

// `raw` is in the file's own format; `palette` holds RGBA quadruples for colour type 3.
inline unsigned writePng(const std::string& path, unsigned w, unsigned h, const std::vector<uint8_t>& raw,
                         LodePNGColorType type, unsigned bits, const std::vector<uint8_t>& palette = {}) {
    lodepng::State state;
    state.encoder.auto_convert = 0;
    state.info_raw.colortype = state.info_png.color.colortype = type;
    state.info_raw.bitdepth = state.info_png.color.bitdepth = bits;
    for (size_t i = 0; i + 3 < palette.size(); i += 4) {
        lodepng_palette_add(&state.info_raw, palette[i], palette[i + 1], palette[i + 2], palette[i + 3]);
        lodepng_palette_add(&state.info_png.color, palette[i], palette[i + 1], palette[i + 2], palette[i + 3]);
    }
    std::vector<uint8_t> png;
    const unsigned error = lodepng::encode(png, raw.data(), w, h, state);
    return error ? error : lodepng::save_file(png, path);
}

}  // namespace renderTest
