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
    driver = outputDriver ? outputDriver : new (std::nothrow) hssSDLDriver;
    if (!musicChannels || !soundChannels || !playing || !driver) {
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

// Adds every playing sound channel's current sample into the accumulators (volume-scaled, 64 = full)
// and advances it; a channel whose sound ends is stopped here, running its end callback.
void hssSpeaker::mixFrame(int32_t& left, int32_t& right) {
    for (int32_t i = 0; i < playingCount; ++i) {
        hssSoundChannel& channel = *playing[i];
        if (!channel.isPlaying()) continue;
        if (channel.stepDirty.load(std::memory_order_relaxed) && channel.stepDirty.exchange(false))
            channel.step = static_cast<int64_t>(channel.rateStep) * 65536 / (static_cast<int64_t>(rate) * 256);
        bool ended = false;
        while (channel.position >= channel.end) {
            if (channel.refill()) continue;
            if (!channel.loop || channel.sound->getLength() <= 0) {
                ended = true;
                break;
            }
            if (channel.sound->getKind() == hssSoundStream) {
                if (!channel.refill(0)) {
                    ended = true;
                    break;
                }
            } else {
                channel.position -= channel.sound->getLength() << 8;
            }
        }
        if (ended) {
            channel.stopLocked();
            continue;
        }

        int64_t frame = channel.position >> 8;
        int32_t sampleLeft, sampleRight;
        if (channel.eightBit) {
            const uint8_t* p = channel.samples + (channel.stereo ? frame * 2 : frame);
            sampleLeft = (static_cast<int32_t>(p[0]) - 128) * 256;
            sampleRight = channel.stereo ? (static_cast<int32_t>(p[1]) - 128) * 256 : sampleLeft;
        } else {
            const int16_t* p = reinterpret_cast<const int16_t*>(channel.samples) + (channel.stereo ? frame * 2 : frame);
            sampleLeft = p[0];
            sampleRight = channel.stereo ? p[1] : sampleLeft;
        }

        int32_t volume = channel.effectiveVolume.load(std::memory_order_relaxed);
        int32_t pan = channel.pan.load(std::memory_order_relaxed);
        if (!stereo) {
            left += sampleLeft * volume + (channel.stereo ? sampleRight * volume : 0);
        } else if (pan == 128) {
            left += sampleLeft * volume;
            right += sampleRight * volume;
        } else {
            int32_t rightGain = (2 * volume * pan) / 256;
            int32_t leftGain = 2 * volume - rightGain;
            int32_t source = channel.stereo ? sampleLeft + sampleRight : sampleLeft;
            left += leftGain * source;
            right += rightGain * source;
        }
        channel.position += channel.step;
    }
}

void hssSpeaker::mix(uint8_t* buffer, int32_t bytes) {
    if (!buffer || bytes <= 0) return;
    collectPlaying();
    if (playingCount == 0 || soundCount == 0) {
        std::memset(buffer, sixteenBit ? 0 : 0x80, static_cast<size_t>(bytes));
        return;
    }
    const int32_t sides = stereo ? 2 : 1;
    const int32_t samplesOut = sixteenBit ? bytes / 2 : bytes;
    const int32_t frames = samplesOut / sides;
    const int32_t musicMix = 0;  // the music channels never play
    int16_t* out16 = reinterpret_cast<int16_t*>(buffer);
    for (int32_t f = 0; f < frames; ++f) {
        int32_t sums[2] = {0, 0};
        mixFrame(sums[0], sums[1]);
        for (int32_t side = 0; side < sides; ++side) {
            int32_t value;
            if (sixteenBit) {
                value = musicMix + sums[side] / 128;
                value = value < -32768 ? -32768 : value > 32767 ? 32767 : value;
                out16[f * sides + side] = static_cast<int16_t>(value);
            } else {
                value = (sums[side] / 128 + musicMix) / 256;
                value = value < -128 ? -128 : value > 127 ? 127 : value;
                buffer[f * sides + side] = static_cast<uint8_t>(value + 128);
            }
        }
    }
    // An odd tail that is not a whole frame stays silent.
    int32_t used = frames * sides * (sixteenBit ? 2 : 1);
    if (used < bytes) std::memset(buffer + used, sixteenBit ? 0 : 0x80, static_cast<size_t>(bytes - used));
}

}  // namespace QEL
