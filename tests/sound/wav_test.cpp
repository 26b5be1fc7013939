// WAV decoding against samples the tests encode, the failure codes, and hostile bytes.
#include <gtest/gtest.h>

#include <cstring>

#include "soundTestSupport.h"

using namespace QEL;
using namespace QEL::soundTest;

namespace {

std::vector<int16_t> samplesOf(const hssSound& sound) {
    const int16_t* p = static_cast<const int16_t*>(sound.getData());
    return std::vector<int16_t>(p, p + sound.getLength() * (sound.isStereo() ? 2 : 1));
}

int32_t loadBytes(hssSound& sound, const std::vector<uint8_t>& image) {
    return sound.loadWav(image.data(), image.size());
}

}  // namespace

TEST(Wav, SixteenAndEightBitDataIsKeptAsWritten) {
    std::vector<int16_t> pcm = sine(1000, 22050, 440.0, 30000, 2, 660.0);
    hssSound sound;
    ASSERT_EQ(loadBytes(sound, wav16(pcm, 2, 22050)), 0);
    EXPECT_EQ(sound.getKind(), hssSoundMemory);
    EXPECT_TRUE(sound.isStereo());
    EXPECT_FALSE(sound.is8Bit());
    EXPECT_EQ(sound.getLength(), 1000);
    EXPECT_EQ(sound.getSampleRate(), 22050);
    EXPECT_EQ(sound.getBaseRate(), 22050);
    EXPECT_EQ(samplesOf(sound), pcm);

    std::vector<uint8_t> bytes = {0, 64, 128, 200, 255};
    ASSERT_EQ(loadBytes(sound, wav8(bytes, 1, 8000)), 0);
    EXPECT_TRUE(sound.is8Bit());
    EXPECT_EQ(sound.getLength(), 5);
    EXPECT_EQ(std::memcmp(sound.getData(), bytes.data(), bytes.size()), 0);
}

TEST(Wav, AdpcmDecodesWhatTheEncoderProduced) {
    for (int32_t channels : {1, 2}) {
        std::vector<int16_t> pcm = sine(3001, 22050, 300.0, 20000, channels, 500.0);
        std::vector<int16_t> expected;
        hssSound sound;
        ASSERT_EQ(loadBytes(sound, wavAdpcm(pcm, channels, 22050, 256 * channels, &expected)), 0);
        EXPECT_EQ(sound.isStereo(), channels == 2);
        ASSERT_EQ(samplesOf(sound), expected) << channels << " channels";
        // And the codec really follows the signal.
        for (size_t i = 0; i < expected.size(); ++i) ASSERT_NEAR(expected[i], pcm[i], 3000) << i;
    }
}

TEST(Wav, LayoutsThatCannotPlayGiveTheirCodes) {
    hssSound sound;
    std::vector<uint8_t> good = wav16(std::vector<int16_t>(100, 5), 1, 44100);

    std::vector<uint8_t> noFormat = good;
    std::memcpy(noFormat.data() + 12, "LIST", 4);
    EXPECT_EQ(loadBytes(sound, noFormat), hssErrBadWav);

    EXPECT_EQ(loadBytes(sound, wavRaw(1, 1, 44100, 24, {}, std::vector<uint8_t>(300, 1))), hssErrFormat);
    EXPECT_EQ(loadBytes(sound, wavRaw(1, 3, 44100, 16, {}, std::vector<uint8_t>(300, 1))), hssErrFormat);
    EXPECT_EQ(loadBytes(sound, wavRaw(17, 1, 44100, 4, std::vector<uint8_t>(34, 0), std::vector<uint8_t>(300, 1))),
              hssErrFormat);
    EXPECT_EQ(loadBytes(sound, wavRaw(1, 1, 0, 16, {}, std::vector<uint8_t>(300, 1))), hssErrFormat);
    EXPECT_EQ(loadBytes(sound, wavRaw(1, 1, 44100, 16, {}, {})), hssErrBadWav);  // empty data

    std::vector<uint8_t> noData = good;
    std::memcpy(noData.data() + 36, "junk", 4);
    EXPECT_EQ(loadBytes(sound, noData), hssErrBadWav);
    EXPECT_EQ(sound.getKind(), hssSoundNone);

    EXPECT_EQ(sound.load("/nonexistent/kablix/missing.wav"), hssErrCannotOpen);
}

TEST(Wav, ChunksBeforeTheDataAreSkippedWithTheirPadding) {
    std::vector<int16_t> pcm = {1, 2, 3, 4};
    std::vector<uint8_t> image = wav16(pcm, 1, 44100);
    // An odd-sized chunk (padded to even) between "fmt " and "data".
    std::vector<uint8_t> extra = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    image.insert(image.begin() + 36, extra.begin(), extra.end());
    hssSound sound;
    ASSERT_EQ(loadBytes(sound, image), 0);
    EXPECT_EQ(samplesOf(sound), pcm);
}

TEST(Wav, TruncatedAndDamagedFilesNeverCrash) {
    std::vector<int16_t> unused;
    std::vector<std::vector<uint8_t>> images = {
        wav16(sine(300, 44100, 440.0, 10000), 1, 44100),
        wavAdpcm(sine(600, 22050, 300.0, 10000, 2), 2, 22050, 512, &unused),
    };
    for (const auto& full : images) {
        for (size_t cut = 0; cut < full.size(); ++cut) {
            hssSound sound;
            int32_t result = sound.loadWav(full.data(), cut);
            if (result == 0) {
                EXPECT_GT(sound.getLength(), 0);
                EXPECT_LE(sound.getLength(), 600);
            }
        }
        for (size_t at = 0; at < 80; ++at)
            for (uint8_t value : {0x00, 0x7F, 0x80, 0xFF}) {
                std::vector<uint8_t> damaged = full;
                damaged[at] = value;
                hssSound sound;
                if (sound.loadWav(damaged.data(), damaged.size()) == 0) {
                    auto speaker = offlineSpeaker(0, 2);
                    start(*speaker, sound);
                    render(*speaker, 700);  // play it through: every read stays inside the data
                }
            }
    }
}

TEST(Wav, LoadsFromDiskThroughItsPath) {
    ScratchDir dir;
    std::vector<int16_t> pcm = sine(100, 44100, 440.0, 1000);
    writeFile(dir.file("tone.wav"), wav16(pcm, 1, 44100));
    hssSound sound;
    ASSERT_EQ(sound.load(dir.file("tone.wav").c_str()), 0);
    EXPECT_EQ(samplesOf(sound), pcm);
}
