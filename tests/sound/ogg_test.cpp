// Ogg Vorbis streamed per channel through the shared file.
#include <gtest/gtest.h>

#include <cmath>

#include "testing/soundTestSupport.h"

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

    // Left output of `frames` frames of `source` with channels hard left (full amplitude, no
    // rounding), one channel per start position.
    std::vector<int16_t> renderFrom(hssSound& source, const std::vector<int64_t>& starts, int32_t frames) {
        auto speaker = offlineSpeaker();
        for (int64_t frame : starts) speaker->getChannel(start(*speaker, source, 64, 0))->setPosition(frame);
        std::vector<int16_t> out = render(*speaker, frames), left;
        for (int32_t f = 0; f < frames; ++f) left.push_back(out[2 * f]);
        return left;
    }

    ScratchDir dir;
    hssSound sound;
};

}  // namespace

TEST_F(OggTest, StreamsTheFilesSignalAsDecodingIntoMemoryDoes) {
    EXPECT_EQ(sound.getKind(), hssSoundStream);
    EXPECT_TRUE(sound.isStereo());
    EXPECT_EQ(sound.getSampleRate(), 44100);
    EXPECT_EQ(sound.getLength(), 44100);

    hssSound decoded;
    ASSERT_EQ(decoded.load(dir.file("tone.ogg").c_str(), hssLoadDecodeOgg), 0);
    EXPECT_EQ(decoded.getKind(), hssSoundMemory);
    EXPECT_EQ(decoded.getLength(), 44100);
    std::vector<int16_t> streamed = renderFrom(sound, {0}, 4410);
    ASSERT_EQ(renderFrom(decoded, {0}, 4410), streamed);

    // Hard left sums both source sides (two 8000-peak sines): RMS near 8000.
    double energy = 0.0;
    for (int16_t s : streamed) energy += static_cast<double>(s) * s;
    EXPECT_NEAR(std::sqrt(energy / streamed.size()), 8000.0, 1200.0);
}

TEST_F(OggTest, TwoChannelsOnOneFileMixWhatEachWouldAlone) {
    const int32_t frames = 5000;
    std::vector<int16_t> first = renderFrom(sound, {0}, frames);
    std::vector<int16_t> second = renderFrom(sound, {12345}, frames);
    std::vector<int16_t> both = renderFrom(sound, {0, 12345}, frames);
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
}
