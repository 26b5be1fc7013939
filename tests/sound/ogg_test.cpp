// Ogg Vorbis streamed per channel through the shared file.
#include <gtest/gtest.h>

#include <cmath>

#include "soundTestSupport.h"

using namespace QEL;
using namespace QEL::soundTest;

namespace {

class OggTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(dir.file("tone.wav"), wav16(sine(44100, 44100, 440.0, 8000, 2, 550.0), 2, 44100));
        ASSERT_TRUE(encodeOgg(dir.file("tone.wav"), dir.file("tone.ogg"))) << "oggenc (vorbis-tools) needed";
        ASSERT_EQ(sound.load(dir.file("tone.ogg").c_str()), 0);
    }

    // Left output of `frames` frames with channels hard left (full amplitude, no rounding),
    // one channel per start position.
    std::vector<int16_t> renderFrom(const std::vector<int64_t>& starts, int32_t frames) {
        auto speaker = offlineSpeaker();
        for (int64_t frame : starts) {
            int32_t handle = start(*speaker, sound, 64, 0);
            if (frame > 0) speaker->getChannel(handle)->setPosition(frame);
        }
        std::vector<int16_t> out = render(*speaker, frames);
        std::vector<int16_t> left;
        for (int32_t f = 0; f < frames; ++f) left.push_back(out[2 * f]);
        return left;
    }

    ScratchDir dir;
    hssSound sound;
};

}  // namespace

TEST_F(OggTest, StreamsWithTheFilesFormatAndLength) {
    EXPECT_EQ(sound.getKind(), hssSoundStream);
    EXPECT_TRUE(sound.isStereo());
    EXPECT_EQ(sound.getSampleRate(), 44100);
    EXPECT_EQ(sound.getLength(), 44100);

    std::vector<int16_t> left = renderFrom({0}, 4410);
    double energy = 0.0;
    for (int16_t s : left) energy += static_cast<double>(s) * s;
    double rms = std::sqrt(energy / left.size());
    // Hard left sums both source sides (two 8000-peak sines): RMS near 8000.
    EXPECT_NEAR(rms, 8000.0, 1200.0);
}

TEST_F(OggTest, TwoChannelsOnOneFileMixWhatEachWouldAlone) {
    const int32_t frames = 5000;
    std::vector<int16_t> first = renderFrom({0}, frames);
    std::vector<int16_t> second = renderFrom({12345}, frames);
    std::vector<int16_t> both = renderFrom({0, 12345}, frames);
    for (int32_t f = 0; f < frames; ++f) ASSERT_EQ(both[f], first[f] + second[f]) << "frame " << f;
}

TEST_F(OggTest, AStreamEndsAtItsLengthAndCanBeReplayed) {
    auto speaker = offlineSpeaker();
    int32_t handle = start(*speaker, sound);
    speaker->getChannel(handle)->setPosition(44100 - 100);
    std::vector<int16_t> out = render(*speaker, 300);
    EXPECT_TRUE(speaker->getSoundChannel(handle)->isFree());
    for (int32_t f = 150; f < 300; ++f) ASSERT_EQ(out[2 * f], 0);
    EXPECT_EQ(start(*speaker, sound), handle);  // the channel (and its block buffer) is reused
    EXPECT_NE(render(*speaker, 200), std::vector<int16_t>(400, 0));
}

TEST_F(OggTest, FilesThatAreNotVorbisOrMissing) {
    writeFile(dir.file("fake.ogg"), std::vector<uint8_t>(4000, 0x4F));
    hssSound other;
    EXPECT_EQ(other.load(dir.file("fake.ogg").c_str()), hssErrFormat);
    EXPECT_EQ(other.load(dir.file("missing.ogg").c_str()), hssErrCannotOpen);
    EXPECT_EQ(other.getKind(), hssSoundNone);

    std::vector<uint8_t> ogg;
    {
        FILE* f = std::fopen(dir.file("tone.ogg").c_str(), "rb");
        ASSERT_NE(f, nullptr);
        int c;
        while ((c = std::fgetc(f)) != EOF) ogg.push_back(static_cast<uint8_t>(c));
        std::fclose(f);
    }
    writeFile(dir.file("cut.ogg"), std::vector<uint8_t>(ogg.begin(), ogg.begin() + ogg.size() / 3));
    if (other.load(dir.file("cut.ogg").c_str()) == 0) {  // a cut stream plays what it holds
        auto speaker = offlineSpeaker();
        int32_t handle = start(*speaker, other);
        render(*speaker, 44100);
        EXPECT_TRUE(speaker->getSoundChannel(handle)->isFree());
    }
}

TEST_F(OggTest, DecodingIntoMemoryMatchesStreaming) {
    hssSound decoded;
    ASSERT_EQ(decoded.load(dir.file("tone.ogg").c_str(), hssLoadDecodeOgg), 0);
    EXPECT_EQ(decoded.getKind(), hssSoundMemory);
    EXPECT_EQ(decoded.getLength(), 44100);
    auto speaker = offlineSpeaker();
    start(*speaker, decoded, 64, 0);
    std::vector<int16_t> out = render(*speaker, 3000);
    std::vector<int16_t> streamed = renderFrom({0}, 3000);
    for (int32_t f = 0; f < 3000; ++f) ASSERT_EQ(out[2 * f], streamed[f]) << f;
}
