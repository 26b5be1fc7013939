// The mixer and its channels on rendered buffers, the sound files it plays (WAV decoded into
// memory, Ogg Vorbis streamed per channel), and the manager's named sounds, pools and ids.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "sound/cSoundManager.h"
#include "testing/soundTestSupport.h"

using namespace QEL;
using namespace QEL::soundTest;

namespace {

struct MemorySound {
    explicit MemorySound(const std::vector<uint8_t>& image) { EXPECT_EQ(sound.loadWav(image.data(), image.size()), 0); }
    MemorySound(int32_t frames, int16_t value) : MemorySound(wav16(std::vector<int16_t>(frames, value), 1, 44100)) {}
    hssSound sound;
};

// 16-bit mono: `frames` samples from `first` up in steps of 10.
MemorySound ramp(int32_t frames, int32_t first, int32_t rate) {
    std::vector<int16_t> samples;
    for (int32_t i = 0; i < frames; ++i) samples.push_back(static_cast<int16_t>(first + 10 * i));
    return MemorySound(wav16(samples, 1, rate));
}

std::vector<int16_t> samplesOf(const hssSound& sound) {
    const int16_t* p = static_cast<const int16_t*>(sound.getData());
    return std::vector<int16_t>(p, p + sound.getLength() * (sound.isStereo() ? 2 : 1));
}

// Left output, hard left (both source sides at full amplitude), of one channel per start frame.
std::vector<int16_t> leftOf(hssSound& source, const std::vector<int64_t>& starts, int32_t frames) {
    auto speaker = offlineSpeaker();
    for (int64_t frame : starts) speaker->getChannel(start(*speaker, source, 64, 0))->setPosition(frame);
    std::vector<int16_t> out = render(*speaker, frames), left;
    for (int32_t f = 0; f < frames; ++f) left.push_back(out[2 * f]);
    return left;
}

}  // namespace

TEST(Mixer, TheStepFollowsTheSourceRateAndTheSpeed) {
    auto speaker = offlineSpeaker();
    MemorySound source = ramp(4000, 1000, 22050);
    // Speed 128 plays as recorded: half a source frame per output frame, the nearest lower sample,
    // centred; 256 doubles it (the step's product overflowed 32 bits); 0 holds the position.
    for (int32_t speed : {128, 256, 0}) {
        hssChannel* channel = speaker->getChannel(start(*speaker, source.sound, 64, 128, speed));
        const std::vector<int16_t> out = render(*speaker, 100);
        for (int32_t i = 0; i < 200; ++i) ASSERT_EQ(out[i], (1000 + 10 * (i / 2 * speed / 256)) / 2) << speed << " " << i;
        EXPECT_EQ(channel->getPosition(), 100 * speed / 256);
        channel->stop();
    }
    // Every source rate keeps its pitch: a second of output plays a second of the source.
    for (int32_t rate : {8000, 48000}) {
        MemorySound second = ramp(rate + 100, 0, rate);
        hssChannel* channel = speaker->getChannel(start(*speaker, second.sound, 64, 128, 128));
        render(*speaker, 44100);
        EXPECT_NEAR(channel->getPosition(), rate, 1 + rate / 10000) << rate;  // within 0.01% and a frame
        channel->stop();
    }
}

