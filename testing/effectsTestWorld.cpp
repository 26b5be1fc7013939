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
    static const bool made = std::filesystem::create_directories(dir.path + "/assets") &&
                             std::filesystem::create_directories(dir.path + "/play") &&
                             chdir((dir.path + "/play").c_str()) == 0;
    if (!made) std::abort();
    return dir.path;
}
}  // namespace

std::string assetFile(const std::string& fileName) { return root() + "/assets/" + fileName; }

void writePng(const std::string& path, unsigned w, unsigned h, const std::vector<uint8_t>& raw,
              LodePNGColorType type, unsigned bits, const std::vector<uint8_t>& palette) {
    lodepng::State state;
    state.encoder.auto_convert = 0;  // LodePNG would otherwise pick the smallest colour type
    for (LodePNGColorMode* mode : {&state.info_raw, &state.info_png.color}) {
        mode->colortype = type, mode->bitdepth = bits;
        for (size_t i = 0; i + 3 < palette.size(); i += 4)
            lodepng_palette_add(mode, palette[i], palette[i + 1], palette[i + 2], palette[i + 3]);
    }
    std::vector<uint8_t> png;
    if (lodepng::encode(png, raw.data(), w, h, state) != 0 || lodepng::save_file(png, path) != 0) std::abort();
}

void writePicture(const std::string& baseName, unsigned w, unsigned h, uint32_t top, uint32_t bottom) {
    std::vector<uint8_t> pixels;
    for (unsigned i = 0; i < w * h; ++i)
        for (int shift : {24, 16, 8, 0}) pixels.push_back(uint8_t((i < w * h / 2 ? top : bottom) >> shift));
    writePng(assetFile(baseName + ".png"), w, h, pixels);
}

void writeOgg(const std::string& baseName) {
    static const std::string tone = [] {
        const std::string wav = root() + "/tone.wav", ogg = root() + "/tone.ogg";
        QEL::soundTest::writeFile(wav, QEL::soundTest::wav16(QEL::soundTest::sine(4410, 44100, 440.0, 8000), 1, 44100));
        if (!QEL::soundTest::encodeOgg(wav, ogg)) std::abort();
        return ogg;
    }();
    std::filesystem::copy_file(tone, assetFile(baseName + ".ogg"), std::filesystem::copy_options::overwrite_existing);
}

void writeText(const std::string& fileName, const std::string& text) { std::ofstream(assetFile(fileName)) << text; }

void setNow(uint32_t ms) { clockNow = ms; }

void EffectsTest::SetUp() {
    GLTest::SetUp();
    clockNow = 1000;
    QEL::setAppTimeSourceForTesting(&readClock);
    std::srand(1);
}

void EffectsTest::TearDown() { QEL::setAppTimeSourceForTesting(nullptr); }

}  // namespace effectsTest
