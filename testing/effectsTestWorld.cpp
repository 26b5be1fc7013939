#include "testing/effectsTestWorld.h"

#include <lodepng.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "base/appTime.h"
#include "testing/scratchDir.h"
#include "testing/soundTestSupport.h"

namespace effectsTest {

namespace {

uint32_t clockNow = 1000;
uint32_t readClock() { return clockNow; }

struct ScratchTree {
    ScratchTree() : root(dir.path) {
        std::filesystem::create_directories(root + "/assets");
        std::filesystem::create_directories(root + "/play");
        if (chdir((root + "/play").c_str()) != 0) std::abort();
    }
    QEL::testing::ScratchDir dir{"kablix-effects"};
    std::string root;
};

ScratchTree& tree() {
    static ScratchTree scratch;
    return scratch;
}

// One encoded sound per process; every sound the tests need is a copy of it.
const std::string& encodedOgg() {
    static std::string path;
    if (path.empty()) {
        const std::string wav = tree().root + "/tone.wav";
        path = tree().root + "/tone.ogg";
        QEL::soundTest::writeFile(wav, QEL::soundTest::wav16(QEL::soundTest::sine(4410, 44100, 440.0, 8000), 1, 44100));
        if (!QEL::soundTest::encodeOgg(wav, path)) std::abort();
    }
    return path;
}

}  // namespace

std::string assetFile(const std::string& fileName) { return tree().root + "/assets/" + fileName; }

// Always 8-bit RGBA in the file: LodePNG would otherwise shrink plain pictures to palette formats.
void writePng(const std::string& baseName, unsigned w, unsigned h, uint32_t top, uint32_t bottom) {
    std::vector<uint8_t> pixels;
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x) {
            const uint32_t c = y < h / 2 ? top : bottom;
            pixels.insert(pixels.end(), {uint8_t(c >> 24), uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
        }
    lodepng::State state;
    state.encoder.auto_convert = 0;
    state.info_png.color.colortype = LCT_RGBA;
    state.info_png.color.bitdepth = 8;
    std::vector<uint8_t> png;
    if (lodepng::encode(png, pixels, w, h, state) != 0) std::abort();
    lodepng::save_file(png, assetFile(baseName + ".png"));
}

void writeOgg(const std::string& baseName) {
    std::filesystem::copy_file(encodedOgg(), assetFile(baseName + ".ogg"),
                               std::filesystem::copy_options::overwrite_existing);
}

void writeText(const std::string& fileName, const std::string& text) {
    std::ofstream(assetFile(fileName), std::ios::trunc) << text;
}

void setNow(uint32_t ms) { clockNow = ms; }

void EffectsTest::SetUp() {
    GLTest::SetUp();
    tree();
    clockNow = 1000;
    QEL::setAppTimeSourceForTesting(&readClock);
    std::srand(1);
}

void EffectsTest::TearDown() { QEL::setAppTimeSourceForTesting(nullptr); }

}  // namespace effectsTest
