// Channel handles, the free-channel search, pausing and the end callback.
#include <gtest/gtest.h>

#include "testing/soundTestSupport.h"

using namespace QEL;
using namespace QEL::soundTest;

namespace {

struct Tone {
    explicit Tone(int32_t frames = 1000) {
        std::vector<uint8_t> image = wav16(std::vector<int16_t>(frames, 1000), 1, 44100);
        sound.loadWav(image.data(), image.size());
    }
    hssSound sound;
};

}  // namespace

TEST(Channels, HandlesCountMusicChannelsFirstAndTheSixtyFifthSoundFindsNone) {
    auto speaker = offlineSpeaker(8, 64);
    Tone tone;
    for (int i = 0; i < 64; ++i) ASSERT_EQ(start(*speaker, tone.sound), 8 + i);
    EXPECT_EQ(speaker->playSound(&tone.sound, hssPlayAnyChannel | hssPlayPaused), hssErrNoChannel);
    EXPECT_NE(speaker->getChannel(0), nullptr);
    EXPECT_EQ(speaker->getSoundChannel(0), nullptr);  // a music channel
    EXPECT_NE(speaker->getChannel(71), nullptr);
    for (int32_t outside : {72, -1, hssErrNoChannel}) EXPECT_EQ(speaker->getChannel(outside), nullptr) << outside;
    // A stopped channel is free again.
    speaker->getChannel(20)->stop();
    EXPECT_EQ(speaker->playSound(&tone.sound, hssPlayAnyChannel), 20);

    // Nothing to play, or no device: no channel either.
    hssSound empty;
    EXPECT_EQ(speaker->playSound(&empty, hssPlayAnyChannel), hssErrNoChannel);
    EXPECT_EQ(speaker->playSound(nullptr, hssPlayAnyChannel), hssErrNoChannel);
    hssSpeaker closed;
    EXPECT_EQ(closed.playSound(&tone.sound, hssPlayAnyChannel), hssErrNoChannel);
}

TEST(Channels, PausedChannelsAreSilentAndKeepTheirPlace) {
    auto speaker = offlineSpeaker();
    Tone tone;
    int32_t handle = speaker->playSound(&tone.sound, hssPlayAnyChannel | hssPlayPaused);
    EXPECT_EQ(render(*speaker, 5)[0], 0);
    EXPECT_EQ(speaker->getChannel(handle)->getPosition(), 0);
    speaker->getChannel(handle)->unpause();
    EXPECT_EQ(render(*speaker, 5)[0], 500);
}

TEST(Channels, EndCallbackFiresOnceForAStopAndOnceForANaturalEnd) {
    auto speaker = offlineSpeaker();
    Tone longTone(100000), shortTone(50);
    auto counting = [](hssChannel*, int32_t reason, void* user) -> int32_t {
        if (reason == hssReasonStopped) ++*static_cast<int*>(user);
        return 0;
    };
    int stops = 0, ends = 0;

    hssChannel* stopped = speaker->getChannel(start(*speaker, longTone.sound));
    stopped->setCallback(counting, &stops);
    render(*speaker, 10);
    stopped->stop();
    stopped->stop();
    render(*speaker, 10);
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(stopped->isPlaying());

    hssChannel* ending = speaker->getChannel(start(*speaker, shortTone.sound));
    ending->setCallback(counting, &ends);
    render(*speaker, 200);
    ending->stop();
    EXPECT_EQ(ends, 1);
}