TEST(Mixer, VolumePanClampingAndSourceFormats) {
    MemorySound high(1000, 32767), low(1000, -32768);
    // Centred at full volume each side gets half; two in phase reach full scale; a third clamps.
    auto speaker = offlineSpeaker(), other = offlineSpeaker();
    for (int16_t expected : {16383, 32767, 32767}) {
        start(*speaker, high.sound);
        start(*other, low.sound);
        EXPECT_EQ(render(*speaker, 1), (std::vector<int16_t>{expected, expected}));
        EXPECT_EQ(render(*other, 1)[0], expected == 16383 ? -16384 : -32768);
    }
    auto single = offlineSpeaker();
    hssChannel* channel = single->getChannel(start(*single, high.sound));
    // (volume, pan, left, right); pan 256 is clamped to 255, which leaves a 128th on the left
    for (auto [volume, pan, left, right] : {std::tuple{32, 128, 8191, 8191}, {64, 0, 32767, 0}, {64, 256, 255, 32511}}) {
        channel->setVolume(volume);
        channel->setPan(pan);
        EXPECT_EQ(render(*single, 1), (std::vector<int16_t>{int16_t(left), int16_t(right)})) << volume << " " << pan;
    }
    // A stereo source keeps its sides; 8-bit samples are centred on zero (here hard left).
    std::vector<int16_t> frames;
    for (int i = 0; i < 100; ++i) frames.insert(frames.end(), {20000, -8000});
    MemorySound stereo(wav16(frames, 2, 44100)), eight(wavRaw(1, 1, 44100, 8, {}, {128, 255, 0, 128}));
    auto formats = offlineSpeaker();
    formats->getChannel(start(*formats, stereo.sound))->setPosition(99);
    EXPECT_EQ(render(*formats, 2), (std::vector<int16_t>{10000, -4000, 0, 0}));
    start(*formats, eight.sound, 64, 0);
    EXPECT_EQ(render(*formats, 4), (std::vector<int16_t>{0, 0, 127 * 256, 0, -128 * 256, 0, 0, 0}));
}

TEST(Mixer, ChannelHandlesPausesStopsEndsAndLoops) {
    auto speaker = offlineSpeaker(8, 64);
    MemorySound tone(10, 1000);
    // Handles count the music channels first; the 65th sound finds no channel.
    for (int i = 0; i < 64; ++i) ASSERT_EQ(speaker->playSound(&tone.sound, hssPlayAnyChannel | hssPlayPaused), 8 + i);
    EXPECT_EQ(speaker->playSound(&tone.sound, hssPlayAnyChannel), hssErrNoChannel);
    EXPECT_EQ(speaker->getSoundChannel(0), nullptr);
    EXPECT_EQ(speaker->getChannel(72), nullptr);
    EXPECT_EQ(speaker->open(44100, 16, 1, 8, 64, new hssOfflineDriver), hssErrAlreadyOpen);
    EXPECT_EQ(render(*speaker, 5), std::vector<int16_t>(10, 0));  // paused: silent, in place
    EXPECT_EQ(speaker->getChannel(20)->getPosition(), 0);
    // A stop ends the sound once, however often it is asked; a natural end does too.
    auto count = [](hssChannel*, int32_t reason, void* counter) -> int32_t {
        *static_cast<int*>(counter) += reason == hssReasonStopped;
        return 0;
    };
    int stopped = 0, ended = 0;
    speaker->getChannel(20)->setCallback(count, &stopped);
    speaker->getChannel(20)->stop();
    speaker->getChannel(20)->stop();
    EXPECT_EQ(stopped, 1);
    EXPECT_EQ(speaker->playSound(&tone.sound, hssPlayAnyChannel), 20);  // the one free channel
    speaker->getChannel(20)->setCallback(count, &ended);
    const std::vector<int16_t> out = render(*speaker, 30);
    EXPECT_EQ(std::vector<int16_t>(out.begin() + 18, out.begin() + 22), (std::vector<int16_t>{500, 500, 0, 0}));
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(speaker->getSoundChannel(20)->isFree());

    auto looping = offlineSpeaker();
    MemorySound looped = ramp(4, 100, 44100);
    looped.sound.setLoop(true);
    start(*looping, looped.sound, 64, 0);
    const std::vector<int16_t> wrapped = render(*looping, 9);
    for (int f = 0; f < 9; ++f) EXPECT_EQ(wrapped[2 * f], 100 + 10 * (f % 4)) << "frame " << f;
}

