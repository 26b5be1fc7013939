// The mixer's arithmetic on rendered buffers: steps, volume, pan, clamping, 8-bit sources, the end.
#include <gtest/gtest.h>

#include "soundTestSupport.h"

using namespace QEL;
using namespace QEL::soundTest;

namespace {

// A loaded in-memory sound from a WAV image.
struct MemorySound {
    explicit MemorySound(const std::vector<uint8_t>& image) { result = sound.loadWav(image.data(), image.size()); }
    hssSound sound;
    int32_t result;
};

std::vector<int16_t> ramp(int32_t frames, int32_t first) {
    std::vector<int16_t> out;
    for (int32_t i = 0; i < frames; ++i) out.push_back(static_cast<int16_t>(first + 10 * i));
    return out;
}

std::vector<int16_t> constant(int32_t frames, int16_t value) { return std::vector<int16_t>(frames, value); }

}  // namespace

TEST(Mixer, HalfRateSourceAdvancesHalfAFramePerOutputFrameAndSpeedScalesTheStep) {
    auto speaker = offlineSpeaker();
    MemorySound source(wav16(ramp(4000, 1000), 1, 22050));
    ASSERT_EQ(source.result, 0);

    int32_t handle = start(*speaker, source.sound);  // speed 128: step 128 in 24.8
    std::vector<int16_t> out = render(*speaker, 200);
    for (int32_t f = 0; f < 200; ++f) {
        int32_t expected = (1000 + 10 * (f / 2)) * 64 / 128;  // nearest (lower) sample, centred
        ASSERT_EQ(out[2 * f], expected) << "frame " << f;
        ASSERT_EQ(out[2 * f + 1], expected) << "frame " << f;
    }
    EXPECT_EQ(speaker->getChannel(handle)->getPosition(), 100);

    speaker->getChannel(handle)->stop();
    start(*speaker, source.sound, 64, 128, 256);
    out = render(*speaker, 100);
    for (int32_t f = 0; f < 100; ++f) ASSERT_EQ(out[2 * f], (1000 + 10 * f) * 64 / 128) << "frame " << f;

    hssChannel* channel = speaker->getChannel(handle);
    channel->setSpeed(0);
    int64_t held = channel->getPosition();
    out = render(*speaker, 50);
    EXPECT_EQ(channel->getPosition(), held);
    for (int32_t f = 0; f < 50; ++f) ASSERT_EQ(out[2 * f], out[0]);
}

TEST(Mixer, CentredFullScaleGivesHalfPerSideAndSumsClampAtFullScale) {
    auto speaker = offlineSpeaker();
    MemorySound high(wav16(constant(1000, 32767), 1, 44100));
    MemorySound low(wav16(constant(1000, -32768), 1, 44100));

    start(*speaker, high.sound);
    std::vector<int16_t> out = render(*speaker, 10);
    EXPECT_EQ(out[0], 16383);
    EXPECT_EQ(out[1], 16383);

    start(*speaker, high.sound);
    out = render(*speaker, 10);
    EXPECT_EQ(out[0], 32767);  // two in phase reach full scale (one division of the sum)

    start(*speaker, high.sound);
    out = render(*speaker, 10);
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[1], 32767);

    auto other = offlineSpeaker();
    for (int i = 0; i < 3; ++i) start(*other, low.sound);
    out = render(*other, 10);
    EXPECT_EQ(out[0], -32768);
}

TEST(Mixer, VolumeScalesInSixtyFourthsAndHardPansPutTheSoundOnOneSide) {
    auto speaker = offlineSpeaker();
    MemorySound tone(wav16(constant(1000, 32767), 1, 44100));

    int32_t handle = start(*speaker, tone.sound, 32);
    EXPECT_EQ(render(*speaker, 1)[0], 32767 * 32 / 128);
    speaker->getChannel(handle)->setVolume(0);
    EXPECT_EQ(render(*speaker, 1)[0], 0);

    speaker->getChannel(handle)->setVolume(64);
    speaker->getChannel(handle)->setPan(0);
    std::vector<int16_t> out = render(*speaker, 1);
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[1], 0);

    // 255 is the right edge: (2v * 255) / 256 leaves one 128th on the left.
    speaker->getChannel(handle)->setPan(256);
    EXPECT_EQ(speaker->getChannel(handle)->getPan(), 255);
    out = render(*speaker, 1);
    EXPECT_EQ(out[1], 32767 * 127 / 128);
    EXPECT_EQ(out[0], 32767 / 128);
}

TEST(Mixer, StereoSourcesKeepTheirSidesWhenCentred) {
    auto speaker = offlineSpeaker();
    std::vector<int16_t> frames;
    for (int i = 0; i < 100; ++i) {
        frames.push_back(20000);
        frames.push_back(-8000);
    }
    MemorySound stereoSound(wav16(frames, 2, 44100));
    ASSERT_EQ(stereoSound.sound.getLength(), 100);
    start(*speaker, stereoSound.sound);
    std::vector<int16_t> out = render(*speaker, 1);
    EXPECT_EQ(out[0], 10000);
    EXPECT_EQ(out[1], -4000);
}

TEST(Mixer, EightBitSourcesAreCentredOnZero) {
    auto speaker = offlineSpeaker();
    MemorySound eight(wav8({128, 255, 0, 128}, 1, 44100));
    ASSERT_EQ(eight.result, 0);
    EXPECT_TRUE(eight.sound.is8Bit());
    start(*speaker, eight.sound, 64, 0);  // hard left: the full amplitude
    std::vector<int16_t> out = render(*speaker, 4);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[2], 127 * 256);
    EXPECT_EQ(out[4], -128 * 256);
    EXPECT_EQ(out[6], 0);
}

TEST(Mixer, MonoAndEightBitOutputs) {
    MemorySound tone(wav16(constant(100, 16384), 1, 44100));
    auto mono = offlineSpeaker(8, 64, 16, 0);
    start(*mono, tone.sound);
    int16_t sample = 0;
    mono->mix(reinterpret_cast<uint8_t*>(&sample), 2);
    EXPECT_EQ(sample, 8192);

    auto eightBit = offlineSpeaker(8, 64, 8, 1);
    uint8_t silence[4];
    eightBit->mix(silence, 4);
    EXPECT_EQ(silence[0], 0x80);
    start(*eightBit, tone.sound, 64, 0);
    uint8_t out[2];
    eightBit->mix(out, 2);
    EXPECT_EQ(out[0], 128 + 64);
    EXPECT_EQ(out[1], 128);
}

TEST(Mixer, ASoundThatEndsLeavesSilenceAndFreesItsChannel) {
    auto speaker = offlineSpeaker();
    MemorySound shortSound(wav16(constant(10, 1000), 1, 44100));
    int32_t handle = start(*speaker, shortSound.sound);
    std::vector<int16_t> out = render(*speaker, 30);
    EXPECT_EQ(out[2 * 9], 500);
    EXPECT_EQ(out[2 * 10], 0);
    EXPECT_EQ(out[2 * 29], 0);
    EXPECT_TRUE(speaker->getSoundChannel(handle)->isFree());
}

TEST(Mixer, LoopingSoundWrapsToItsStart) {
    auto speaker = offlineSpeaker();
    MemorySound looped(wav16(ramp(4, 100), 1, 44100));
    looped.sound.setLoop(true);
    start(*speaker, looped.sound, 64, 0);
    std::vector<int16_t> out = render(*speaker, 9);
    for (int f = 0; f < 9; ++f) EXPECT_EQ(out[2 * f], 100 + 10 * (f % 4)) << "frame " << f;
}
