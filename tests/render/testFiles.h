// Files written by the rendering tests: a private temporary folder and PNGs made with LodePNG's
// encoder in exactly the colour type asked for.
#pragma once

#include <lodepng.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace renderTest {

inline std::string tempDir() {
    static std::string dir;
    if (dir.empty()) {
        char pattern[] = "/tmp/kablix-render-XXXXXX";
        dir = mkdtemp(pattern);
    }
    return dir;
}

inline std::string tempPath(const std::string& name) { return tempDir() + "/" + name; }

inline void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// `raw` is in the file's own format (bytes per row rounded up to whole bytes by LodePNG's rules).
// `palette` holds RGBA quadruples for colour type 3.
inline unsigned writePng(const std::string& path, unsigned w, unsigned h, const std::vector<uint8_t>& raw,
                         LodePNGColorType type, unsigned bits, const std::vector<uint8_t>& palette = {}) {
    lodepng::State state;
    state.encoder.auto_convert = 0;
    state.info_raw.colortype = type;
    state.info_raw.bitdepth = bits;
    state.info_png.color.colortype = type;
    state.info_png.color.bitdepth = bits;
    for (size_t i = 0; i + 3 < palette.size(); i += 4) {
        lodepng_palette_add(&state.info_raw, palette[i], palette[i + 1], palette[i + 2], palette[i + 3]);
        lodepng_palette_add(&state.info_png.color, palette[i], palette[i + 1], palette[i + 2], palette[i + 3]);
    }
    std::vector<uint8_t> png;
    const unsigned error = lodepng::encode(png, raw.data(), w, h, state);
    if (error == 0) writeBytes(path, png);
    return error;
}

// An RGBA picture whose pixel (x, y), y from the top, is (x, y, x + y, 200) modulo 256.
inline std::vector<uint8_t> patternRGBA(unsigned w, unsigned h) {
    std::vector<uint8_t> raw(static_cast<size_t>(w) * h * 4);
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x) {
            uint8_t* p = &raw[(static_cast<size_t>(y) * w + x) * 4];
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(y);
            p[2] = static_cast<uint8_t>(x + y);
            p[3] = 200;
        }
    return raw;
}

}  // namespace renderTest