TEST(Wav, SamplesAreKeptAsWrittenAndOddChunksBeforeTheDataAreSkipped) {
    const std::vector<int16_t> pcm = sine(1000, 22050, 440.0, 30000, 2, 660.0);
    std::vector<uint8_t> image = wav16(pcm, 2, 22050);
    const std::vector<uint8_t> odd = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};  // padded to even
    image.insert(image.begin() + 36, odd.begin(), odd.end());
    ScratchDir dir;
    writeFile(dir.file("tone.wav"), image);
    hssSound sound;
    ASSERT_EQ(sound.load(dir.file("tone.wav").c_str()), 0);
    EXPECT_EQ(sound.getSampleRate(), 22050);
    EXPECT_EQ(samplesOf(sound), pcm);
    const std::vector<uint8_t> bytes = {0, 64, 128, 200, 255}, eightBit = wavRaw(1, 1, 8000, 8, {}, bytes);
    ASSERT_EQ(sound.loadWav(eightBit.data(), eightBit.size()), 0);
    EXPECT_TRUE(sound.is8Bit());
    EXPECT_EQ(std::memcmp(sound.getData(), bytes.data(), bytes.size()), 0);
}

TEST(Wav, AdpcmDecodesAsAnotherDecoderDoes) {
    ScratchDir dir;
    for (int32_t channels : {1, 2}) {
        writeFile(dir.file("pcm.wav"), wav16(sine(3001, 22050, 300.0, 20000, channels, 500.0), channels, 22050));
        const std::string encode = "sox -q " + dir.file("pcm.wav") + " -e ms-adpcm " + dir.file("adpcm.wav") +
                                   " && sox -q " + dir.file("adpcm.wav") + " -e signed-integer -b 16 " + dir.file("sox.wav");
        ASSERT_EQ(std::system(encode.c_str()), 0) << "sox needed";
        hssSound adpcm, reference;
        ASSERT_EQ(adpcm.load(dir.file("adpcm.wav").c_str()), 0);
        ASSERT_EQ(reference.load(dir.file("sox.wav").c_str()), 0);
        const std::vector<int16_t> ours = samplesOf(adpcm), theirs = samplesOf(reference);
        ASSERT_EQ(ours.size(), theirs.size());
        // Decoders differ in how they round a negative prediction (ours truncates, as the format's
        // reference does); the difference stays within a few steps.
        for (size_t i = 0; i < ours.size(); ++i) ASSERT_NEAR(ours[i], theirs[i], 100) << channels << " channels, " << i;
    }
}

TEST(Wav, LayoutsThatCannotPlayGiveTheirCodesAndACutDataChunkPlaysWhatItHolds) {
    const std::vector<uint8_t> good = wav16(std::vector<int16_t>(100, 5), 1, 44100), data(300, 1);
    std::vector<uint8_t> noFormat = good, noData = good, shortFormat = good, cut(good.begin(), good.end() - 40);
    std::memcpy(noFormat.data() + 12, "LIST", 4);
    std::memcpy(noData.data() + 36, "junk", 4);
    shortFormat[16] = 14;
    for (const auto& [image, result] : {std::pair{noFormat, hssErrBadWav}, {noData, hssErrBadWav},
                                        {shortFormat, hssErrBadWav},
                                        {wavRaw(1, 1, 44100, 16, {}, {}), hssErrBadWav},
                                        {wavRaw(1, 1, 44100, 16, {}, {7}), hssErrBadWav},  // no whole sample
                                        {wavRaw(1, 1, 44100, 12, {}, data), hssErrFormat},
                                        {wavRaw(1, 3, 44100, 16, {}, data), hssErrFormat},
                                        {wavRaw(0x40, 1, 44100, 4, std::vector<uint8_t>(34, 0), data), hssErrFormat},
                                        {wavRaw(1, 1, 0, 16, {}, data), hssErrFormat},
                                        {wavRaw(1, 1, 1000001, 16, {}, data), hssErrFormat},
                                        {cut, hssOk}}) {
        hssSound sound;
        EXPECT_EQ(sound.loadWav(image.data(), image.size()), result) << image.size();
        EXPECT_EQ(sound.getLength(), result == hssOk ? 80 : 0);
    }
    EXPECT_EQ(hssSound().load("/nonexistent/kablix/missing.wav"), hssErrCannotOpen);
}

