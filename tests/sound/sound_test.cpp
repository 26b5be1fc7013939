// WAV decoding against samples the tests encode, the failure codes, and cut files.
#include <gtest/gtest.h>

#include <cstring>

#include "testing/soundTestSupport.h"

using namespace QEL;
using namespace QEL::soundTest;

namespace {

std::vector<int16_t> samplesOf(const hssSound& sound) {
    const int16_t* p = static_cast<const int16_t*>(sound.getData());
    return std::vector<int16_t>(p, p + sound.getLength() * (sound.isStereo() ? 2 : 1));
}

int32_t loadBytes(hssSound& sound, const std::vector<uint8_t>& image) { return sound.loadWav(image.data(), image.size()); }

}  // namespace

TEST(Wav, SixteenAndEightBitDataIsKeptAsWrittenAndChunksBeforeTheDataAreSkipped) {
    std::vector<int16_t> pcm = sine(1000, 22050, 440.0, 30000, 2, 660.0);
    std::vector<uint8_t> image = wav16(pcm, 2, 22050);
    // An odd-sized chunk (padded to even) between "fmt " and "data"; loaded from disk by its path.
    const std::vector<uint8_t> extra = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    image.insert(image.begin() + 36, extra.begin(), extra.end());
    ScratchDir dir;
    writeFile(dir.file("tone.wav"), image);
    hssSound sound;
    ASSERT_EQ(sound.load(dir.file("tone.wav").c_str()), 0);
    EXPECT_EQ(sound.getKind(), hssSoundMemory);
    EXPECT_TRUE(sound.isStereo());
    EXPECT_FALSE(sound.is8Bit());
    EXPECT_EQ(sound.getLength(), 1000);
    EXPECT_EQ(sound.getSampleRate(), 22050);
    EXPECT_EQ(samplesOf(sound), pcm);

    std::vector<uint8_t> bytes = {0, 64, 128, 200, 255};
    ASSERT_EQ(loadBytes(sound, wavRaw(1, 1, 8000, 8, {}, bytes)), 0);
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
    const std::vector<uint8_t> good = wav16(std::vector<int16_t>(100, 5), 1, 44100), data(300, 1);
    std::vector<uint8_t> noFormat = good, noData = good;
    std::memcpy(noFormat.data() + 12, "LIST", 4);
    std::memcpy(noData.data() + 36, "junk", 4);
    struct {
        const char* what;
        std::vector<uint8_t> image;
        int32_t result;
    } const cases[] = {
        {"no fmt chunk", noFormat, hssErrBadWav},
        {"no data chunk", noData, hssErrBadWav},
        {"empty data", wavRaw(1, 1, 44100, 16, {}, {}), hssErrBadWav},
        {"24-bit", wavRaw(1, 1, 44100, 24, {}, data), hssErrFormat},
        {"three channels", wavRaw(1, 3, 44100, 16, {}, data), hssErrFormat},
        {"4-bit, not ADPCM", wavRaw(17, 1, 44100, 4, std::vector<uint8_t>(34, 0), data), hssErrFormat},
        {"rate 0", wavRaw(1, 1, 0, 16, {}, data), hssErrFormat},
    };
    for (const auto& c : cases) {
        hssSound sound;
        EXPECT_EQ(loadBytes(sound, c.image), c.result) << c.what;
        EXPECT_EQ(sound.getKind(), hssSoundNone) << c.what;
    }
    hssSound sound;
    EXPECT_EQ(sound.load("/nonexistent/kablix/missing.wav"), hssErrCannotOpen);
}

TEST(Wav, TruncatedFilesNeverCrashAndPlayWhatTheyHold) {
    std::vector<int16_t> unused;
    const std::vector<uint8_t> images[] = {
        wav16(sine(300, 44100, 440.0, 10000), 1, 44100),
        wavAdpcm(sine(600, 22050, 300.0, 10000, 2), 2, 22050, 512, &unused),
    };
    auto speaker = offlineSpeaker(0, 2);
    for (const auto& full : images)
        for (size_t cut = 0; cut < full.size(); ++cut) {
            // A heap copy of exactly `cut` bytes lets the sanitizer build catch any overread.
            const std::vector<uint8_t> image(full.begin(), full.begin() + static_cast<long>(cut));
            hssSound sound;
            if (loadBytes(sound, image) != 0) continue;
            ASSERT_GT(sound.getLength(), 0) << cut;
            ASSERT_LE(sound.getLength(), 600) << cut;
            int32_t handle = start(*speaker, sound);
            render(*speaker, 1300);  // 600 frames at half the output rate
            ASSERT_TRUE(speaker->getSoundChannel(handle)->isFree()) << cut;
        }
}
