// Channel handles, the free-channel search and the end callback.
#include <gtest/gtest.h>

#include "soundTestSupport.h"

using namespace QEL;
using namespace QEL::soundTest;

namespace {

int32_t countingCallback(hssChannel*, int32_t reason, void* user) {
    if (reason == hssReasonStopped) ++*static_cast<int*>(user);
    return 0;
}

struct Tone {
    Tone(int32_t frames = 1000) {
        std::vector<uint8_t> image = wav16(std::vector<int16_t>(frames, 1000), 1, 44100);
        sound.loadWav(image.data(), image.size());
    }
    hssSound sound;
};

}  // namespace

TEST(Channels, HandlesCountMusicChannelsFirst) {
    auto speaker = offlineSpeaker(8, 64);
    Tone tone;
    EXPECT_EQ(speaker->playSound(&tone.sound, hssPlayAnyChannel), 8);
    EXPECT_EQ(speaker->playSound(&tone.sound, hssPlayAnyChannel), 9);
    EXPECT_NE(speaker->getChannel(0), nullptr);
    EXPECT_EQ(speaker->getSoundChannel(0), nullptr);  // a music channel
    EXPECT_NE(speaker->getChannel(71), nullptr);
    EXPECT_EQ(speaker->getChannel(72), nullptr);
    EXPECT_EQ(speaker->getChannel(-1000), nullptr);
    EXPECT_EQ(speaker->getChannel(-1), nullptr);
}

TEST(Channels, TheSixtyFifthSoundFindsNoChannel) {
    auto speaker = offlineSpeaker(8, 64);
    Tone tone;
    for (int i = 0; i < 64; ++i) ASSERT_GE(start(*speaker, tone.sound), 8) << i;
    EXPECT_EQ(speaker->playSound(&tone.sound, hssPlayAnyChannel | hssPlayPaused), hssErrNoChannel);
    // A stopped channel is free again.
    speaker->getChannel(20)->stop();
    EXPECT_EQ(speaker->playSound(&tone.sound, hssPlayAnyChannel), 20);
}

TEST(Channels, NamedChannelsAndInstanceLimits) {
    auto speaker = offlineSpeaker(8, 4);
    Tone tone;
    EXPECT_EQ(speaker->playSound(&tone.sound, 2), 10);
    EXPECT_EQ(speaker->playSound(&tone.sound, 2), hssErrNoChannel);  // busy
    EXPECT_EQ(speaker->playSound(&tone.sound, 4), hssErrNoChannel);  // no such channel

    tone.sound.setInstanceLimit(2);
    EXPECT_EQ(speaker->playSound(&tone.sound, hssPlayAnyChannel), 11);  // the last free one
    EXPECT_EQ(speaker->playSound(&tone.sound, hssPlayAnyChannel), hssErrNoChannel);
}

TEST(Channels, RefusedPlays) {
    hssSpeaker closed;
    Tone tone;
    EXPECT_EQ(closed.playSound(&tone.sound, hssPlayAnyChannel), hssErrNoChannel);
    auto speaker = offlineSpeaker();
    hssSound empty;
    EXPECT_EQ(speaker->playSound(&empty, hssPlayAnyChannel), hssErrNoChannel);
    EXPECT_EQ(speaker->playSound(nullptr, hssPlayAnyChannel), hssErrNoChannel);
}

TEST(Channels, EndCallbackFiresOnceForAStopAndOnceForANaturalEnd) {
    auto speaker = offlineSpeaker();
    Tone longTone(100000);
    Tone shortTone(50);
    int stops = 0, ends = 0;

    hssChannel* stopped = speaker->getChannel(start(*speaker, longTone.sound));
    stopped->setCallback(countingCallback, &stops);
    render(*speaker, 10);
    stopped->stop();
    stopped->stop();
    render(*speaker, 10);
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(stopped->isPlaying());

    hssChannel* ending = speaker->getChannel(start(*speaker, shortTone.sound));
    ending->setCallback(countingCallback, &ends);
    render(*speaker, 200);
    ending->stop();
    EXPECT_EQ(ends, 1);
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

TEST(Drivers, FormatChecksAndOpenCloseCodes) {
    hssOfflineDriver driver;
    auto mix = [](void*, uint8_t*, int32_t) {};
    hssAudioFormat format;
    EXPECT_EQ(driver.open(nullptr, 1024, mix, nullptr), hssErrBadArgument);
    EXPECT_EQ(driver.open(&format, 1024, nullptr, nullptr), hssErrBadArgument);
    format.flags = 0;
    EXPECT_EQ(hssCheckFormat(&format), hssErrBadArgument);
    format.flags = hssFormat8Bit | hssFormatSigned;
    EXPECT_EQ(hssCheckFormat(&format), hssErrBadArgument);
    format.flags = hssFormat16Bit | hssFormatUnsigned;
    EXPECT_EQ(hssCheckFormat(&format), hssErrBadArgument);
    format.flags = hssFormat16Bit | hssFormatSigned;
    format.channels = 3;
    EXPECT_EQ(hssCheckFormat(&format), hssErrBadArgument);
    format.channels = 2;
    EXPECT_EQ(driver.open(&format, 1024, mix, nullptr), hssOk);
    EXPECT_EQ(driver.open(&format, 1024, mix, nullptr), hssErrAlreadyOpen);
    EXPECT_EQ(driver.close(), hssOk);
    EXPECT_EQ(driver.close(), hssErrNotOpen);

    hssSpeaker speaker;
    EXPECT_EQ(speaker.open(44100, 24, 1, 8, 64, new hssOfflineDriver), hssErrBadArgument);
    EXPECT_FALSE(speaker.isOpen());
}