TEST(Ogg, StreamedAsDecodedEachChannelOnItsOwnAndReplayedFromItsEnd) {
    ScratchDir dir;
    writeFile(dir.file("tone.wav"), wav16(sine(44100, 44100, 440.0, 8000, 2, 550.0), 2, 44100));
    ASSERT_TRUE(encodeOgg(dir.file("tone.wav"), dir.file("tone.ogg"))) << "oggenc (vorbis-tools) needed";
    hssSound streamed, decoded;
    ASSERT_EQ(streamed.load(dir.file("tone.ogg").c_str()), 0);
    ASSERT_EQ(decoded.load(dir.file("tone.ogg").c_str(), hssLoadDecodeOgg), 0);
    EXPECT_EQ(streamed.getKind(), hssSoundStream);
    EXPECT_EQ(decoded.getKind(), hssSoundMemory);
    EXPECT_EQ(streamed.getLength(), 44100);
    EXPECT_EQ(decoded.getLength(), 44100);
    const std::vector<int16_t> first = leftOf(streamed, {0}, 5000);
    ASSERT_EQ(leftOf(decoded, {0}, 5000), first);
    double energy = 0.0;  // two 8000-peak sines summed: RMS near 8000
    for (int16_t s : first) energy += double(s) * s;
    EXPECT_NEAR(std::sqrt(energy / first.size()), 8000.0, 1200.0);
    // Two channels on the one open file mix what each would alone.
    const std::vector<int16_t> second = leftOf(streamed, {12345}, 5000), both = leftOf(streamed, {0, 12345}, 5000);
    for (size_t f = 0; f < both.size(); ++f) ASSERT_EQ(both[f], first[f] + second[f]) << "frame " << f;

    // A stream ends at its length; its channel (and block buffer) then plays the next start anew.
    auto speaker = offlineSpeaker();
    const int32_t handle = start(*speaker, streamed, 64, 0);
    speaker->getChannel(handle)->setPosition(44100 - 100);
    const std::vector<int16_t> end = render(*speaker, 300);
    EXPECT_EQ(std::vector<int16_t>(end.begin() + 300, end.end()), std::vector<int16_t>(300, 0));
    EXPECT_EQ(start(*speaker, streamed, 64, 0), handle);
    const std::vector<int16_t> again = render(*speaker, 100);
    for (int32_t f = 0; f < 100; ++f) ASSERT_EQ(again[2 * f], first[f]) << "frame " << f;

    writeFile(dir.file("fake.ogg"), std::vector<uint8_t>(4000, 0x4F));
    EXPECT_EQ(hssSound().load(dir.file("fake.ogg").c_str()), hssErrFormat);
    EXPECT_EQ(hssSound().load(dir.file("missing.ogg").c_str()), hssErrCannotOpen);
}

class ManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (auto [name, value] : {std::pair{"shot", 3000}, {"shot1", 4000}, {"shot2", 5000}, {"other", 6000}})
            writeFile(dir.file(name + std::string(".wav")), wav16(std::vector<int16_t>(2000, int16_t(value)), 1, 44100));
        manager.setSpeaker(offlineSpeaker().release());
    }
    std::string shot() const { return dir.file("shot.wav"); }
    std::vector<int16_t> mix(int32_t frames = 1) { return render(*manager.getSpeaker(), frames); }
    int32_t references() { return manager.getFiles().empty() ? 0 : manager.getFiles().begin()->second->referenceCount; }

    ScratchDir dir;
    cSoundManager manager;
};

TEST_F(ManagerTest, PoolsShareOneFileAndPlayInTurnAndAPoolOfOneRestarts) {
    cSoundPool* pool = manager.createSoundPool(3, "shot", shot());
    EXPECT_EQ(manager.getFiles().size(), 1u);
    EXPECT_EQ(references(), 3);
    EXPECT_EQ(manager.findGroup("shot"), pool);
    for (const char* next : {"shot_1", "shot_2", "shot_0"}) EXPECT_EQ(pool->play2d(), manager.findSound(next)->id);
    EXPECT_EQ(mix()[0], 3 * 3000 / 2);  // three copies overlap
    pool->release();
    EXPECT_EQ(manager.soundCount(), 0u);
    EXPECT_TRUE(manager.getFiles().empty());

    cSoundPool* one = manager.createSoundPool(1, "one", shot());
    const uint32_t id = one->play2d();
    mix(500);
    EXPECT_EQ(one->play2d(), id);
    EXPECT_EQ(manager.findSoundById(id)->channel.load()->getPosition(), 0);
}

