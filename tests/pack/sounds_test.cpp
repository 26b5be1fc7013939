// Every sound the game or the pack names decodes as Ogg Vorbis at the mixer's rate and is audible.
#include <gtest/gtest.h>
#include <tremor/ivorbisfile.h>

#include <cstdio>
#include <cstdlib>
#include <set>

#include "base/assetPath.h"
#include "tests/pack/packFiles.h"

namespace QEL {
namespace packtest {
namespace {

void expectAudible(const std::string& name) {
    SCOPED_TRACE(name);
    FILE* f = std::fopen(assetPath(name, "ogg").c_str(), "rb");
    ASSERT_NE(f, nullptr) << "missing";
    OggVorbis_File vf;
    if (ov_open(f, &vf, nullptr, 0) != 0) {
        std::fclose(f);
        FAIL() << "not Ogg Vorbis";
    }
    const vorbis_info* info = ov_info(&vf, -1);
    EXPECT_EQ(info->rate, 44100) << "the mixer plays at 44.1 kHz without interpolation";
    EXPECT_EQ(info->channels, 1);
    char buffer[4096];
    int section = 0, peak = 0;
    long got, samples = 0;
    while ((got = ov_read(&vf, buffer, sizeof buffer, &section)) > 0) {
        const int16_t* s = reinterpret_cast<const int16_t*>(buffer);
        for (long i = 0; i < got / 2; ++i) peak = std::max(peak, std::abs(static_cast<int>(s[i])));
        samples += got / 2;
    }
    ov_clear(&vf);  // closes the file
    EXPECT_EQ(got, 0) << "does not decode to the end";
    EXPECT_GT(samples, 44100 / 20) << "shorter than 50 ms";
    EXPECT_LT(samples, 44100 * 3) << "longer than 3 s";
    EXPECT_GT(peak, 32767 / 10) << "quieter than -20 dBFS";
}

TEST(PackSounds, SharedSoundsDecodeAndAreAudible) {
    // The sounds the game itself loads by name, whatever weapon is in hand.
    std::set<std::string> names = {"emptySound", "ShellsHittingFloor1", "death01", "death02", "death03", "resurrect",
                                   "dodgeShieldRecharged"};
    for (int i = 1; i <= 6; ++i) names.insert("Digout_0" + std::to_string(i));
    for (const char* v : {"dodgeOn", "dodgeOff", "dodgeFail"})
        for (const char* n : {"", "1", "2"}) names.insert(std::string(v) + n);
    for (const std::string& name : names) expectAudible(name);
}

TEST(PackSounds, WeaponAndHitEffectSoundsDecodeAndAreAudible) {
    std::set<std::string> names;
    for (const std::string& weapon : catalogueWeapons()) {
        auto doc = loadXml(weapon);
        ASSERT_TRUE(doc) << weapon;
        for (TiXmlElement* s : all(doc->RootElement()->FirstChildElement("sounds"), "sound")) {
            names.insert(text(s));
            for (int v = 1; v <= 3 && assetFileExists(text(s) + "-v" + std::to_string(v), "ogg"); ++v)
                names.insert(text(s) + "-v" + std::to_string(v));
        }
    }
    auto effects = loadXml("EFFECTS");
    ASSERT_TRUE(effects);
    for (TiXmlElement* s : all(effects->RootElement(), "sound")) names.insert(s->Attribute("file"));
    EXPECT_GE(names.size(), 15u);
    for (const std::string& name : names) expectAudible(name);
}

}  // namespace
}  // namespace packtest
}  // namespace QEL
