// Every sound the game or the pack names decodes as Ogg Vorbis at the mixer's rate and is audible.
#include <gtest/gtest.h>
#include <tremor/ivorbisfile.h>

#include <cstdio>
#include <cstdlib>
#include <set>

#include "app/assetPath.h"
#include "tests/pack/packFiles.h"

namespace QEL {
namespace packtest {
namespace {

struct Decoded {
    long rate = 0;
    int channels = 0;
    long frames = 0;
    int peak = 0;
};

bool decode(const std::string& name, Decoded& out) {
    FILE* f = std::fopen(assetPath(name, "ogg").c_str(), "rb");
    if (!f) return false;
    OggVorbis_File vf;
    if (ov_open(f, &vf, nullptr, 0) != 0) {
        std::fclose(f);
        return false;
    }
    vorbis_info* info = ov_info(&vf, -1);
    out.rate = info->rate;
    out.channels = info->channels;
    char buffer[4096];
    int section = 0;
    long got;
    long samples = 0;
    while ((got = ov_read(&vf, buffer, sizeof buffer, &section)) > 0) {
        const int16_t* s = reinterpret_cast<const int16_t*>(buffer);
        for (long i = 0; i < got / 2; ++i) out.peak = std::max(out.peak, std::abs(static_cast<int>(s[i])));
        samples += got / 2;
    }
    out.frames = samples / std::max(out.channels, 1);
    ov_clear(&vf);  // closes the file
    return got == 0;
}

// The sounds the game itself loads by name, whatever weapon is in hand.
std::set<std::string> sharedSounds() {
    std::set<std::string> names = {"emptySound", "ShellsHittingFloor1", "death01", "death02", "death03", "resurrect",
                                   "dodgeShieldRecharged"};
    for (int i = 1; i <= 6; ++i) names.insert("Digout_0" + std::to_string(i));
    // Three-way variants: the base file and the files with 1 and 2 appended.
    for (const char* v : {"dodgeOn", "dodgeOff", "dodgeFail"})
        for (const char* n : {"", "1", "2"}) names.insert(std::string(v) + n);
    return names;
}

std::set<std::string> packSounds() {
    std::set<std::string> names;
    for (const std::string& weapon : catalogueWeapons()) {
        auto doc = loadXml(weapon);
        if (!doc) continue;
        std::vector<TiXmlElement*> sounds;
        collect(doc->RootElement()->FirstChildElement("sounds"), "sound", sounds);
        for (TiXmlElement* s : sounds) {
            names.insert(text(s));
            for (int v = 1; v <= 3 && assetFileExists(text(s) + "-v" + std::to_string(v), "ogg"); ++v)
                names.insert(text(s) + "-v" + std::to_string(v));
        }
    }
    if (auto effects = loadXml("EFFECTS")) {
        std::vector<TiXmlElement*> sounds;
        collect(effects->RootElement(), "sound", sounds);
        for (TiXmlElement* s : sounds) names.insert(s->Attribute("file"));
    }
    return names;
}

void expectAudible(const std::string& name) {
    Decoded d;
    ASSERT_TRUE(decode(name, d)) << assetPath(name, "ogg") << " does not decode";
    EXPECT_EQ(d.rate, 44100) << name << ": the mixer plays at 44.1 kHz without interpolation";
    EXPECT_EQ(d.channels, 1) << name;
    EXPECT_GT(d.frames, 44100 / 20) << name << " is shorter than 50 ms";
    EXPECT_LT(d.frames, 44100 * 3) << name << " is longer than 3 s";
    EXPECT_GT(d.peak, 32767 / 10) << name << " is quieter than -20 dBFS (peak " << d.peak << ")";
}

TEST(PackSounds, SharedSoundsDecodeAndAreAudible) {
    for (const std::string& name : sharedSounds()) expectAudible(name);
}

TEST(PackSounds, WeaponAndHitEffectSoundsDecodeAndAreAudible) {
    std::set<std::string> names = packSounds();
    EXPECT_GE(names.size(), 15u);
    for (const std::string& name : names) expectAudible(name);
}

}  // namespace
}  // namespace packtest
}  // namespace QEL