TEST_F(ManagerTest, VariantsPlayOneOfTheirNumberedFilesAndMissingEntriesPlayNothing) {
    cSoundVariant* variant = manager.createSoundVariant("dodge", shot(), "ignored", "");
    EXPECT_EQ(manager.findSound("dodge_2")->file->path, dir.file("shot2.wav"));
    std::srand(7);
    ASSERT_EQ(manager.findSoundById(variant->play2d()), variant->instances[size_t(variant->position)]);
    EXPECT_EQ(mix()[0], (3000 + 1000 * variant->position) / 2);
    // A missing file leaves its entry empty: playing it says so and plays nothing.
    cSoundPool* gone = manager.createSoundPool(2, "gone", dir.file("missing.ogg"));
    cSoundVariant* half = manager.createSoundVariant("half", dir.file("other.wav"), "", "");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(gone->play2d(), 0u);
    for (half->position = 0; half->instances[size_t(half->position)];) half->play2d();
    const std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("Sound not found: gone\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Sound not found: half\n"), std::string::npos) << log;
}

TEST_F(ManagerTest, ANameInUseLoadsNothingASoundEndsIdleAndAFileGoesWithItsLastSound) {
    cSound* a = manager.createSound("a", shot());
    EXPECT_EQ(manager.createSound("a", dir.file("other.wav")), nullptr);
    EXPECT_EQ(manager.createSound("b", dir.file("missing.wav")), nullptr);
    EXPECT_EQ(references(), 1);
    manager.play(a, false);
    mix(1999);
    EXPECT_NE(a->channel.load(), nullptr);
    mix(2);
    EXPECT_EQ(a->channel.load(), nullptr);
    cSound* c = manager.createSound("c", shot());
    c->setVolume(0.5f);
    c->setPan(-1.0f);
    manager.play(c, false);
    manager.destroySound(a);
    EXPECT_EQ(references(), 1);
    EXPECT_EQ(mix(), (std::vector<int16_t>{1500, 0}));
    manager.destroySound(c);  // stopped first: the mixer never reads the freed samples
    EXPECT_TRUE(manager.getFiles().empty());
    EXPECT_EQ(mix()[0], 0);
}

TEST_F(ManagerTest, AFileSavedAgainIsDecodedAgainForEverySoundMadeFromIt) {
    cSoundPool* pool = manager.createSoundPool(2, "shot", shot());
    pool->play2d();
    writeFile(shot(), std::vector<uint8_t>(10, 0));  // half written: the old decoding stays
    EXPECT_FALSE(manager.reloadFile(shot()));
    EXPECT_EQ(mix()[0], 3000 / 2);
    writeFile(shot(), wav16(std::vector<int16_t>(2000, 1000), 1, 44100));
    EXPECT_TRUE(manager.reloadFile(shot()));
    EXPECT_EQ(mix()[0], 0);  // the copy playing the old decoding stopped before it was freed
    pool->play2d();
    pool->play2d();
    EXPECT_EQ(mix()[0], 2 * 1000 / 2);
    EXPECT_FALSE(manager.reloadFile(dir.file("other.wav")));  // no sound was made from it
}

TEST_F(ManagerTest, IdsWrapSkipIdsInUseAndRunOut) {
    EXPECT_EQ(manager.createSound("a", shot())->id, 1u);
    EXPECT_EQ(manager.createSound("b", shot())->id, 2u);
    while (manager.generateNewSoundID() != 65529) {
    }
    EXPECT_EQ(manager.createSound("c", shot())->id, 65530u);
    EXPECT_EQ(manager.createSound("d", shot())->id, 3u);
    for (int i = 4; i < 65530; ++i) ASSERT_NE(manager.createSound("s" + std::to_string(i), shot()), nullptr);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(manager.createSound("one-too-many", shot()), nullptr);
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("Too many sounds"), std::string::npos);
    EXPECT_EQ(references(), 65530);
    manager.destroySound(manager.findSound("s77"));
    EXPECT_NE(manager.createSound("fits-again", shot()), nullptr);
}
