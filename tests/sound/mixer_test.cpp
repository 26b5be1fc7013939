// The mixer's arithmetic on rendered buffers: steps, volume, pan, clamping, formats, the end.
#include <gtest/gtest.h>

#include "testing/soundTestSupport.h"

using namespace QEL;
using namespace QEL::soundTest;

namespace {

// A loaded in-memory sound from a WAV image.
struct MemorySound {
    explicit MemorySound(const std::vector<uint8_t>& image) { result = sound.loadWav(image.data(), image.size()); }
    hssSound sound;
    int32_t result;
};

// 16-bit mono: `frames` samples from `first` up in steps of 10.
MemorySound ramp(int32_t frames, int32_t first, int32_t rate = 44100) {
    std::vector<int16_t> samples;
    for (int32_t i = 0; i < frames; ++i) samples.push_back(static_cast<int16_t>(first + 10 * i));
    return MemorySound(wav16(samples, 1, rate));
}

MemorySound constant(int32_t frames, int16_t value) { return MemorySound(wav16(std::vector<int16_t>(frames, value), 1, 44100)); }

}  // namespace

TEST(Mixer, HalfRateSourceAdvancesHalfAFramePerOutputFrameAndSpeedScalesTheStep) {
    auto speaker = offlineSpeaker();
    MemorySound source = ramp(4000, 1000, 22050);
    ASSERT_EQ(source.result, 0);

    int32_t handle = start(*speaker, source.sound);  // speed 128: half a source frame per output frame
    std::vector<int16_t> out = render(*speaker, 200);
    for (int32_t f = 0; f < 200; ++f) {
        int32_t expected = (1000 + 10 * (f / 2)) / 2;  // the nearest lower sample, centred
        ASSERT_EQ(out[2 * f], expected) << "frame " << f;
        ASSERT_EQ(out[2 * f + 1], expected) << "frame " << f;
    }
    EXPECT_EQ(speaker->getChannel(handle)->getPosition(), 100);

    speaker->getChannel(handle)->stop();
    start(*speaker, source.sound, 64, 128, 256);
    out = render(*speaker, 100);
    for (int32_t f = 0; f < 100; ++f) ASSERT_EQ(out[2 * f], (1000 + 10 * f) / 2) << "frame " << f;

    hssChannel* channel = speaker->getChannel(handle);
    channel->setSpeed(0);
    int64_t held = channel->getPosition();
    out = render(*speaker, 50);
    EXPECT_EQ(channel->getPosition(), held);
    for (int32_t f = 0; f < 50; ++f) ASSERT_EQ(out[2 * f], out[0]);
}

TEST(Mixer, VolumePanAndClampingOfFullScaleSources) {
    auto speaker = offlineSpeaker();
    MemorySound high = constant(1000, 32767);
    MemorySound low = constant(1000, -32768);

    // Centred at full volume each side gets half; two in phase reach full scale; a third clamps.
    const int16_t centred[3] = {16383, 32767, 32767};
    for (int16_t expected : centred) {
        start(*speaker, high.sound);
        std::vector<int16_t> out = render(*speaker, 10);
        EXPECT_EQ(out[0], expected);
        EXPECT_EQ(out[1], expected);
    }
    auto other = offlineSpeaker();
    for (int i = 0; i < 3; ++i) start(*other, low.sound);
    EXPECT_EQ(render(*other, 10)[0], -32768);

    // Volume in 64ths; pan 0 puts everything left, 255 (the clamp of 256) leaves a 128th on the left.
    struct {
        int32_t volume, pan;
        int16_t left, right;
    } const cases[] = {
        {32, 128, 32767 * 32 / 128, 32767 * 32 / 128},
        {0, 128, 0, 0},
        {64, 0, 32767, 0},
        {64, 256, 32767 / 128, 32767 * 127 / 128},
    };
    auto single = offlineSpeaker();
    hssChannel* channel = single->getChannel(start(*single, high.sound));
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "volume " << c.volume << " pan " << c.pan);
        channel->setVolume(c.volume);
        channel->setPan(c.pan);
        std::vector<int16_t> out = render(*single, 1);
        EXPECT_EQ(out[0], c.left);
        EXPECT_EQ(out[1], c.right);
    }
    EXPECT_EQ(channel->getPan(), 255);
}

TEST(Mixer, StereoSourcesKeepTheirSidesAndEightBitSourcesAreCentred) {
    // A stereo source keeps its sides when centred.
    auto speaker = offlineSpeaker();
    std::vector<int16_t> frames;
    for (int i = 0; i < 100; ++i) frames.insert(frames.end(), {20000, -8000});
    MemorySound stereoSound(wav16(frames, 2, 44100));
    ASSERT_EQ(stereoSound.sound.getLength(), 100);
    start(*speaker, stereoSound.sound);
    std::vector<int16_t> out = render(*speaker, 1);
    EXPECT_EQ(out[0], 10000);
    EXPECT_EQ(out[1], -4000);

    // 8-bit sources are centred on zero (hard left: the full amplitude).
    auto eightBitSource = offlineSpeaker();
    MemorySound eight(wavRaw(1, 1, 44100, 8, {}, {128, 255, 0, 128}));
    ASSERT_EQ(eight.result, 0);
    start(*eightBitSource, eight.sound, 64, 0);
    out = render(*eightBitSource, 4);
    EXPECT_EQ((std::vector<int16_t>{out[0], out[2], out[4], out[6]}), (std::vector<int16_t>{0, 127 * 256, -128 * 256, 0}));
}

TEST(Mixer, AnEndedSoundLeavesSilenceAndFreesItsChannelAndALoopWraps) {
    auto speaker = offlineSpeaker();
    MemorySound shortSound = constant(10, 1000);
    int32_t handle = start(*speaker, shortSound.sound);
    std::vector<int16_t> out = render(*speaker, 30);
    EXPECT_EQ(out[2 * 9], 500);
    EXPECT_EQ(out[2 * 10], 0);
    EXPECT_EQ(out[2 * 29], 0);
    EXPECT_TRUE(speaker->getSoundChannel(handle)->isFree());

    MemorySound looped = ramp(4, 100);
    looped.sound.setLoop(true);
    start(*speaker, looped.sound, 64, 0);
    out = render(*speaker, 9);
    for (int f = 0; f < 9; ++f) EXPECT_EQ(out[2 * f], 100 + 10 * (f % 4)) << "frame " << f;
}
