#include "sound/hss/hssSpeaker.h"

#include <cstring>
#include <new>

namespace QEL {

hssSpeaker::~hssSpeaker() { close(); }

void hssSpeaker::close() {
    // The driver's thread must have stopped before the channels go.
    if (driver && opened) driver->close();
    opened = false;
    delete driver;
    driver = nullptr;
    delete[] musicChannels;
    musicChannels = nullptr;
    delete[] soundChannels;
    soundChannels = nullptr;
    delete[] playing;
    playing = nullptr;
    delete[] accumulator;
    accumulator = nullptr;
    musicCount = soundCount = playingCount = 0;
}

int32_t hssSpeaker::open(int32_t outputRate, int32_t bits, int32_t stereoOutput,
                         int32_t musicChannelCount, int32_t soundChannelCount, hssDriver* outputDriver) {
    if (opened) {
        delete outputDriver;
        return hssErrAlreadyOpen;
    }
    if ((bits != 8 && bits != 16) || outputRate <= 0 || musicChannelCount < 0 || soundChannelCount < 0 ||
        soundChannelCount > static_cast<int32_t>(hssPlayChannelMask)) {
        delete outputDriver;
        return hssErrBadArgument;
    }
    close();
    musicChannels = new (std::nothrow) hssChannel[musicChannelCount > 0 ? musicChannelCount : 1];
    soundChannels = new (std::nothrow) hssSoundChannel[soundChannelCount > 0 ? soundChannelCount : 1];
    playing = new (std::nothrow) hssSoundChannel*[soundChannelCount > 0 ? soundChannelCount : 1];
    accumulator = new (std::nothrow) int32_t[2 * kMixChunkFrames];
    driver = outputDriver ? outputDriver : new (std::nothrow) hssSDLDriver;
    if (!musicChannels || !soundChannels || !playing || !accumulator || !driver) {
        close();
        return hssErrNoMemory;
    }
    musicCount = musicChannelCount;
    soundCount = soundChannelCount;
    for (int32_t i = 0; i < musicCount; ++i) musicChannels[i].driver = driver;
    for (int32_t i = 0; i < soundCount; ++i) soundChannels[i].driver = driver;
    rate = outputRate;
    sixteenBit = bits == 16;
    stereo = stereoOutput != 0;
    musicMasterVolume = 64;
    soundMasterVolume = 64;

    hssAudioFormat format;
    format.rate = rate;
    format.flags = sixteenBit ? hssFormat16Bit | hssFormatSigned : hssFormat8Bit | hssFormatUnsigned;
    format.channels = stereo ? 2 : 1;
    int32_t result = driver->open(&format, hssBufferFrames, &hssSpeaker::mixCallback, this);
    if (result != hssOk) {
        close();
        return result;
    }
    opened = true;
    driver->resume();
    return hssOk;
}

int32_t hssSpeaker::latencyMs() const { return driver && opened ? driver->latencyMs() : 0; }

hssChannel* hssSpeaker::getChannel(int32_t handle) {
    if (handle < 0) return nullptr;
    if (handle < musicCount) return &musicChannels[handle];
    return getSoundChannel(handle);
}

hssSoundChannel* hssSpeaker::getSoundChannel(int32_t handle) {
    int32_t index = handle - musicCount;
    if (handle < 0 || index < 0 || index >= soundCount) return nullptr;
    return &soundChannels[index];
}

int32_t hssSpeaker::findFreeChannel(const hssSound* sound, uint32_t flags) const {
    if (!(flags & hssPlayAnyChannel)) {
        int32_t index = static_cast<int32_t>(flags & hssPlayChannelMask);
        return index < soundCount && soundChannels[index].isFree() ? index : -1;
    }
    int32_t limit = sound->getInstanceLimit();
    int32_t freeIndex = -1;
    int32_t instances = 0;
    for (int32_t i = 0; i < soundCount; ++i) {
        const hssSoundChannel& channel = soundChannels[i];
        if (channel.isFree()) {
            freeIndex = i;
            if (limit < 0) break;
        } else if (channel.sound == sound) {
            ++instances;
        }
    }
    if (limit >= 0 && instances >= limit) return -1;
    return freeIndex;
}

int32_t hssSpeaker::playSound(hssSound* sound, uint32_t flags) {
    if (!opened || !sound || sound->getKind() == hssSoundNone) return hssErrNoChannel;
    driver->lock();
    int32_t index = findFreeChannel(sound, flags);
    if (index < 0 || !soundChannels[index].prepare(sound, soundMasterVolume)) {
        driver->unlock();
        return hssErrNoChannel;
    }
    soundChannels[index].start((flags & hssPlayPaused) != 0);
    driver->unlock();
    return musicCount + index;
}

void hssSpeaker::mixCallback(void* self, uint8_t* buffer, int32_t bytes) {
    static_cast<hssSpeaker*>(self)->mix(buffer, bytes);
}

void hssSpeaker::collectPlaying() {
    playingCount = 0;
    for (int32_t i = 0; i < soundCount; ++i)
        if (soundChannels[i].isPlaying()) playing[playingCount++] = &soundChannels[i];
}

namespace {

// The per-frame gains of one channel: left += a*sL + b*sR, right += c*sL + d*sR (a mono source
// gives sR = sL). They carry the whole volume and pan arithmetic.
struct Gains {
    int32_t a, b, c, d;
};

Gains gainsFor(int32_t volume, int32_t pan, bool stereoSource, bool stereoOutput) {
    if (!stereoOutput) return {volume, stereoSource ? volume : 0, 0, 0};
    if (pan == 128) return {volume, 0, 0, volume};
    int32_t right = (2 * volume * pan) / 256;
    int32_t left = 2 * volume - right;
    // A stereo source adds both of its samples to both sides.
    return stereoSource ? Gains{left, left, right, right} : Gains{left, 0, right, 0};
}

// Nearest-sample resampling of `frames` frames from `samples` at `position`, `step` apart (both
// with kPositionFraction bits of fraction).
template <bool eightBit, bool stereoSource>
int64_t accumulate(const uint8_t* samples, int64_t position, int64_t step, Gains g, int32_t* out,
                   int32_t frames) {
    for (int32_t f = 0; f < frames; ++f, position += step) {
        int64_t frame = position >> kPositionFraction;
        int32_t left, right;
        if (eightBit) {
            const uint8_t* p = samples + (stereoSource ? frame * 2 : frame);
            left = (static_cast<int32_t>(p[0]) - 128) * 256;
            right = stereoSource ? (static_cast<int32_t>(p[1]) - 128) * 256 : left;
        } else {
            const int16_t* p = reinterpret_cast<const int16_t*>(samples) + (stereoSource ? frame * 2 : frame);
            left = p[0];
            right = stereoSource ? p[1] : left;
        }
        out[2 * f] += g.a * left + g.b * right;
        out[2 * f + 1] += g.c * left + g.d * right;
    }
    return position;
}

}  // namespace

// Makes the channel's position point into data, refilling (and looping) as needed. False when the
// sound has ended; the caller stops the channel.
bool hssSpeaker::reachData(hssSoundChannel& channel) {
    while (channel.position >= channel.end) {
        if (channel.refill()) continue;
        if (!channel.loop || channel.sound->getLength() <= 0) return false;
        if (channel.sound->getKind() == hssSoundStream) {
            if (!channel.refill(0)) return false;
        } else {
            channel.position -= channel.sound->getLength() << kPositionFraction;
        }
    }
    return true;
}

// Adds `frames` frames of one channel into the accumulator (two sides per frame, 64 = full
// volume, 128 times the output scale). Volume, pan and speed are read once per chunk.
void hssSpeaker::mixChannel(hssSoundChannel& channel, int32_t* out, int32_t frames) {
    if (channel.stepDirty.load(std::memory_order_relaxed) && channel.stepDirty.exchange(false))
        channel.step = (static_cast<int64_t>(channel.rateStep) << kPositionFraction) / rate;
    const Gains gains = gainsFor(channel.effectiveVolume.load(std::memory_order_relaxed),
                                 channel.pan.load(std::memory_order_relaxed), channel.stereo, stereo);
    int32_t done = 0;
    while (done < frames) {
        if (!reachData(channel)) {
            channel.stopLocked();
            return;
        }
        // Frames until the position passes the end of the data at hand.
        int32_t run = frames - done;
        if (channel.step > 0) {
            int64_t untilEnd = (channel.end - channel.position + channel.step - 1) / channel.step;
            if (untilEnd < run) run = static_cast<int32_t>(untilEnd);
        }
        int32_t* target = out + 2 * done;
        if (channel.eightBit) {
            channel.position = channel.stereo
                ? accumulate<true, true>(channel.samples, channel.position, channel.step, gains, target, run)
                : accumulate<true, false>(channel.samples, channel.position, channel.step, gains, target, run);
        } else {
            channel.position = channel.stereo
                ? accumulate<false, true>(channel.samples, channel.position, channel.step, gains, target, run)
                : accumulate<false, false>(channel.samples, channel.position, channel.step, gains, target, run);
        }
        done += run;
    }
}

void hssSpeaker::mix(uint8_t* buffer, int32_t bytes) {
    if (!buffer || bytes <= 0) return;
    collectPlaying();
    if (playingCount == 0) {
        std::memset(buffer, sixteenBit ? 0 : 0x80, static_cast<size_t>(bytes));
        return;
    }
    const int32_t sides = stereo ? 2 : 1;
    const int32_t frames = (sixteenBit ? bytes / 2 : bytes) / sides;
    for (int32_t first = 0; first < frames; first += kMixChunkFrames) {
        int32_t count = frames - first < kMixChunkFrames ? frames - first : kMixChunkFrames;
        std::memset(accumulator, 0, sizeof(int32_t) * 2 * static_cast<size_t>(count));
        for (int32_t i = 0; i < playingCount; ++i)
            if (playing[i]->isPlaying()) mixChannel(*playing[i], accumulator, count);
        writeOutput(buffer, first, count);
    }
    // An odd tail that is not a whole frame stays silent.
    int32_t used = frames * sides * (sixteenBit ? 2 : 1);
    if (used < bytes) std::memset(buffer + used, sixteenBit ? 0 : 0x80, static_cast<size_t>(bytes - used));
}

// Scales the accumulated sums to the output format, clamping once per output sample.
void hssSpeaker::writeOutput(uint8_t* buffer, int32_t firstFrame, int32_t frames) const {
    const int32_t musicMix = 0;  // the music channels never play
    const int32_t sides = stereo ? 2 : 1;
    int16_t* out16 = reinterpret_cast<int16_t*>(buffer) + firstFrame * sides;
    uint8_t* out8 = buffer + firstFrame * sides;
    for (int32_t f = 0; f < frames; ++f)
        for (int32_t side = 0; side < sides; ++side) {
            int32_t sum = accumulator[2 * f + side];
            if (sixteenBit) {
                int32_t value = musicMix + sum / 128;
                out16[f * sides + side] = static_cast<int16_t>(value < -32768 ? -32768 : value > 32767 ? 32767 : value);
            } else {
                int32_t value = (sum / 128 + musicMix) / 256;
                value = value < -128 ? -128 : value > 127 ? 127 : value;
                out8[f * sides + side] = static_cast<uint8_t>(value + 128);
            }
        }
}

}  // namespace QEL
