#include "testing/effectsTestWorld.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/appTime.h"
#include "testing/scratchDir.h"
#include "testing/soundTestSupport.h"

namespace effectsTest {

namespace {

uint32_t clockNow = 1000;
uint32_t readClock() { return clockNow; }

const std::string& root() {
    static QEL::testing::ScratchDir dir{"kablix-effects"};
    static const std::string path = [] {
        std::filesystem::create_directories(dir.path + "/assets");
        std::filesystem::create_directories(dir.path + "/play");
        if (chdir((dir.path + "/play").c_str()) != 0) std::abort();
        return dir.path;
    }();
    return path;
}

}  // namespace

std::string assetFile(const std::string& fileName) { return root() + "/assets/" + fileName; }

void writePng(const std::string& path, unsigned w, unsigned h, const std::vector<uint8_t>& raw,
              LodePNGColorType type, unsigned bits, const std::vector<uint8_t>& palette) {
    lodepng::State state;
    state.encoder.auto_convert = 0;  // LodePNG would otherwise pick the smallest colour type
    state.info_raw.colortype = state.info_png.color.colortype = type;
    state.info_raw.bitdepth = state.info_png.color.bitdepth = bits;
    for (size_t i = 0; i + 3 < palette.size(); i += 4) {
        lodepng_palette_add(&state.info_raw, palette[i], palette[i + 1], palette[i + 2], palette[i + 3]);
        lodepng_palette_add(&state.info_png.color, palette[i], palette[i + 1], palette[i + 2], palette[i + 3]);
    }
    std::vector<uint8_t> png;
    if (lodepng::encode(png, raw.data(), w, h, state) != 0 || lodepng::save_file(png, path) != 0) std::abort();
}

void writePicture(const std::string& baseName, unsigned w, unsigned h, uint32_t top, uint32_t bottom) {
    std::vector<uint8_t> pixels;
    for (unsigned i = 0; i < w * h; ++i) {
        const uint32_t c = i < w * h / 2 ? top : bottom;
        pixels.insert(pixels.end(), {uint8_t(c >> 24), uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
    }
    writePng(assetFile(baseName + ".png"), w, h, pixels);
}

void writeOgg(const std::string& baseName) {
    static const std::string tone = [] {
        namespace sound = QEL::soundTest;
        const std::string wav = root() + "/tone.wav", ogg = root() + "/tone.ogg";
        sound::writeFile(wav, sound::wav16(sound::sine(4410, 44100, 440.0, 8000), 1, 44100));
        if (!sound::encodeOgg(wav, ogg)) std::abort();
        return ogg;
    }();
    std::filesystem::copy_file(tone, assetFile(baseName + ".ogg"), std::filesystem::copy_options::overwrite_existing);
}

void writeText(const std::string& fileName, const std::string& text) {
    std::ofstream(assetFile(fileName), std::ios::trunc) << text;
}

void setNow(uint32_t ms) { clockNow = ms; }

void EffectsTest::SetUp() {
    GLTest::SetUp();
    clockNow = 1000;
    QEL::setAppTimeSourceForTesting(&readClock);
    std::srand(1);
}

void EffectsTest::TearDown() { QEL::setAppTimeSourceForTesting(nullptr); }

}  // namespace effectsTest
